#include "cli/demo_clip.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "workfolder/media/clip_writer.h"

namespace strobo::cli {

namespace {

constexpr int kBrickWidth = 64;
constexpr int kBrickHeight = 24;
constexpr int kMortar = 3;

// A small integer hash, so every brick and every pixel gets its own steady variation.
std::uint32_t mix(std::uint32_t v) {
    v ^= v >> 16;
    v *= 0x7feb352dU;
    v ^= v >> 15;
    v *= 0x846ca68bU;
    v ^= v >> 16;
    return v;
}

int clampByte(double v) {
    return static_cast<int>(std::clamp(std::lround(v), 0L, 255L));
}

engine::PackedColor wallColor(int x, int y, const DemoClipShape& shape) {
    const int row = y / kBrickHeight;
    // Every other row of bricks is offset by half a brick, as a wall is laid.
    const int shifted = x + (row % 2) * (kBrickWidth / 2);
    const int column = shifted / kBrickWidth;
    const bool mortar = y % kBrickHeight < kMortar || shifted % kBrickWidth < kMortar;
    const std::uint32_t grain = mix(static_cast<std::uint32_t>(y * 7919 + x)) & 15;
    // The wall darkens towards the bottom, as if lit from above.
    const double light = 1.0 - 0.35 * y / std::max(shape.height - 1, 1);
    if (mortar) {
        const double level = (70 + grain) * light;
        return engine::packColor(clampByte(level), clampByte(level), clampByte(level * 0.8));
    }
    const std::uint32_t tone = mix(static_cast<std::uint32_t>(row * 131 + column)) % 40;
    return engine::packColor(clampByte((120 + tone + grain) * light),
                             clampByte((55 + tone / 2 + grain) * light),
                             clampByte((35 + grain) * light));
}

}  // namespace

BallPosition ballPosition(int index, const DemoClipShape& shape) {
    const double t = shape.frames > 1 ? static_cast<double>(index) / (shape.frames - 1) : 0.0;
    const double left = 2 * kBallRadius;
    const double right = shape.width - 2 * kBallRadius;
    const double ground = shape.height - 2 * kBallRadius;
    const double peak = shape.height * 0.18;
    // Constant speed across, constant pull down: a parabola through the two ends and the peak.
    return {left + (right - left) * t, ground - 4 * (ground - peak) * t * (1 - t)};
}

engine::PackedImage demoFrame(int index, const DemoClipShape& shape) {
    engine::PackedImage frame(shape.width, shape.height);
    for (int y = 0; y < shape.height; ++y) {
        for (int x = 0; x < shape.width; ++x) frame.set(x, y, wallColor(x, y, shape));
    }
    const BallPosition ball = ballPosition(index, shape);
    const int x0 = std::max(0, static_cast<int>(ball.x - kBallRadius - 1));
    const int x1 = std::min(shape.width - 1, static_cast<int>(ball.x + kBallRadius + 1));
    const int y0 = std::max(0, static_cast<int>(ball.y - kBallRadius - 1));
    const int y1 = std::min(shape.height - 1, static_cast<int>(ball.y + kBallRadius + 1));
    for (int y = y0; y <= y1; ++y) {
        for (int x = x0; x <= x1; ++x) {
            const double dx = (x + 0.5 - ball.x) / kBallRadius;
            const double dy = (y + 0.5 - ball.y) / kBallRadius;
            const double r2 = dx * dx + dy * dy;
            if (r2 > 1.0) continue;
            // A sphere lit from the upper left: brightness follows the surface normal.
            const double dz = std::sqrt(1.0 - r2);
            const double lit = std::max(0.0, (-0.5 * dx - 0.6 * dy + 0.62 * dz));
            const double shade = 0.55 + 0.45 * lit;
            frame.set(x, y,
                      engine::packColor(clampByte(200 * shade + 40), clampByte(230 * shade + 25),
                                        clampByte(255 * shade)));
        }
    }
    return frame;
}

void writeDemoClip(const std::string& path, const DemoClipShape& shape) {
    workfolder::media::ClipWriterOptions options;
    options.width = shape.width;
    options.height = shape.height;
    options.framesPerSecond = shape.framesPerSecond;
    options.codec = workfolder::media::ClipCodec::Mjpeg;
    options.quality = 2;
    workfolder::media::ClipWriter writer(path, options);
    for (int i = 0; i < shape.frames; ++i) writer.addFrame(demoFrame(i, shape));
    writer.finish();
}

}  // namespace strobo::cli
