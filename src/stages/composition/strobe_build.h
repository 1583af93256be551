#pragma once

#include <cstdint>
#include <future>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/composition.h"
#include "engine/packed_image.h"
#include "stages/frame_range.h"
#include "stages/progress.h"
#include "workfolder/failure.h"
#include "workfolder/file_services.h"

namespace strobo::stages {

// The composition window's client area: every strobe file is this picture.
constexpr int kStrobeWidth = 400;
constexpr int kStrobeHeight = 300;
// The picture box C is drawn into; larger than the window, so only its top-left shows.
constexpr int kComposedSurfaceWidth = 533;
constexpr int kComposedSurfaceHeight = 400;
// C's colour before anything is composed into it: the picture box's back colour.
constexpr engine::PackedColor kComposedBackColor = engine::packColor(240, 240, 240);
// The frame is shrunk to this share (the integer conversion of 62.5).
constexpr std::int16_t kScalePercent = 62;

// Where the composition window follows the build. Every call comes from the thread that runs
// the build.
class StrobeBuildView {
  public:
    virtual ~StrobeBuildView() = default;
    // One step's composition and save begin; stepEnded() follows however the step ends.
    virtual void stepStarted() {}
    // C as the step composed it, before it is saved.
    virtual void showComposed(const engine::PackedImage& composed) = 0;
    virtual void stepEnded() {}
};

struct BuildResult {
    bool completed = false;
    // Stopped on request between two steps; not a failure.
    bool cancelled = false;
    // Strobe files written by this run, in order (the copy of the base strobe image first).
    std::vector<std::string> written;
    // The frame files the steps composed, in order: the frames the series shows.
    std::vector<std::int64_t> frameFiles;
    // Why the build stopped short. NumberOutOfRange or NumberIsNaN: the range does not give
    // whole numbers; BackgroundMissing: no base strobe image; otherwise a file could not be used.
    std::optional<workfolder::Failure> failure;
};

// The size a W x H frame is shrunk to at percent per cent of each side, halves to even.
std::pair<std::int32_t, std::int32_t> scaledFrameSize(std::int32_t width, std::int32_t height,
                                                      std::int16_t percent);

// The cumulative strobe build: strobe file s is a copy of the base strobe image; each step i
// from s+1 to e+1 composes strobe file i-1 (A) with frame file i shrunk to 62 % (B) into C and
// saves C's top-left 400 x 300 as strobe file i.
class StrobeBuild {
  public:
    StrobeBuild(workfolder::FileServices& files, std::string folder);

    void setOperation(engine::CompositionOperation operation) { m_operation = operation; }
    engine::CompositionOperation operation() const { return m_operation; }
    // Adds only every K-th frame of the range (1, the default, adds each): step j adds frame
    // file s+1+(j-1)K and writes strobe file s+j, so the series stays consecutive.
    void setEvery(std::int64_t every) { m_every = every < 1 ? 1 : every; }

    // Never throws for a missing file or a bad number: it stops, keeps what it wrote and says
    // why in the result. progress hears (Phase::Build, step, steps) after each step; returning
    // false stops the build there, as cancel() does.
    BuildResult run(const FrameRange& range, StrobeBuildView* view = nullptr,
                    const Progress& progress = {});

    // Asks a running build to stop after the step under way; what it wrote stays.
    void cancel() { m_cancelled = true; }

    // C as the last step left it (it persists from step to step, as the picture box does).
    const engine::PackedImage& composed() const { return m_composed; }

  private:
    void step(std::int32_t i, std::future<engine::PackedImage>& shrunkFrame, StrobeBuildView* view,
              BuildResult& result);

    workfolder::FileServices& m_files;
    std::string m_folder;
    engine::CompositionOperation m_operation = engine::kOperationMax;
    std::int64_t m_every = 1;
    engine::PackedImage m_composed;
    bool m_cancelled = false;
};

struct FinishResult {
    int deleted = 0;
    // Frame files that were already gone.
    int missing = 0;
    // Everything else that went wrong.
    std::vector<workfolder::Failure> failures;
};

// Deletes frame files 1 to frameCount of the folder. Files already gone are skipped; other
// failures are collected and the loop goes on.
FinishResult deleteFrameFiles(workfolder::FileServices& files, std::string_view folder,
                              std::int32_t frameCount);

}  // namespace strobo::stages
