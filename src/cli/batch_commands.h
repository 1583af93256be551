#pragma once

#include <string>
#include <vector>

#include "cli/arguments.h"
#include "engine/composition.h"

namespace strobo::cli {

// Each command takes the words after its name, prints its result on standard output and its
// progress on standard error, and returns the exit code. Wrong usage throws UsageError, a bad
// value InputError, and a stage that fails the FailureError carrying its failure.
int runExtract(const std::vector<std::string>& words);
int runBuild(const std::vector<std::string>& words);
int runSave(const std::vector<std::string>& words);

// An operation as the user names it: one of the list's texts or an ASCII alias. Throws
// InputError naming the text otherwise.
engine::CompositionOperation requireOperation(const std::string& text);

// --threads N of extract and make: the decoder's thread count, 0 (the default) for as many as
// FFmpeg picks for the processors. Throws InputError for anything but a whole number up to 64.
int requireDecoderThreads(const ParsedArguments& args);

// The frame files test1, test2, ... that exist one after another from 1: the N the extraction
// left, which the build's finish deletes.
std::int64_t countFrameFiles(const std::string& folder);

// Prints the head of a command's summary and, when there are files, the first and the last:
// "<head>: first … last".
void printSummary(const std::string& head, const std::vector<std::string>& files);

// Says on standard error which pictures a command that stopped or failed part way has saved and
// left in place, or that it saved none.
void printKept(const std::vector<std::string>& saved);

}  // namespace strobo::cli
