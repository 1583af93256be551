#pragma once

#include <QString>
#include <cstdint>
#include <string>

#include "stages/frame_range.h"

class QListWidget;

namespace strobo::windows {

class WindowSet;

// What the composition window does before a build: offers to make the base images when the work
// folder has none, and selects in the operation list the operation the contact sheet asks for;
// for 自動, the one chosen from the frames the build will add. Returns the line that tells the
// user what 自動 chose (e.g. 「自動: 明るい物体 → 最大値」), empty when nothing was chosen.
QString prepareBuild(WindowSet& windows, const std::string& folder, const stages::FrameRange& range,
                     std::int64_t every, QListWidget& operationList);

}  // namespace strobo::windows
