#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/packed_image.h"

namespace strobo::workfolder {

// The bitmaps the stages write and read back hundreds of times a run are uncompressed 24-bit
// ones. Qt reads and writes those a pixel at a time; these do whole rows. Every other kind of
// bitmap goes through Qt.

// A 24-bit bottom-up Windows bitmap of the picture (rows padded to four bytes).
std::vector<std::uint8_t> encodeBitmap24(const engine::PackedImage& picture);
// The same into a buffer the caller keeps from one picture to the next.
void encodeBitmap24(const engine::PackedImage& picture, std::vector<std::uint8_t>& out);

enum class BitmapCheck { NotSimple, Truncated, TooLarge };

// Decodes an uncompressed 24- or 32-bit bitmap (top-down or bottom-up). When the data is not
// such a bitmap, or is damaged, returns nullopt and says why in check.
std::optional<engine::PackedImage> decodeSimpleBitmap(const std::vector<std::uint8_t>& bytes,
                                                      long long maxPixels, BitmapCheck& check);

}  // namespace strobo::workfolder
