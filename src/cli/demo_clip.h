#pragma once

#include <string>

#include "engine/packed_image.h"

namespace strobo::cli {

// The built-in sample clip: a ball thrown on a parabola across a brick wall.
struct DemoClipShape {
    int width = 640;
    int height = 480;
    int frames = 60;
    int framesPerSecond = 30;
};

// Frame `index` of the sample clip. The wall is dim and low in blue, the ball bright and high in
// blue, so the ball wins every whole-colour maximum against the wall.
engine::PackedImage demoFrame(int index, const DemoClipShape& shape = {});

// Where the ball's centre is in frame `index`: it leaves the lower left, peaks at the middle frame
// and lands at the lower right.
struct BallPosition {
    double x = 0;
    double y = 0;
};
BallPosition ballPosition(int index, const DemoClipShape& shape = {});
constexpr double kBallRadius = 18.0;

// Writes the sample clip as a Motion-JPEG AVI. Throws workfolder::media::MediaError.
void writeDemoClip(const std::string& path, const DemoClipShape& shape = {});

}  // namespace strobo::cli
