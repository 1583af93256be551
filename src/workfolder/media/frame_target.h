#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "engine/packed_image.h"

namespace strobo::workfolder::media {

// Something the media player can draw video into: in the windows a picture box, found by its
// native window id; in tests a recorder.
class FrameTarget {
  public:
    virtual ~FrameTarget() = default;
    // Shows the frame at its own size at the top-left corner, on the target's background.
    virtual void showVideoFrame(const engine::PackedImage& frame) = 0;
    // The same for a frame the target may keep without a copy: the player never changes a frame
    // once shown, it only replaces it. Shown as above unless the target keeps frames.
    virtual void showSharedVideoFrame(std::shared_ptr<const engine::PackedImage> frame) {
        showVideoFrame(*frame);
    }
    // Removes the video; the target shows its background alone.
    virtual void clearVideoFrame() = 0;
};

// Finds the target for a window handle given in a "window <alias> handle <n>" command;
// nullptr when no such target exists.
using FrameTargetResolver = std::function<FrameTarget*(std::uint64_t handle)>;

}  // namespace strobo::workfolder::media
