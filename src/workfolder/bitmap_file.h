#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "engine/packed_image.h"

namespace strobo::workfolder {

// The bitmaps the stages write and read back hundreds of times a run are uncompressed 24-bit
// ones. Qt reads and writes those a pixel at a time; these do whole rows. Every other kind of
// bitmap goes through Qt, after the same checks of its headers.

// A 24-bit bottom-up Windows bitmap of the picture (rows padded to four bytes).
std::vector<std::uint8_t> encodeBitmap24(const engine::PackedImage& picture);
// The same into a buffer the caller keeps from one picture to the next.
void encodeBitmap24(const engine::PackedImage& picture, std::vector<std::uint8_t>& out);
// For writers that make the rows themselves: sizes the buffer for a width x height 24-bit
// bitmap, writes its headers and gives where the rows go, bottom row first, each
// bitmapRowStride24(width) bytes long with zeros after its pixels.
std::uint8_t* startBitmap24(int width, int height, std::vector<std::uint8_t>& out);
std::size_t bitmapRowStride24(int width);
// One row of pixels as the bitmap stores it: blue, green, red bytes, no padding. The second is
// the plain form, which the first must match byte for byte.
void encodeBitmapRow24(const engine::PackedColor* row, std::uint8_t* out, int width);
void encodeBitmapRow24Plain(const engine::PackedColor* row, std::uint8_t* out, int width);

// What a Windows bitmap's headers declare.
struct BitmapHeader {
    std::uint64_t headersSize = 0;  // the file header and the info header (and colour masks)
    bool dimensionsKnown = false;   // false for a kind of info header not known here
    std::uint64_t dataOffset = 0;
    std::int64_t width = 0;
    std::int64_t height = 0;  // rows, however they are stored
    bool topDown = false;
    int bitsPerPixel = 0;
    std::uint32_t compression = 0;
};

// The headers at the start of a file; nullopt when it does not start as a bitmap does. A file
// cut off inside its headers still gives the headers' size, for the check below.
std::optional<BitmapHeader> readBitmapHeader(std::span<const std::uint8_t> start);

enum class BitmapCheck { Sound, Truncated, TooLarge, DataMisplaced };

// Whether a file of fileSize bytes holds what its header declares: no more than maxPixels
// pixels, pixel data that starts after the headers and inside the file, and (for uncompressed
// rows) every row. What cannot be told from the header is left to the decoder.
BitmapCheck checkBitmap(const BitmapHeader& header, std::uint64_t fileSize, long long maxPixels);

// Decodes an uncompressed 24- or 32-bit bitmap (top-down or bottom-up) whose header was
// checked; nullopt for every other kind, which Qt decodes.
std::optional<engine::PackedImage> decodeSimpleBitmap(const BitmapHeader& header,
                                                      std::span<const std::uint8_t> file);

}  // namespace strobo::workfolder
