#pragma once

#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

#include "stages/extraction/frame_facts.h"

namespace strobo::windows {

class CompositionWindow;

// The time between two images of the series, from the clip's own time stamps of the frames the
// build used: one value when every step is the same, else the shortest and the longest.
struct TimeStep {
    double shortest = 0;
    double longest = 0;
};

// The steps between the frame files used, in order; nullopt with fewer than two of them or
// without a time for one of them.
std::optional<TimeStep> timeStepOf(const std::vector<std::int64_t>& frameFiles,
                                   const stages::FrameFacts& facts);

// "Δt = 0.0333 秒", or "Δt = 0.0330〜0.0340 秒" when the steps differ by a microsecond or more.
QString timeStepText(const TimeStep& step);

// Shows the time step of the frames the build used in a small label in the picture's bottom-left
// corner, or hides it when the frames have no times.
void showTimeStep(CompositionWindow& window, const std::vector<std::int64_t>& frameFiles);

}  // namespace strobo::windows
