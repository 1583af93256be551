#include "stages/output/position_marks.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <utility>

#include "stages/composition/strobe_build.h"
#include "stages/extraction/playback_picture.h"
#include "workfolder/media/media_player.h"
#include "workfolder/media/video_decoder.h"

namespace strobo::stages {

namespace {

constexpr engine::PackedColor kOutline = engine::packColor(0, 0, 0);
constexpr engine::PackedColor kMark = engine::packColor(255, 40, 40);
constexpr engine::PackedColor kNumber = engine::packColor(255, 235, 0);

// Digits 0-9 as 5 x 7 dots, one row per byte, the leftmost dot in bit 4: drawn without a font,
// so the command line marks pictures exactly as the windows do, with no desktop fonts at hand.
constexpr std::array<std::array<std::uint8_t, 7>, 10> kDigits = {{
    {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E},
    {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E},
    {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F},
    {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E},
    {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02},
    {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E},
    {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E},
    {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08},
    {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E},
    {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C},
}};

void fillRect(engine::PackedImage& picture, int x, int y, int w, int h, engine::PackedColor c) {
    const int x0 = std::max(x, 0);
    const int y0 = std::max(y, 0);
    const int x1 = std::min(x + w, picture.width);
    const int y1 = std::min(y + h, picture.height);
    for (int yy = y0; yy < y1; ++yy) {
        std::fill(picture.row(yy) + x0, picture.row(yy) + std::max(x0, x1), c);
    }
}

// The dots of a number at (x, y), each dot `size` pixels square, grown by `grow` on every side.
void drawNumberDots(engine::PackedImage& picture, const std::string& digits, int x, int y, int size,
                    int grow, engine::PackedColor c) {
    for (std::size_t i = 0; i < digits.size(); ++i) {
        const auto& glyph = kDigits[static_cast<std::size_t>(digits[i] - '0')];
        const int left = x + static_cast<int>(i) * 6 * size;
        for (int row = 0; row < 7; ++row) {
            for (int column = 0; column < 5; ++column) {
                if (glyph[static_cast<std::size_t>(row)] & (0x10 >> column)) {
                    fillRect(picture, left + column * size - grow, y + row * size - grow,
                             size + 2 * grow, size + 2 * grow, c);
                }
            }
        }
    }
}

// A plus sign centred on (cx, cy): arms `arm` pixels long and `thickness` wide.
void drawCross(engine::PackedImage& picture, double cx, double cy, int arm, int thickness,
               engine::PackedColor c) {
    const int x = static_cast<int>(std::lround(cx));
    const int y = static_cast<int>(std::lround(cy));
    const int half = thickness / 2;
    fillRect(picture, x - arm, y - half, 2 * arm + 1, thickness, c);
    fillRect(picture, x - half, y - arm, thickness, 2 * arm + 1, c);
}

// A number's place on the picture, right and bottom edges excluded.
struct Box {
    int left;
    int top;
    int right;
    int bottom;
    bool overlaps(const Box& o) const {
        return left < o.right && o.left < right && top < o.bottom && o.top < bottom;
    }
};

}  // namespace

PictureArea playbackVideoArea(int clipWidth, int clipHeight) {
    namespace media = workfolder::media;
    int w = 0;
    int h = 0;
    media::scaleToFit(clipWidth, clipHeight, media::MediaPlayer::kMaxFrameWidth,
                      media::MediaPlayer::kMaxFrameHeight, &w, &h);
    const int left = kSunkenBorderWidth;
    const int top = kSunkenBorderWidth;
    return {left, top, std::min(w, kPlaybackWidth - left), std::min(h, kPlaybackHeight - top)};
}

PictureMapping windowPictureMapping(const PictureArea& videoArea, int clipWidth, int clipHeight) {
    // The video keeps its aspect; an area cut by the picture's edge is short on one side only.
    const double video = std::max(static_cast<double>(videoArea.width) / std::max(clipWidth, 1),
                                  static_cast<double>(videoArea.height) / std::max(clipHeight, 1));
    const auto [shrunkWidth, shrunkHeight] =
        scaledFrameSize(kPlaybackWidth, kPlaybackHeight, kScalePercent);
    const double rx = static_cast<double>(shrunkWidth) / kPlaybackWidth;
    const double ry = static_cast<double>(shrunkHeight) / kPlaybackHeight;
    // Pixel centres map onto pixel centres through both scalings.
    return {video * rx, video * ry, (videoArea.x + 0.5 * video) * rx - 0.5,
            (videoArea.y + 0.5 * video) * ry - 0.5};
}

void drawPositionMarks(engine::PackedImage& picture, const std::vector<ObjectPosition>& positions,
                       const PictureMapping& mapping) {
    if (picture.isNull()) return;
    // Two pixels a dot on the windows' 400 x 300 pictures, more on large ones.
    const int unit = std::max(
        2, static_cast<int>(std::lround(std::min(picture.width, picture.height * 4 / 3) / 300.0)));
    const int arm = 4 * unit;
    std::vector<Box> numbers;
    const auto centre = [&](const MovedObject& object) {
        return std::pair{mapping.offsetX + mapping.scaleX * object.x,
                         mapping.offsetY + mapping.scaleY * object.y};
    };
    // The crosses mark the measured centres themselves, outlined so that they show on any
    // colour; the numbers come after them, so that no later cross hides an earlier number.
    for (const ObjectPosition& p : positions) {
        if (!p.object) continue;
        const auto [cx, cy] = centre(*p.object);
        drawCross(picture, cx, cy, arm + 1, unit + 2, kOutline);
        drawCross(picture, cx, cy, arm, unit, kMark);
    }
    for (const ObjectPosition& p : positions) {
        if (!p.object) continue;
        const auto [cx, cy] = centre(*p.object);
        const std::string digits = std::to_string(p.image);
        const int size = unit;
        const int textWidth = static_cast<int>(digits.size()) * 6 * size - size;
        const int textHeight = 7 * size;
        int x = static_cast<int>(std::lround(cx)) + arm + 2 * unit;
        int y = static_cast<int>(std::lround(cy)) - arm - textHeight;
        // Kept inside the picture where the object stands near an edge.
        x = std::clamp(x, 1, std::max(1, picture.width - textWidth - 1));
        y = std::clamp(y, 1, std::max(1, picture.height - textHeight - 1));
        // Where images crowd, a number that would cover an earlier one is left out; the cross
        // still marks its image. The choice depends only on the images before, so every picture
        // of the series numbers its images alike.
        const Box box{x - unit, y - unit, x + textWidth + unit, y + textHeight + unit};
        if (std::any_of(numbers.begin(), numbers.end(),
                        [&](const Box& other) { return box.overlaps(other); })) {
            continue;
        }
        numbers.push_back(box);
        drawNumberDots(picture, digits, x, y, size, 1, kOutline);
        drawNumberDots(picture, digits, x, y, size, 0, kNumber);
    }
}

}  // namespace strobo::stages
