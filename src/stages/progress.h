#pragma once

#include <cstdint>
#include <functional>

namespace strobo::stages {

// The long loops a stage runs.
enum class Phase {
    Extract,  // frame files written
    Median,   // frames taken into a median background
    Build,    // strobe files composed
    Make,     // pictures composed straight from the clip
    Measure,  // frames searched for the moving object
    Share,    // pictures written into an animation or a picture file
};

// Told after each unit of a long loop: `done` of `total` in that phase (the extraction also once
// with done = 0 before its first frame). Returning false asks the stage to stop at the next point
// where everything written so far is whole.
using Progress = std::function<bool(Phase phase, std::int64_t done, std::int64_t total)>;

// Lets the window system deliver pending events, then returns. Stages that show something while
// they run call it at the points where the windows repaint; without windows it is left empty.
using Yield = std::function<void()>;

}  // namespace strobo::stages
