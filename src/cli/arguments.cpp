#include "cli/arguments.h"

#include <cmath>

#include "workfolder/numbers.h"

namespace strobo::cli {

namespace {

bool looksLikeNumber(std::string_view word) {
    return word.size() >= 2 && word[0] == '-' &&
           ((word[1] >= '0' && word[1] <= '9') || word[1] == '.');
}

}  // namespace

ParsedArguments::ParsedArguments(const std::vector<std::string>& words,
                                 const std::set<std::string>& valueOptions,
                                 const std::set<std::string>& flags) {
    bool optionsEnded = false;
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        if (optionsEnded || word.empty() || word[0] != '-' || word == "-" ||
            looksLikeNumber(word)) {
            m_positional.push_back(word);
            continue;
        }
        if (word == "--") {
            optionsEnded = true;
            continue;
        }
        if (word == "--help" || word == "-h") {
            m_help = true;
            continue;
        }
        std::string name = word;
        std::optional<std::string> inlineValue;
        if (const std::size_t eq = word.find('='); word.rfind("--", 0) == 0 && eq != word.npos) {
            name = word.substr(0, eq);
            inlineValue = word.substr(eq + 1);
        }
        if (flags.count(name) > 0) {
            if (inlineValue) throw UsageError(name + " takes no value / 値は付けられません");
            m_flags.insert(name);
            continue;
        }
        if (valueOptions.count(name) == 0) {
            throw UsageError("unknown option / 不明なオプションです: " + word);
        }
        if (m_values.count(name) > 0) {
            throw UsageError("option given twice / オプションが二度指定されています: " + name);
        }
        if (inlineValue) {
            m_values[name] = *inlineValue;
        } else if (i + 1 < words.size()) {
            m_values[name] = words[++i];
        } else {
            throw UsageError(name + " needs a value / 値が必要です");
        }
    }
}

std::optional<std::string> ParsedArguments::value(const std::string& option) const {
    const auto it = m_values.find(option);
    if (it == m_values.end()) return std::nullopt;
    return it->second;
}

void ParsedArguments::expectPositional(std::size_t min, std::size_t max) const {
    if (m_positional.size() < min) {
        throw UsageError("missing arguments / 引数が足りません");
    }
    if (m_positional.size() > max) {
        throw UsageError("too many arguments / 引数が多すぎます: " + m_positional[max]);
    }
}

double requireNumber(std::string_view what, const std::string& text) {
    try {
        const double value = workfolder::strictTextToNumber(text);
        if (std::isfinite(value)) return value;
    } catch (const workfolder::FailureError&) {
    }
    throw InputError(std::string(what) + " is not a number / 数ではありません: \"" + text + "\"");
}

std::int64_t requireWholeNumber(std::string_view what, const std::string& text, std::int64_t first,
                                std::int64_t last) {
    double value = 0;
    try {
        value = workfolder::strictTextToNumber(text);
    } catch (const workfolder::FailureError&) {
        throw InputError(std::string(what) + " is not a number / 数ではありません: \"" + text +
                         "\"");
    }
    if (!(value >= static_cast<double>(first) && value <= static_cast<double>(last)) ||
        value != std::floor(value)) {
        throw InputError(std::string(what) + " must be a whole number from " +
                         std::to_string(first) + " to " + std::to_string(last) + " / " +
                         std::to_string(first) + " から " + std::to_string(last) +
                         " までの整数にしてください: \"" + text + "\"");
    }
    return static_cast<std::int64_t>(value);
}

std::string oneLine(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        if (c == '\n' || c == '\r') {
            if (!out.empty() && out.back() != ' ') out.push_back(' ');
        } else {
            out.push_back(c);
        }
    }
    while (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
}

}  // namespace strobo::cli
