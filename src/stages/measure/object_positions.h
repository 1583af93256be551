#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/packed_image.h"
#include "stages/progress.h"
#include "workfolder/failure.h"

namespace strobo::stages {

// Where the moving object stood in one frame: the centre of the region that differs from the
// background, in pixels of the clip as shown (upright, full resolution, origin top-left, pixel
// (i, j) centred on (i, j)), and how many pixels the region has.
struct MovedObject {
    double x = 0;
    double y = 0;
    std::int64_t area = 0;
};

// Finds the moving object of frames against one background of the same size. A pixel has
// changed when its largest channel difference stands above the frame's noise (three times the
// median difference averaged over 6 x 6 pixels, at least kLeastThreshold). The object is the
// largest 8-connected region where that average stands above it too (so that grain never makes
// a region), placed and measured by its own changed pixels. A region below kLeastArea pixels is
// noise, and nothing moved.
class ObjectFinder {
  public:
    static constexpr int kLeastThreshold = 24;
    static constexpr std::int64_t kLeastArea = 4;

    // Throws std::invalid_argument for an empty background.
    explicit ObjectFinder(engine::PackedImage background);

    const engine::PackedImage& background() const { return m_background; }
    // Throws std::invalid_argument for a frame of another size. One search at a time: the
    // finder keeps its working buffers from frame to frame.
    std::optional<MovedObject> find(const engine::PackedImage& frame) const;

  private:
    engine::PackedImage m_background;
    mutable std::vector<std::uint32_t> m_channels;
    mutable std::vector<std::uint8_t> m_difference;
    mutable std::vector<std::uint16_t> m_blocks;
    mutable std::vector<std::uint16_t> m_rows;
    mutable std::vector<std::uint8_t> m_mask;
};

// One image of a strobe series: image (1, 2, ... in order of use), the clip frame it shows
// (from 0), when that frame is shown (seconds after the first shown frame, from the clip's own
// time stamps), and the object, if anything moved.
struct ObjectPosition {
    int image = 0;
    std::int64_t frame = 0;
    double time = 0;
    std::optional<MovedObject> object;
};

struct PositionsRequest {
    std::string clip;
    // The clip frames used, in order of use.
    std::vector<std::int64_t> frames;
    // A picture of the scene without the object, scaled to the clip's size when it differs;
    // empty: the per-channel median of frames sampled over the whole clip.
    std::string backgroundFile;
};

struct PositionsResult {
    std::vector<ObjectPosition> positions;
    // The clip as shown, which the positions are in.
    int clipWidth = 0;
    int clipHeight = 0;
    bool stopped = false;
    std::optional<workfolder::Failure> failure;
};

// Decodes the frames used at the clip's full size and finds the object in each. Progress hears
// Phase::Median while a median background is made and Phase::Measure per frame, and may stop
// it between two frames.
PositionsResult measurePositions(const PositionsRequest& request, const Progress& progress = {});

// The clip frames that frame files show, in the same order: frame file n shows clip frame n
// (from 0), the last frame standing in for the position one past it.
std::vector<std::int64_t> clipFramesOfFrameFiles(const std::vector<std::int64_t>& frameFiles,
                                                 std::int64_t frameCount);

// The background positions are measured against: the picture file scaled to the clip's size,
// or, for an empty name, the per-channel median of frames sampled over the whole clip at its
// full size. nullopt when progress (Phase::Median) asked to stop. Throws
// workfolder::FailureError.
std::optional<engine::PackedImage> positionsBackground(const std::string& clip,
                                                       const std::string& file,
                                                       const Progress& progress = {},
                                                       int decoderThreads = 0);

}  // namespace strobo::stages
