#include "stages/extraction/playback_picture.h"

#include <algorithm>
#include <vector>

#include "workfolder/bitmap_file.h"

namespace strobo::stages {

// Every pixel is written once, row after row: a picture is painted for every frame saved, and
// filling it first with the back colour would write most of it twice.
engine::PackedImage paintPlaybackPicture(const engine::PackedImage& frame, bool sunkenBorder,
                                         engine::PackedColor backColor) {
    engine::PackedImage picture;
    picture.width = kPlaybackWidth;
    picture.height = kPlaybackHeight;
    std::vector<engine::PackedColor>& pixels = picture.pixels;
    pixels.reserve(static_cast<std::size_t>(kPlaybackWidth) * kPlaybackHeight);
    const auto put = [&pixels](int count, engine::PackedColor color) {
        pixels.insert(pixels.end(), static_cast<std::size_t>(count), color);
    };
    const int inset = sunkenBorder ? kSunkenBorderWidth : 0;
    const int width = std::max(0, std::min(frame.width, kPlaybackWidth - inset));
    const int height = std::max(0, std::min(frame.height, kPlaybackHeight - inset));
    for (int y = 0; y < kPlaybackHeight; ++y) {
        if (sunkenBorder) {
            // Outer ring on row and column 0, inner ring on row and column 1 from (1, 1) on.
            if (y == 0) {
                put(kPlaybackWidth, kSunkenBorder.outerShadow);
                continue;
            }
            put(1, kSunkenBorder.outerShadow);
            if (y == 1) {
                put(kPlaybackWidth - 1, kSunkenBorder.innerShadow);
                continue;
            }
            put(1, kSunkenBorder.innerShadow);
        }
        const int fy = y - inset;
        if (fy < height) {
            pixels.insert(pixels.end(), frame.row(fy), frame.row(fy) + width);
            put(kPlaybackWidth - inset - width, backColor);
        } else {
            put(kPlaybackWidth - inset, backColor);
        }
    }
    return picture;
}

void encodePlaybackBitmap(const engine::PackedImage& frame, bool sunkenBorder,
                          engine::PackedColor backColor, std::vector<std::uint8_t>& out) {
    namespace wf = workfolder;
    // Runs of one colour are copied from rows of it made once.
    const auto rowOf = [](engine::PackedColor colour) {
        std::vector<std::uint8_t> bytes(static_cast<std::size_t>(kPlaybackWidth) * 3);
        const std::vector<engine::PackedColor> row(kPlaybackWidth, colour);
        wf::encodeBitmapRow24Plain(row.data(), bytes.data(), kPlaybackWidth);
        return bytes;
    };
    const std::vector<std::uint8_t> back = rowOf(backColor);
    const std::vector<std::uint8_t> outer = rowOf(kSunkenBorder.outerShadow);
    const std::vector<std::uint8_t> inner = rowOf(kSunkenBorder.innerShadow);
    const int inset = sunkenBorder ? kSunkenBorderWidth : 0;
    const int width = std::max(0, std::min(frame.width, kPlaybackWidth - inset));
    const int height = std::max(0, std::min(frame.height, kPlaybackHeight - inset));
    const std::size_t stride = wf::bitmapRowStride24(kPlaybackWidth);
    std::uint8_t* const data = wf::startBitmap24(kPlaybackWidth, kPlaybackHeight, out);
    for (int y = 0; y < kPlaybackHeight; ++y) {
        std::uint8_t* const start =
            data + stride * static_cast<std::size_t>(kPlaybackHeight - 1 - y);
        std::uint8_t* at = start;
        const auto put = [&at](const std::vector<std::uint8_t>& run, int count) {
            at = std::copy_n(run.data(), static_cast<std::size_t>(count) * 3, at);
        };
        if (sunkenBorder) {
            // As paintPlaybackPicture: the outer ring on row and column 0, the inner one on row
            // and column 1 from (1, 1) on.
            if (y == 0) {
                put(outer, kPlaybackWidth);
            } else {
                put(outer, 1);
                put(inner, y == 1 ? kPlaybackWidth - 1 : 1);
            }
        }
        if (!sunkenBorder || y >= kSunkenBorderWidth) {
            const int fy = y - inset;
            if (fy < height) {
                wf::encodeBitmapRow24(frame.row(fy), at, width);
                at += static_cast<std::size_t>(width) * 3;
                put(back, kPlaybackWidth - inset - width);
            } else {
                put(back, kPlaybackWidth - inset);
            }
        }
        // The buffer is reused: padding must not carry bytes of an earlier picture.
        std::fill(at, start + stride, std::uint8_t{0});
    }
}

PictureArea playbackVideoArea(int x, int y, int width, int height) {
    const int left = kSunkenBorderWidth + x;
    const int top = kSunkenBorderWidth + y;
    return {left, top, std::min(width, kPlaybackWidth - left),
            std::min(height, kPlaybackHeight - top)};
}

}  // namespace strobo::stages
