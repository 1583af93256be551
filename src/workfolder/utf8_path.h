#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace strobo::workfolder {

// Paths travel through the program as UTF-8 text; the file system library wants its own type,
// which on some systems is not UTF-8 by default.
inline std::filesystem::path u8path(std::string_view utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

inline std::string utf8(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

}  // namespace strobo::workfolder
