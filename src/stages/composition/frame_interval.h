#pragma once

#include <cstdint>

#include "stages/frame_range.h"

namespace strobo::stages {

// How many frames the frame files from..last give when every K-th is taken, the first among
// them; 0 when last < from.
std::int64_t intervalStepCount(std::int64_t from, std::int64_t last, std::int64_t every);

// The strobe series a build over the typed range leaves when it adds every K-th frame: strobe
// files s .. s+m stay one consecutive series, so the save and the replay take it as the range
// s .. s+m-1. Every frame (K = 1), or a range that gives no whole numbers, is the typed range
// itself, which the stages then judge as they always do.
FrameRange seriesRange(const FrameRange& typed, std::int64_t every);

}  // namespace strobo::stages
