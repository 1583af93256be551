#pragma once

#include <string>
#include <vector>

#include "engine/composition.h"

namespace strobo::cli {

// Each command takes the words after its name, prints its result on standard output and its
// progress on standard error, and returns the exit code. Wrong usage throws UsageError, bad
// input or a failed file InputError.
int runExtract(const std::vector<std::string>& words);
int runBuild(const std::vector<std::string>& words);
int runSave(const std::vector<std::string>& words);

// An operation as the user names it: one of the list's texts or an ASCII alias. Throws
// InputError naming the text otherwise.
engine::CompositionOperation requireOperation(const std::string& text);

// The frame files test1, test2, ... that exist one after another from 1: the N the extraction
// left, which the build's finish deletes.
std::int64_t countFrameFiles(const std::string& folder);

// A failure text of the build or the save, cut to the lines that say what went wrong and where
// (the advice on buttons that follows them speaks of the windows) and put on one line.
std::string failureLine(const std::string& failure);

}  // namespace strobo::cli
