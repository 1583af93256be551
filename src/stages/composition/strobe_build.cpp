#include "stages/composition/strobe_build.h"

#include <algorithm>
#include <future>

#include "engine/fast_composition.h"
#include "engine/scaling.h"
#include "stages/composition/frame_interval.h"
#include "stages/extraction/frame_facts.h"
#include "workfolder/file_names.h"
#include "workfolder/numbers.h"

namespace strobo::stages {

namespace wf = workfolder;

namespace {

engine::PackedImage cropTopLeft(const engine::PackedImage& image, int width, int height) {
    engine::PackedImage out(std::min(width, image.width), std::min(height, image.height));
    for (int y = 0; y < out.height; ++y) {
        std::copy_n(image.row(y), out.width, out.row(y));
    }
    return out;
}

// Ends the view's step however the step ends.
class StepScope {
  public:
    explicit StepScope(StrobeBuildView* view) : m_view(view) {
        if (m_view) m_view->stepStarted();
    }
    ~StepScope() {
        if (m_view) m_view->stepEnded();
    }
    StepScope(const StepScope&) = delete;
    StepScope& operator=(const StepScope&) = delete;

  private:
    StrobeBuildView* m_view;
};

}  // namespace

std::pair<std::int32_t, std::int32_t> scaledFrameSize(std::int32_t width, std::int32_t height,
                                                      std::int16_t percent) {
    const double f = percent / 100.0;
    return {wf::toInt32(f * width), wf::toInt32(f * height)};
}

StrobeBuild::StrobeBuild(wf::FileServices& files, std::string folder)
    : m_files(files),
      m_folder(std::move(folder)),
      m_composed(kComposedSurfaceWidth, kComposedSurfaceHeight, kComposedBackColor) {}

BuildResult StrobeBuild::run(const FrameRange& range, StrobeBuildView* view,
                             const Progress& progress) {
    BuildResult result;
    m_cancelled = false;
    const std::string base = wf::baseStrobeImage(m_folder);
    try {
        const std::string first = wf::strobeFile(m_folder, wf::numberText(range.first));
        if (!m_files.fileExists(base)) {
            result.failure = wf::Failure{wf::FailureKind::BackgroundMissing, base, {}, {}};
            return result;
        }
        m_files.copyFile(base, first);
        result.written.push_back(first);
        const std::int32_t from = wf::toInt32(range.first + 1);
        const std::int64_t steps = intervalStepCount(from, wf::toInt32(range.last + 1), m_every);
        // The strobe file i holds the frames up to frame file from + (i - from) K.
        const std::int64_t last = from + steps - 1;
        // Frame i+1 does not depend on step i, so it is read and shrunk on a second thread while
        // step i composes and saves. Its errors surface in the step that needs it.
        auto shrunkFrame = [this, from](std::int64_t i) {
            const std::int64_t n = from + (i - from) * m_every;
            const engine::PackedImage frame = m_files.loadPicture(wf::frameFile(m_folder, n));
            const auto [w, h] = scaledFrameSize(frame.width, frame.height, kScalePercent);
            return engine::scaleImage(frame, w, h);
        };
        std::future<engine::PackedImage> next;
        if (from <= last) next = std::async(std::launch::async, shrunkFrame, std::int64_t{from});
        for (std::int64_t i = from; i <= last; ++i) {
            std::future<engine::PackedImage> current = std::move(next);
            if (i < last) next = std::async(std::launch::async, shrunkFrame, i + 1);
            step(static_cast<std::int32_t>(i), current, view, result);
            if (progress && !progress(Phase::Build, i - from + 1, steps)) m_cancelled = true;
            if (m_cancelled && i < last) {
                result.cancelled = true;
                return result;
            }
        }
        result.completed = true;
    } catch (const std::exception& error) {
        result.failure = wf::failureOf(error);
    }
    return result;
}

void StrobeBuild::step(std::int32_t i, std::future<engine::PackedImage>& shrunkFrame,
                       StrobeBuildView* view, BuildResult& result) {
    const engine::PackedImage a = m_files.loadPicture(wf::strobeFile(m_folder, i - 1));
    const engine::PackedImage b = shrunkFrame.get();

    const StepScope scope(view);
    engine::composeImagesFast(a, b, m_composed, a.width, a.height, m_operation);
    if (view) view->showComposed(m_composed);
    // What the window shows of C is exactly its top-left client area; save that directly.
    const std::string target = wf::strobeFile(m_folder, i);
    m_files.savePicture(cropTopLeft(m_composed, kStrobeWidth, kStrobeHeight), target);
    result.written.push_back(target);
    result.frameFiles.push_back(i);
}

FinishResult deleteFrameFiles(wf::FileServices& files, std::string_view folder,
                              std::int32_t frameCount) {
    FinishResult result;
    for (std::int64_t i = 1; i <= frameCount; ++i) {
        const std::string file = wf::frameFile(folder, i);
        if (!files.fileExists(file)) {
            ++result.missing;
            continue;
        }
        try {
            files.deleteFile(file);
            ++result.deleted;
        } catch (const wf::FailureError& error) {
            result.failures.push_back(error.failure());
        }
    }
    // The facts describe the frame files, and go with them.
    removeFrameFacts(frameFactsFile(folder));
    return result;
}

}  // namespace strobo::stages
