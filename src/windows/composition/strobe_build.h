#pragma once

#include <cstdint>
#include <future>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/composition.h"
#include "engine/packed_image.h"
#include "workfolder/platform_services.h"

namespace strobo::windows {

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

// Where the composition window shows the picture built so far.
class StrobeBuildView {
  public:
    virtual ~StrobeBuildView() = default;
    // Called after each step has composed C and before it is saved.
    virtual void showComposed(const engine::PackedImage& composed) = 0;
};

struct BuildReport {
    bool completed = false;
    // Stopped on request between two steps (the program is ending); not a failure.
    bool cancelled = false;
    // Strobe files written by this run, in order (the copy of the base strobe image first).
    std::vector<std::string> written;
    // Why the build stopped, ready to show the user; empty when it completed.
    std::string failure;
};

// The size ScalePicture paints a W x H frame at: percent per cent of each side, halves to even.
std::pair<std::int32_t, std::int32_t> scaledFrameSize(std::int32_t width, std::int32_t height,
                                                      std::int16_t percent);

// The cumulative strobe build: strobe file s is a copy of the base strobe image; each step i
// from s+1 to e+1 composes strobe file i-1 (A) with frame file i shrunk to 62 % (B) into C and
// saves C's top-left 400 x 300 as strobe file i. Runs without widgets, over the services, so the
// window, the command line and the tests drive the same loop.
class StrobeBuild {
  public:
    StrobeBuild(workfolder::PlatformServices& services, std::string folder);

    void setOperation(engine::CompositionOperation operation) { m_operation = operation; }
    engine::CompositionOperation operation() const { return m_operation; }

    // firstText and lastText are the range as typed. Never throws for a missing file or a bad
    // number: it stops, keeps what it wrote and says why in the report.
    BuildReport run(std::string_view firstText, std::string_view lastText,
                    StrobeBuildView* view = nullptr);

    // Asks a running build to stop after the step under way; what it wrote stays.
    void cancel() { m_cancelled = true; }

    // C as the last step left it (it persists from step to step, as the picture box does).
    const engine::PackedImage& composed() const { return m_composed; }

  private:
    void step(std::int32_t i, std::future<engine::PackedImage>& shrunkFrame, StrobeBuildView* view,
              BuildReport& report);

    workfolder::PlatformServices& m_services;
    std::string m_folder;
    engine::CompositionOperation m_operation = engine::kOperationMax;
    engine::PackedImage m_composed;
    bool m_cancelled = false;
};

struct FinishReport {
    int deleted = 0;
    // Frame files that were already gone.
    int missing = 0;
    // Everything else that went wrong, one readable line each.
    std::vector<std::string> failures;
};

// Deletes frame files 1 to N of the folder, N read from frameCountText. Files already gone are
// skipped; other failures are collected and the loop goes on.
FinishReport deleteFrameFiles(workfolder::PlatformServices& services, std::string_view folder,
                              std::string_view frameCountText);

}  // namespace strobo::windows
