#include "cli/command_options.h"

#include <map>

namespace strobo::cli {

const CommandOptions& commandOptions(std::string_view command) {
    static const std::map<std::string_view, CommandOptions> kOptions = {
        {"extract", {{"--threads"}, {}}},
        {"build", {{"--op", "--every"}, {"--keep-frames"}}},
        {"save", {{"--every"}, {}}},
        {"make",
         {{"--first", "--last", "-o", "--output", "--op", "--background", "--every", "--size",
           "--csv", "--gif", "--mp4", "--threads"},
          {"--labels"}}},
        {"demo", {}},
    };
    static const CommandOptions kNone;
    const auto it = kOptions.find(command);
    return it == kOptions.end() ? kNone : it->second;
}

ParsedArguments parseCommandWords(std::string_view command, const std::vector<std::string>& words) {
    const CommandOptions& options = commandOptions(command);
    return ParsedArguments(words, options.values, options.flags);
}

}  // namespace strobo::cli
