#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace strobo::cli {

// Exit codes of every command.
constexpr int kExitSuccess = 0;
constexpr int kExitFailure = 1;  // bad input or a file that could not be read or written
constexpr int kExitUsage = 2;    // the command line itself is malformed

// The words of the command line do not fit the command: unknown option, missing value, wrong
// number of arguments. Ends the program with kExitUsage.
class UsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The command line is well formed but its values or files are not usable. Ends the program with
// kExitFailure. The message is one line and names the value or file concerned.
class InputError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The words after the command name, split into positional arguments, options with a value
// ("--op max" or "--op=max") and flags. "--" ends the options, so a later word that starts with
// a dash is positional. A word such as "-3" is a number, not an option.
class ParsedArguments {
  public:
    ParsedArguments(const std::vector<std::string>& words,
                    const std::set<std::string>& valueOptions,
                    const std::set<std::string>& flags = {});

    bool helpRequested() const { return m_help; }
    const std::vector<std::string>& positional() const { return m_positional; }
    std::optional<std::string> value(const std::string& option) const;
    bool flag(const std::string& flag) const { return m_flags.count(flag) > 0; }

    // Throws UsageError unless there are between min and max positional arguments.
    void expectPositional(std::size_t min, std::size_t max) const;

  private:
    bool m_help = false;
    std::vector<std::string> m_positional;
    std::map<std::string, std::string> m_values;
    std::set<std::string> m_flags;
};

// A frame number given on the command line: the whole word must be a finite number (blanks
// around it and full-width digits allowed). Throws InputError naming `what` and the text
// otherwise.
double requireNumber(std::string_view what, const std::string& text);

// A whole number from first to last inclusive, for counts and steps. Throws InputError.
std::int64_t requireWholeNumber(std::string_view what, const std::string& text, std::int64_t first,
                                std::int64_t last);

// A message made fit for one line of standard error: line breaks become blanks.
std::string oneLine(std::string_view text);

}  // namespace strobo::cli
