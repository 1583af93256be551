#include "stages/extraction/playback_picture.h"

#include <algorithm>
#include <vector>

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

PictureArea playbackVideoArea(int x, int y, int width, int height) {
    const int left = kSunkenBorderWidth + x;
    const int top = kSunkenBorderWidth + y;
    return {left, top, std::min(width, kPlaybackWidth - left),
            std::min(height, kPlaybackHeight - top)};
}

}  // namespace strobo::stages
