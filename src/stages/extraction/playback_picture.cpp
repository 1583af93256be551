#include "stages/extraction/playback_picture.h"

#include <algorithm>

namespace strobo::stages {

engine::PackedImage paintPlaybackPicture(const engine::PackedImage& frame, bool sunkenBorder,
                                         engine::PackedColor backColor) {
    engine::PackedImage picture(kPlaybackWidth, kPlaybackHeight, backColor);
    const int inset = sunkenBorder ? kSunkenBorderWidth : 0;
    const int width = std::min(frame.width, kPlaybackWidth - inset);
    const int height = std::min(frame.height, kPlaybackHeight - inset);
    for (int y = 0; y < height; ++y) {
        std::copy_n(frame.row(y), width, picture.row(y + inset) + inset);
    }
    if (!sunkenBorder) return picture;
    // Outer ring on row and column 0, inner ring on row and column 1 from (1, 1) on.
    std::fill_n(picture.row(0), kPlaybackWidth, kSunkenBorder.outerShadow);
    std::fill_n(picture.row(1) + 1, kPlaybackWidth - 1, kSunkenBorder.innerShadow);
    for (int y = 1; y < kPlaybackHeight; ++y) {
        picture.row(y)[0] = kSunkenBorder.outerShadow;
        picture.row(y)[1] = kSunkenBorder.innerShadow;
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
