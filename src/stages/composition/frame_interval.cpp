#include "stages/composition/frame_interval.h"

#include <algorithm>

#include "workfolder/numbers.h"

namespace strobo::stages {

std::int64_t intervalStepCount(std::int64_t from, std::int64_t last, std::int64_t every) {
    if (last < from) return 0;
    return (last - from) / std::max<std::int64_t>(1, every) + 1;
}

FrameRange seriesRange(const FrameRange& typed, std::int64_t every) {
    if (every <= 1) return typed;
    try {
        const std::int64_t from = workfolder::toInt32(typed.first + 1);
        const std::int64_t last = workfolder::toInt32(typed.last + 1);
        const std::int64_t steps = intervalStepCount(from, last, every);
        // The last strobe file is from + steps - 1; the range names it as its last plus one.
        return {typed.first, static_cast<double>(from + steps - 2)};
    } catch (const workfolder::FailureError&) {
        return typed;
    }
}

}  // namespace strobo::stages
