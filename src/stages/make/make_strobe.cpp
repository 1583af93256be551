#include "stages/make/make_strobe.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "engine/fast_composition.h"
#include "engine/scaling.h"
#include "stages/background/base_images.h"
#include "stages/composition/frame_interval.h"
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

void requireClipFile(const std::string& clip) {
    std::error_code ec;
    if (!fs::is_regular_file(u8path(clip), ec)) {
        fail(FailureKind::ClipNotOpened, clip, "動画ファイルがありません");
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
        const auto median = windowMedianBackground(files, folder, result.frameCount, progress);
        if (!median) throw StopRequested{};
        files.savePicture(*median, base);
    }

    const FrameRange range{static_cast<double>(request.first), static_cast<double>(request.last)};
    result.operation = request.operation;
    if (request.chooseOperation) {
        const OperationChoice choice = stages::chooseOperation(files, folder, range, request.every);
        if (choice.failure) throw FailureError(*choice.failure);
        result.operation = choice.operation;
        result.tone = choice.tone;
    }
    StrobeBuild build(files, folder);
    build.setOperation(result.operation);
    build.setEvery(request.every);
    const BuildResult built = build.run(range, nullptr, progress);
    if (built.cancelled) throw StopRequested{};
    if (built.failure) throw FailureError(*built.failure);

    SaveResult saved = saveSeries(files, folder, seriesRange(range, request.every),
                                  wf::savePrefix(request.output));
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

    if (request.backgroundUsed) request.backgroundUsed(composed);

    const std::string prefix = wf::savePrefix(request.output);
    const std::int64_t used = usedFrameCount(request);
    result.operation = request.operation;
    if (request.chooseOperation) {
        ToneVote vote(composed);
        for (const std::int64_t j : evenlySpacedIndexes(used, kMaxToneSamples)) {
            const std::int64_t n = request.first + 1 + j * request.every;
            vote.add(decodeFrame(decoder, clipIndexOfFrameFile(n, result.frameCount)));
        }
        result.operation = vote.operation();
        result.tone = vote.tone();
    }
    wf::BackgroundSaver writer(files);
    std::int64_t k = 0;
    for (std::int64_t n = request.first + 1; n <= request.last + 1; n += request.every) {
        const std::int64_t index = clipIndexOfFrameFile(n, result.frameCount);
        const engine::PackedImage frame = decodeFrame(decoder, index);
        if (request.frameUsed) request.frameUsed(index, decoder.frameTime(index), frame);
        engine::composeImagesFast(composed, frame, composed, width, height, result.operation);
        ++k;
        const bool wanted = request.finalPicture.empty() || k == used;
        const std::string target = request.finalPicture.empty()
                                       ? wf::savedPicture(prefix, static_cast<double>(k))
                                       : request.finalPicture;
        if (wanted) {
            writer.save(composed, target);
            result.saved.push_back(target);
        }
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
