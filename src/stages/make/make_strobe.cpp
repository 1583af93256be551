#include "stages/make/make_strobe.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "engine/fast_composition.h"
#include "engine/scaling.h"
#include "stages/composition/strobe_build.h"
#include "stages/extraction/media_playback.h"
#include "stages/make/median_background.h"
#include "stages/make/scratch_folder.h"
#include "stages/output/save_series.h"
#include "workfolder/background_saver.h"
#include "workfolder/file_names.h"
#include "workfolder/file_services.h"
#include "workfolder/media/media_error.h"
#include "workfolder/media/video_decoder.h"

namespace strobo::stages {

namespace fs = std::filesystem;
namespace wf = workfolder;
namespace media = workfolder::media;
using wf::Failure;
using wf::FailureError;
using wf::FailureKind;

namespace {

// Thrown when the progress asks to stop, so that every scope unwinds and the private work folder
// goes.
struct StopRequested {};

fs::path u8path(const std::string& utf8) {
    return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

[[noreturn]] void fail(FailureKind kind, const std::string& file, std::string detail = {},
                       std::string osReason = {}) {
    throw FailureError(Failure{kind, file, std::move(detail), std::move(osReason)});
}

// Tells the progress and stops the road when it asks to.
void report(const Progress& progress, Phase phase, std::int64_t done, std::int64_t total) {
    if (progress && !progress(phase, done, total)) throw StopRequested{};
}

// Only whether it is there: a folder, a pipe or a device is told apart by the media layer.
void requireClipFile(const std::string& clip) {
    std::error_code ec;
    if (!fs::exists(u8path(clip), ec)) {
        fail(FailureKind::ClipNotOpened, clip,
             media::MediaError(media::MediaErrorKind::NotFound, clip).what());
    }
}

// Frame file n shows the clip's frame n (counted from 0), the last frame standing in for the
// position one past it: the playback seeks to 1..N and never shows frame 0.
std::int64_t clipIndexOfFrameFile(std::int64_t n, std::int64_t frameCount) {
    return std::min(n, frameCount - 1);
}

void requireRangeFits(const MakeRequest& request, std::int64_t frameCount) {
    if (request.first > request.last || request.last + 1 > frameCount) {
        fail(FailureKind::RangeOutsideClip, request.clip, std::to_string(frameCount));
    }
}

media::VideoDecoder openClip(const std::string& clip) {
    try {
        return media::VideoDecoder(clip);
    } catch (const media::MediaError& error) {
        fail(FailureKind::ClipUnreadable, clip, error.what());
    }
}

engine::PackedImage decodeFrame(media::VideoDecoder& decoder, std::int64_t index) {
    try {
        return decoder.frame(index);
    } catch (const media::MediaError& error) {
        fail(FailureKind::ClipUnreadable, decoder.path(), error.what());
    }
}

// The median of frame files of the work folder, each shrunk as the build shrinks it, laid on
// a black picture of the strobe size: the background the windows would compose onto.
engine::PackedImage windowMedianBackground(wf::FileServices& files, const std::string& folder,
                                           std::int64_t frameCount, const Progress& progress) {
    const auto shrunkFrameFile = [&](std::int64_t n) {
        const engine::PackedImage frame = files.loadPicture(wf::frameFile(folder, n));
        const auto [w, h] = scaledFrameSize(frame.width, frame.height, kScalePercent);
        return engine::scaleImage(frame, w, h);
    };
    const engine::PackedImage first = shrunkFrameFile(1);
    const std::vector<std::int64_t> samples =
        evenlySpacedIndexes(frameCount, medianSampleLimit(first.width, first.height));
    MedianAccumulator median(first.width, first.height, static_cast<int>(samples.size()));
    const auto total = static_cast<std::int64_t>(samples.size());
    for (const std::int64_t index : samples) {
        const engine::PackedImage shrunk = index == 0 ? first : shrunkFrameFile(index + 1);
        if (shrunk.width != first.width || shrunk.height != first.height) {
            fail(FailureKind::FrameSizesDiffer, wf::frameFile(folder, index + 1));
        }
        median.add(shrunk);
        report(progress, Phase::Median, median.count(), total);
    }
    const engine::PackedImage middle = median.median();
    engine::PackedImage background(kStrobeWidth, kStrobeHeight, 0);
    for (int y = 0; y < std::min(middle.height, background.height); ++y) {
        std::copy_n(middle.row(y), std::min(middle.width, background.width), background.row(y));
    }
    return background;
}

engine::PackedImage clipMedianBackground(const std::string& clip, const Progress& progress) {
    media::VideoDecoder decoder = openClip(clip);
    const std::vector<std::int64_t> samples = evenlySpacedIndexes(
        decoder.frameCount(), medianSampleLimit(decoder.outputWidth(), decoder.outputHeight()));
    MedianAccumulator median(decoder.outputWidth(), decoder.outputHeight(),
                             static_cast<int>(samples.size()));
    const auto total = static_cast<std::int64_t>(samples.size());
    for (const std::int64_t index : samples) {
        median.add(decodeFrame(decoder, index));
        report(progress, Phase::Median, median.count(), total);
    }
    return median.median();
}

// Leaves frame files first+1, first+2, ... holding every K-th frame of the range, so the build
// runs over them as over a plain range. Each target number is at most its source number and
// targets are filled in rising order, so no source is overwritten before it is moved.
std::int64_t keepEveryKthFrame(const std::string& folder, const MakeRequest& request) {
    const std::int64_t used = usedFrameCount(request);
    for (std::int64_t j = 0; j < used; ++j) {
        const std::int64_t source = request.first + 1 + j * request.every;
        const std::int64_t target = request.first + 1 + j;
        if (source == target) continue;
        std::error_code ec;
        fs::rename(u8path(wf::frameFile(folder, source)), u8path(wf::frameFile(folder, target)),
                   ec);
        if (ec)
            fail(FailureKind::FramesNotArranged, wf::frameFile(folder, source), {}, ec.message());
    }
    return request.first + used - 1;
}

void makeInWindowSize(const MakeRequest& request, const Progress& progress, MakeResult& result) {
    requireClipFile(request.clip);
    ScratchFolder scratch;
    const std::string& folder = scratch.path();
    wf::FileServices files;

    // The background first, so that a bad one is found before the long extraction.
    const std::string base = wf::baseStrobeImage(folder);
    if (request.background == BackgroundKind::File) {
        files.loadPicture(request.backgroundFile);
        files.copyFile(request.backgroundFile, base);
    } else if (request.background == BackgroundKind::Black) {
        files.savePicture(engine::PackedImage(kStrobeWidth, kStrobeHeight, 0), base);
    }

    const ExtractionResult extraction = extractClip(request.clip, folder, files, progress);
    if (extraction.stopped) throw StopRequested{};
    if (!extraction.completed) {
        throw FailureError(
            extraction.failure.value_or(Failure{FailureKind::ClipNotOpened, request.clip, {}, {}}));
    }
    result.frameCount = extraction.frameCount;
    requireRangeFits(request, result.frameCount);

    if (request.background == BackgroundKind::Median) {
        files.savePicture(windowMedianBackground(files, folder, result.frameCount, progress), base);
    }

    const FrameRange range{static_cast<double>(request.first),
                           static_cast<double>(keepEveryKthFrame(folder, request))};
    StrobeBuild build(files, folder);
    build.setOperation(request.operation);
    const BuildResult built = build.run(range, nullptr, progress);
    if (built.cancelled) throw StopRequested{};
    if (built.failure) throw FailureError(*built.failure);

    SaveResult saved = saveSeries(files, folder, range, wf::savePrefix(request.output));
    if (saved.failure) throw FailureError(*saved.failure);
    result.saved = std::move(saved.saved);
}

void makeInNativeSize(const MakeRequest& request, const Progress& progress, MakeResult& result) {
    requireClipFile(request.clip);
    media::VideoDecoder decoder = openClip(request.clip);
    result.frameCount = decoder.frameCount();
    requireRangeFits(request, result.frameCount);
    const int width = decoder.outputWidth();
    const int height = decoder.outputHeight();

    wf::FileServices files;
    engine::PackedImage composed;
    switch (request.background) {
        case BackgroundKind::Black:
            composed = engine::PackedImage(width, height, 0);
            break;
        case BackgroundKind::File: {
            const engine::PackedImage picture = files.loadPicture(request.backgroundFile);
            composed = picture.width == width && picture.height == height
                           ? picture
                           : engine::scaleImage(picture, width, height);
            break;
        }
        case BackgroundKind::Median:
            composed = clipMedianBackground(request.clip, progress);
            break;
    }

    const std::string prefix = wf::savePrefix(request.output);
    const std::int64_t used = usedFrameCount(request);
    wf::BackgroundSaver writer(files);
    std::int64_t k = 0;
    for (std::int64_t n = request.first + 1; n <= request.last + 1; n += request.every) {
        const engine::PackedImage frame =
            decodeFrame(decoder, clipIndexOfFrameFile(n, result.frameCount));
        engine::composeImagesFast(composed, frame, composed, width, height, request.operation);
        const std::string target = wf::savedPicture(prefix, static_cast<double>(++k));
        writer.save(composed, target);
        result.saved.push_back(target);
        report(progress, Phase::Make, k, used);
    }
    writer.finish();
}

}  // namespace

std::int64_t usedFrameCount(const MakeRequest& request) {
    return (request.last - request.first) / request.every + 1;
}

MakeResult makeStrobe(const MakeRequest& request, const Progress& progress) {
    MakeResult result;
    try {
        if (request.size == FrameSize::Native) {
            makeInNativeSize(request, progress, result);
        } else {
            makeInWindowSize(request, progress, result);
        }
    } catch (const StopRequested&) {
        result.stopped = true;
        result.saved.clear();
    } catch (const std::exception& error) {
        result.failure = wf::failureOf(error);
        result.saved.clear();
    }
    return result;
}

}  // namespace strobo::stages
