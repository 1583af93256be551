#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace strobo::workfolder {

// The native separator that starts every fixed piece of a work-folder name.
std::string separator();

// Names are plain concatenations: folder, a fixed piece, a number in text form, ".bmp". Nothing
// is added or removed, so a folder typed with a trailing separator gives a doubled one.

// folder + "/test": the frame prefix that frame file names continue.
std::string framePrefix(std::string_view folder);
// prefix + n + ".bmp"
std::string frameFileFromPrefix(std::string_view prefix, std::int64_t n);
// folder + "/test" + n + ".bmp"
std::string frameFile(std::string_view folder, std::int64_t n);
// folder + "/Sstrobe.bmp": the background the first frame is composed onto.
std::string baseStrobeImage(std::string_view folder);
// folder + "/Stest0.bmp": the untouched copy the base strobe image is restored from.
std::string pristineBaseImage(std::string_view folder);
// folder + "/Sstrobe" + n + ".bmp"
std::string strobeFile(std::string_view folder, std::int64_t n);
// The same with n already in text form (a typed number converted and written back).
std::string strobeFile(std::string_view folder, std::string_view numberText);

// The chosen save path without its file name's extension: the file name is cut before its
// first "."; a "." in a folder name never counts. A file name without "." is used whole.
std::string savePrefix(std::string_view chosenPath);
// prefix + k + ".bmp", k in text form (a fraction keeps its point).
std::string savedPicture(std::string_view prefix, double k);

}  // namespace strobo::workfolder
