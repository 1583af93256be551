#pragma once

#include <string>
#include <string_view>

#include "engine/packed_image.h"

namespace strobo::workfolder {

// The file formats saved pictures can take. Work-folder files are always bitmaps.
enum class PictureFormat { Bmp, Png };

// The format a chosen save name asks for: PNG for a file name ending in ".png" (any case), a
// bitmap for anything else, as before.
PictureFormat pictureFormatOf(std::string_view chosenPath);

// ".bmp" or ".png".
std::string_view pictureExtension(PictureFormat format);

// Writes the picture in the format, replacing an existing file only once the new one is whole.
// Throws FailureError (a file failure) when it cannot.
void savePictureAs(const engine::PackedImage& picture, const std::string& path,
                   PictureFormat format);

}  // namespace strobo::workfolder
