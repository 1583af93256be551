#pragma once

#include <string>
#include <string_view>

namespace strobo::cli {

// The commands, in the order the help lists them.
inline constexpr std::string_view kCommandNames[] = {"extract", "build", "save", "make", "demo"};

// `strobo --help`: every command with one line in Japanese and one in English.
std::string generalHelp();
// `strobo COMMAND --help`, in Japanese and English; empty for an unknown command.
std::string commandHelp(std::string_view command);

}  // namespace strobo::cli
