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
    engine::PackedImage out;
    out.width = std::min(width, image.width);
    out.height = std::min(height, image.height);
    // Row after row, without filling the picture first.
    out.pixels.reserve(static_cast<std::size_t>(out.width) * static_cast<std::size_t>(out.height));
    for (int y = 0; y < out.height; ++y) {
        out.pixels.insert(out.pixels.end(), image.row(y), image.row(y) + out.width);
    }
    return out;
}

// The video of B lies on B, so that its points can be composed on their own.
bool videoOnPicture(const ShrunkFrame& b) {
    if (!b.video) return false;
    const PictureArea& v = *b.video;
    return v.x >= 0 && v.y >= 0 && v.width >= 0 && v.height >= 0 &&
           std::int64_t{v.x} + v.width <= b.picture.width &&
           std::int64_t{v.y} + v.height <= b.picture.height;
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

namespace {

// The output pixels of a width x height picture shrunk to w x h that take from its video alone.
engine::OutputPart videoPart(std::int32_t width, std::int32_t height, std::int32_t w,
                             std::int32_t h, const PictureArea& v) {
    const auto [left, right] = engine::outputsFedOnlyBy(
        width, w, std::max(v.x, 0),
        static_cast<std::int32_t>(std::min<std::int64_t>(std::int64_t{v.x} + v.width, width)));
    const auto [top, bottom] = engine::outputsFedOnlyBy(
        height, h, std::max(v.y, 0),
        static_cast<std::int32_t>(std::min<std::int64_t>(std::int64_t{v.y} + v.height, height)));
    return {left, top, right, bottom};
}

PictureArea areaOf(const engine::OutputPart& part) {
    return PictureArea{part.left, part.top, part.right - part.left, part.bottom - part.top};
}

}  // namespace

ShrunkFrame shrinkFrame(const engine::PackedImage& frame,
                        const std::optional<PictureArea>& videoArea) {
    const auto [w, h] = scaledFrameSize(frame.width, frame.height, kScalePercent);
    if (!videoArea || w <= 0 || h <= 0 || frame.isNull()) {
        return ShrunkFrame{engine::scaleImage(frame, w, h), std::nullopt};
    }
    const engine::OutputPart part = videoPart(frame.width, frame.height, w, h, *videoArea);
    // Every reader of a shrunk frame with a known video looks at the video alone, so the pixels
    // beside it are not worth resampling.
    return ShrunkFrame{engine::scaleImagePart(frame, w, h, part), areaOf(part)};
}

bool shrinkVideoOfPicture(const engine::PackedImage& video, std::int32_t pictureWidth,
                          std::int32_t pictureHeight, const PictureArea& videoArea,
                          ShrunkFrame& into) {
    const auto [w, h] = scaledFrameSize(pictureWidth, pictureHeight, kScalePercent);
    if (w <= 0 || h <= 0 || video.isNull()) return false;
    const engine::OutputPart part = videoPart(pictureWidth, pictureHeight, w, h, videoArea);
    const PictureArea shrunkVideo = areaOf(part);
    // The last frame's picture is black beside the same video: only the video is made again.
    const bool reuse = into.picture.width == w && into.picture.height == h &&
                       into.video == std::optional<PictureArea>(shrunkVideo);
    engine::PackedImage fresh;
    engine::PackedImage& picture = reuse ? into.picture : (fresh = engine::PackedImage(w, h, 0));
    if (!engine::scaleWindowPartInto(video, videoArea.x, videoArea.y, pictureWidth, pictureHeight,
                                     part, picture)) {
        return false;
    }
    if (!reuse) into = ShrunkFrame{std::move(fresh), shrunkVideo};
    return true;
}

StrobeComposer::StrobeComposer()
    : m_composed(kComposedSurfaceWidth, kComposedSurfaceHeight, kComposedBackColor) {}

bool StrobeComposer::composeVideo(const engine::PackedImage& a, const ShrunkFrame& b,
                                  engine::PackedImage* into) {
    if (!videoOnPicture(b)) return false;
    // As compose's whole-picture way, but only the video's points are combined: every point
    // beside it is A's.
    engine::compositionBufferBound(a.width, a.height);
    const PictureArea& v = *b.video;
    const int width = std::min(a.width, m_composed.width);
    const int left = std::clamp(v.x, 0, std::max(width, 0));
    const int right = std::clamp(v.x + v.width, left, std::max(width, 0));
    for (int y = 0; y < std::min(a.height, m_composed.height) && width > 0; ++y) {
        const engine::PackedColor* from = a.row(y);
        engine::PackedColor* to = m_composed.row(y);
        if (v.isEmpty() || y < v.y || y >= v.y + v.height) {
            std::copy_n(from, width, to);
            continue;
        }
        std::copy_n(from, left, to);
        engine::composeRunFast(from + left, b.picture.row(y) + left, to + left, right - left,
                               m_operation);
        std::copy(from + right, from + width, to + right);
        if (into) std::copy(to + left, to + right, into->row(y) + left);
    }
    return true;
}

void StrobeComposer::composeInPlace(engine::PackedImage& picture, const ShrunkFrame& b) {
    // A of the strobe picture's own size is C's top-left but for the video: only that changes.
    const bool cropSize = picture.width == std::min(kStrobeWidth, m_composed.width) &&
                          picture.height == std::min(kStrobeHeight, m_composed.height);
    if (cropSize && composeVideo(picture, b, &picture)) return;
    picture = compose(picture, b);
}

engine::PackedImage StrobeComposer::compose(const engine::PackedImage& a, const ShrunkFrame& b) {
    if (composeVideo(a, b, nullptr)) return cropTopLeft(m_composed, kStrobeWidth, kStrobeHeight);
    engine::composeImagesFast(a, b.picture, m_composed, a.width, a.height, m_operation);
    if (b.video) {
        // Every pixel is composed on its own, so putting A back beside the video afterwards is
        // the same as composing the video's pixels alone.
        const PictureArea& v = *b.video;
        const int width = std::min(a.width, m_composed.width);
        const int left = std::clamp(v.x, 0, width);
        const int right = std::clamp(v.x + v.width, left, width);
        for (int y = 0; y < std::min(a.height, m_composed.height); ++y) {
            const engine::PackedColor* from = a.row(y);
            engine::PackedColor* to = m_composed.row(y);
            if (v.isEmpty() || y < v.y || y >= v.y + v.height) {
                std::copy_n(from, width, to);
                continue;
            }
            std::copy_n(from, left, to);
            std::copy(from + right, from + width, to + right);
        }
    }
    return cropTopLeft(m_composed, kStrobeWidth, kStrobeHeight);
}

StrobeBuild::StrobeBuild(wf::FileServices& files, std::string folder)
    : m_files(files), m_folder(std::move(folder)) {}

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
        const auto frameFileOfStep = [this, from](std::int64_t i) {
            return from + (i - from) * m_every;
        };
        // Frame files written by other means have no facts, and are composed whole.
        std::optional<PictureArea> videoArea;
        if (const auto facts = readFrameFacts(m_folder)) videoArea = facts->videoArea;
        // Frame i+1 does not depend on step i, so it is read and shrunk on a second thread while
        // step i composes and saves. Its errors surface in the step that needs it.
        auto shrunkFrame = [this, videoArea, frameFileOfStep](std::int64_t i) {
            return shrinkFrame(m_files.loadPicture(wf::frameFile(m_folder, frameFileOfStep(i))),
                               videoArea);
        };
        std::future<ShrunkFrame> next;
        if (from <= last) next = std::async(std::launch::async, shrunkFrame, std::int64_t{from});
        for (std::int64_t i = from; i <= last; ++i) {
            std::future<ShrunkFrame> current = std::move(next);
            if (i < last) next = std::async(std::launch::async, shrunkFrame, i + 1);
            step(static_cast<std::int32_t>(i), current, view, result);
            result.frameFiles.push_back(frameFileOfStep(i));
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

void StrobeBuild::step(std::int32_t i, std::future<ShrunkFrame>& shrunkFrame, StrobeBuildView* view,
                       BuildResult& result) {
    const engine::PackedImage a = m_files.loadPicture(wf::strobeFile(m_folder, i - 1));
    const ShrunkFrame b = shrunkFrame.get();

    const StepScope scope(view);
    // What the window shows of C is exactly its top-left client area; save that directly.
    const engine::PackedImage picture = m_composer.compose(a, b);
    if (view) view->showComposed(m_composer.composed());
    const std::string target = wf::strobeFile(m_folder, i);
    m_files.savePicture(picture, target);
    result.written.push_back(target);
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
