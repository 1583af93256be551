#include "workfolder/file_names.h"

#include <filesystem>

#include "workfolder/numbers.h"

namespace strobo::workfolder {

std::string separator() {
    return std::string(1, static_cast<char>(std::filesystem::path::preferred_separator));
}

std::string framePrefix(std::string_view folder) {
    return std::string(folder) + separator() + "test";
}

std::string frameFileFromPrefix(std::string_view prefix, std::int64_t n) {
    return std::string(prefix) + numberText(n) + ".bmp";
}

std::string frameFile(std::string_view folder, std::int64_t n) {
    return frameFileFromPrefix(framePrefix(folder), n);
}

std::string baseStrobeImage(std::string_view folder) {
    return std::string(folder) + separator() + "Sstrobe.bmp";
}

std::string pristineBaseImage(std::string_view folder) {
    return std::string(folder) + separator() + "Stest0.bmp";
}

std::string strobeFile(std::string_view folder, std::int64_t n) {
    return strobeFile(folder, numberText(n));
}

std::string strobeFile(std::string_view folder, std::string_view text) {
    return std::string(folder) + separator() + "Sstrobe" + std::string(text) + ".bmp";
}

std::string savePrefix(std::string_view chosenPath) {
    std::size_t nameStart = chosenPath.find_last_of("/\\");
    nameStart = nameStart == std::string_view::npos ? 0 : nameStart + 1;
    const std::size_t dot = chosenPath.find('.', nameStart);
    if (dot == std::string_view::npos) return std::string(chosenPath);
    return std::string(chosenPath.substr(0, dot));
}

std::string savedPicture(std::string_view prefix, double k) {
    return std::string(prefix) + numberText(k) + ".bmp";
}

}  // namespace strobo::workfolder
