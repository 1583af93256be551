#pragma once

#include <cstdint>
#include <vector>

#include "engine/packed_image.h"
#include "stages/extraction/frame_facts.h"

namespace strobo::stages {

// The playback window's image: every frame file is a picture of this size.
constexpr int kPlaybackWidth = 653;
constexpr int kPlaybackHeight = 480;

// A picture box's sunken border, two pixels wide: shadow and dark shadow above and left, light
// and highlight below and right. Fixed values rather than a style's palette, so pictures do not
// depend on the desktop theme.
struct SunkenBorderColors {
    engine::PackedColor outerShadow;
    engine::PackedColor innerShadow;
    engine::PackedColor innerLight;
    engine::PackedColor outerLight;
};
inline constexpr SunkenBorderColors kSunkenBorder{
    engine::packColor(160, 160, 160), engine::packColor(105, 105, 105),
    engine::packColor(227, 227, 227), engine::packColor(255, 255, 255)};
constexpr int kSunkenBorderWidth = 2;

// The back colour of the playback picture box when no window draws it: the toolkit's default
// window colour on the offscreen platform, which the command line has always drawn on.
inline constexpr engine::PackedColor kHeadlessPlaybackBackColor = engine::packColor(239, 239, 239);

// The playback window as it shows: its picture box fills it from the top-left corner and reaches
// far beyond its bottom and right edges, so only the box's top and left border are in view. The
// frame stands at the top-left of the box's client area on the back colour. `frame` may be null
// (nothing shown yet). The window paints itself with this picture, and extraction saves it.
engine::PackedImage paintPlaybackPicture(const engine::PackedImage& frame, bool sunkenBorder,
                                         engine::PackedColor backColor);

// The same picture as a 24-bit bitmap file's bytes, painted straight into them: byte for byte
// encodeBitmap24(paintPlaybackPicture(frame, sunkenBorder, backColor)), without the picture
// between. `out` is reused from one file to the next.
void encodePlaybackBitmap(const engine::PackedImage& frame, bool sunkenBorder,
                          engine::PackedColor backColor, std::vector<std::uint8_t>& out);

// Where a video drawn width x height at (x, y) of the bordered picture box's client area stands
// in the playback picture, cut to the picture: the frame files' video area.
PictureArea playbackVideoArea(int x, int y, int width, int height);

}  // namespace strobo::stages
