#pragma once

#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "cli/arguments.h"

namespace strobo::cli {

// The options each command takes: those with a value and the flags. One list for parsing, for
// the help check and for the tests.
struct CommandOptions {
    std::set<std::string> values;
    std::set<std::string> flags;
};

// The options of a command of kCommandNames; none for an unknown one.
const CommandOptions& commandOptions(std::string_view command);

// The command's words split by its own options. Throws UsageError for a malformed line.
ParsedArguments parseCommandWords(std::string_view command, const std::vector<std::string>& words);

}  // namespace strobo::cli
