#pragma once

#include <cstdint>
#include <functional>
#include <future>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/composition.h"
#include "engine/packed_image.h"
#include "stages/extraction/frame_facts.h"
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

// B of a step: a frame shrunk to 62 %, and which of its pixels are made of video alone.
struct ShrunkFrame {
    // With a known video, only the video's pixels are made; the rest are black.
    engine::PackedImage picture;
    // The pixels of `picture` whose every source pixel lies in the frame's video; nullopt when
    // the frame's video is not known, and the whole picture is taken for video.
    std::optional<PictureArea> video;
};

// Frame file n (1 .. N) shrunk as the build shrinks it: read from the work folder, or made from
// the clip without the file. Both give the same video pixels, so the windows and `make` decide
// and make the same from the same clip.
using ShrunkFrameSource = std::function<ShrunkFrame(std::int64_t n)>;

// Shrinks a frame (file) as the build does. videoArea is where the frame shows its video (the
// frame facts); a shrunk pixel that mixes in anything beside it does not count as video.
ShrunkFrame shrinkFrame(const engine::PackedImage& frame,
                        const std::optional<PictureArea>& videoArea);

// Makes `into` shrinkFrame(picture, videoArea) of a pictureWidth x pictureHeight picture whose
// video area shows `video` from its pixel (0, 0) on, from `video` alone, as the video's shrunk
// pixels take nothing from beside it: the picture need not be painted first, and a shrunk frame
// of the same size and video is overwritten in place. False, leaving `into` as it was, when the
// area reaches beyond `video` or the picture has no shrunk size.
bool shrinkVideoOfPicture(const engine::PackedImage& video, std::int32_t pictureWidth,
                          std::int32_t pictureHeight, const PictureArea& videoArea,
                          ShrunkFrame& into);

// The composition of one step, the same for every road that builds a strobe series so that they
// cannot give different pictures. C persists from step to step, as the picture box does.
class StrobeComposer {
  public:
    StrobeComposer();

    void setOperation(engine::CompositionOperation operation) { m_operation = operation; }
    engine::CompositionOperation operation() const { return m_operation; }

    // C = A combined with B over A's size, but only where B shows video: elsewhere C keeps A, so
    // nothing from beside the video (the playback window's border and back colour) ever reaches
    // a strobe picture. Without a known video B is combined wherever A is, points beyond B
    // reading as -1. Returns the step's strobe picture, C's top-left 400 x 300.
    engine::PackedImage compose(const engine::PackedImage& a, const ShrunkFrame& b);
    // picture = compose(picture, b), reusing the picture's memory where it can.
    void composeInPlace(engine::PackedImage& picture, const ShrunkFrame& b);

    const engine::PackedImage& composed() const { return m_composed; }

  private:
    // compose's C for a B whose video lies on it, its video points also written into `into`
    // (A's size, or null); false, doing nothing, for any other B.
    bool composeVideo(const engine::PackedImage& a, const ShrunkFrame& b,
                      engine::PackedImage* into);

    engine::CompositionOperation m_operation = engine::kOperationMax;
    engine::PackedImage m_composed;
};

// The cumulative strobe build: strobe file s is a copy of the base strobe image; each step i
// from s+1 to e+1 composes strobe file i-1 (A) with frame file i shrunk to 62 % (B) into C and
// saves C's top-left 400 x 300 as strobe file i. Where the frame facts tell the frame files'
// video, only the video is composed.
class StrobeBuild {
  public:
    StrobeBuild(workfolder::FileServices& files, std::string folder);

    void setOperation(engine::CompositionOperation operation) {
        m_composer.setOperation(operation);
    }
    engine::CompositionOperation operation() const { return m_composer.operation(); }
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
    const engine::PackedImage& composed() const { return m_composer.composed(); }

  private:
    void step(std::int32_t i, std::future<ShrunkFrame>& shrunkFrame, StrobeBuildView* view,
              BuildResult& result);

    workfolder::FileServices& m_files;
    std::string m_folder;
    StrobeComposer m_composer;
    std::int64_t m_every = 1;
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
