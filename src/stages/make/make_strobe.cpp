#include "stages/make/make_strobe.h"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <system_error>

#include "engine/fast_composition.h"
#include "engine/scaling.h"
#include "stages/background/base_images.h"
#include "stages/clip_reading.h"
#include "stages/composition/frame_interval.h"
#include "stages/composition/strobe_build.h"
#include "stages/extraction/playback_picture.h"
#include "stages/make/median_background.h"
#include "stages/make/saved_series.h"
#include "stages/make/worker_thread.h"
#include "workfolder/file_names.h"
#include "workfolder/file_services.h"
#include "workfolder/media/media_error.h"
#include "workfolder/media/media_player.h"
#include "workfolder/media/video_decoder.h"
#include "workfolder/utf8_path.h"

namespace strobo::stages {

using workfolder::u8path;
using workfolder::utf8;

namespace fs = std::filesystem;
namespace wf = workfolder;
namespace media = workfolder::media;
using wf::Failure;
using wf::FailureError;
using wf::FailureKind;

namespace {

[[noreturn]] void fail(FailureKind kind, const std::string& file, std::string detail = {},
                       std::string osReason = {}) {
    throw FailureError(Failure{kind, file, std::move(detail), std::move(osReason)});
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

media::VideoDecoder openClip(const MakeRequest& request, media::DecoderOptions options = {}) {
    options.stopRequested = request.stopRequested;
    return openStageClip(request.clip, std::move(options));
}

// The decoder as the extraction's media player reads the clip: upright, fitted to 640 x 480 up
// or down, so that a frame painted into the playback picture is the frame file's very picture.
media::DecoderOptions playerDecoderOptions() {
    media::DecoderOptions options;
    options.maxWidth = media::MediaPlayer::kMaxFrameWidth;
    options.maxHeight = media::MediaPlayer::kMaxFrameHeight;
    options.enlargeToFit = true;
    return options;
}

// Frame file n of an extraction of the clip, made without the file: the player's frame painted
// into the headless playback picture.
engine::PackedImage frameFilePicture(const engine::PackedImage& frame) {
    return paintPlaybackPicture(frame, true, kHeadlessPlaybackBackColor);
}

// Frame file n of an extraction of the clip, made without the file and shrunk as the build
// shrinks it.
ShrunkFrameSource clipFrameSource(media::VideoDecoder& decoder, const PictureArea& videoArea) {
    return [&decoder, videoArea](std::int64_t n) {
        return shrinkFrame(frameFilePicture(decodeStageFrame(
                               decoder, clipIndexOfFrameFile(n, decoder.frameCount()))),
                           videoArea);
    };
}

// A frame the window road composes. When the caller hears the frames used, it hears this one at
// the clip's full size, converted from the same decoded picture.
engine::PackedImage windowFrameUsed(const MakeRequest& request, media::VideoDecoder& decoder,
                                    std::int64_t index) {
    if (!request.frameUsed) return decodeStageFrame(decoder, index);
    engine::PackedImage fullSize;
    engine::PackedImage frame = decodeStageFrame(decoder, index, fullSize);
    request.frameUsed(index, decoder.frameTime(index), std::move(fullSize));
    return frame;
}

engine::PackedImage clipMedianBackground(const MakeRequest& request, const Progress& progress) {
    media::VideoDecoder decoder = openClip(request);
    const std::vector<std::int64_t> samples = evenlySpacedIndexes(
        decoder.frameCount(), medianSampleLimit(decoder.outputWidth(), decoder.outputHeight()));
    MedianAccumulator median(decoder.outputWidth(), decoder.outputHeight(),
                             static_cast<int>(samples.size()));
    const auto total = static_cast<std::int64_t>(samples.size());
    for (const std::int64_t index : samples) {
        median.add(decodeStageFrame(decoder, index));
        reportOrStop(progress, Phase::Median, median.count(), total);
    }
    return median.median();
}

// The windows' road (extraction, strobe build, save) without its files: each frame the range
// uses is decoded as the extraction's player shows it, painted into the playback picture as its
// frame file would hold it, and composed by the build's own step; only the saved pictures reach
// the disk. Decoding starts at the keyframe before the first frame and stops after the last.
void makeInWindowSize(const MakeRequest& request, const Progress& progress, MakeResult& result) {
    requireClipFile(request.clip);
    wf::FileServices files;

    // The background first, so that a bad one is found before the clip is read.
    engine::PackedImage base;
    if (request.background == BackgroundKind::File) {
        base = files.loadPicture(request.backgroundFile);
    } else if (request.background == BackgroundKind::Black) {
        base = engine::PackedImage(kStrobeWidth, kStrobeHeight, 0);
    }

    media::DecoderOptions options = playerDecoderOptions();
    options.fullSizeToo = static_cast<bool>(request.frameUsed);
    media::VideoDecoder decoder = openClip(request, std::move(options));
    result.frameCount = decoder.frameCount();
    requireRangeFits(request, result.frameCount);
    const PictureArea videoArea =
        playbackVideoArea(0, 0, decoder.outputWidth(), decoder.outputHeight());
    if (request.background == BackgroundKind::Median) {
        base =
            windowMedianBackground(clipFrameSource(decoder, videoArea), result.frameCount, progress)
                .value_or(engine::PackedImage());
        if (base.isNull()) throw StopRequested{};
    }

    result.operation = request.operation;
    if (request.chooseOperation) {
        const OperationChoice choice =
            stages::chooseOperation(base, clipFrameSource(decoder, videoArea), request.first + 1,
                                    usedFrameCount(request), request.every);
        if (choice.failure) throw FailureError(*choice.failure);
        result.operation = choice.operation;
        result.tone = choice.tone;
    }

    SavedSeries series(files, wf::savePrefix(request.output));
    StrobeComposer composer;
    composer.setOperation(result.operation);
    engine::PackedImage built = std::move(base);
    // Painting, shrinking and composing run beside the decoder, and writing beside them.
    WorkerThread worker([&](engine::PackedImage frame) {
        built = composer.compose(built, shrinkFrame(frameFilePicture(frame), videoArea));
        series.add(built);
    });
    const std::int64_t used = usedFrameCount(request);
    for (std::int64_t j = 0; j < used; ++j) {
        const std::int64_t n = request.first + 1 + j * request.every;
        worker.add(windowFrameUsed(request, decoder, clipIndexOfFrameFile(n, result.frameCount)));
        reportOrStop(progress, Phase::Make, j + 1, used);
    }
    worker.finish();
    result.saved = series.commit();
}

void makeInNativeSize(const MakeRequest& request, const Progress& progress, MakeResult& result) {
    requireClipFile(request.clip);
    media::VideoDecoder decoder = openClip(request);
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
            composed = clipMedianBackground(request, progress);
            break;
    }

    if (request.backgroundUsed) request.backgroundUsed(composed);

    const std::int64_t used = usedFrameCount(request);
    result.operation = request.operation;
    if (request.chooseOperation) {
        ToneVote vote(composed);
        for (const std::int64_t j : evenlySpacedIndexes(used, kMaxToneSamples)) {
            const std::int64_t n = request.first + 1 + j * request.every;
            vote.add(decodeStageFrame(decoder, clipIndexOfFrameFile(n, result.frameCount)));
        }
        result.operation = vote.operation();
        result.tone = vote.tone();
    }
    // Only the last picture, under a name of its own: written once it holds every frame.
    const bool finalOnly = !request.finalPicture.empty();
    std::optional<SavedSeries> series;
    if (!finalOnly) series.emplace(files, wf::savePrefix(request.output));
    std::int64_t k = 0;
    for (std::int64_t n = request.first + 1; n <= request.last + 1; n += request.every) {
        const std::int64_t index = clipIndexOfFrameFile(n, result.frameCount);
        const engine::PackedImage frame = decodeStageFrame(decoder, index);
        if (request.frameUsed) request.frameUsed(index, decoder.frameTime(index), frame);
        engine::composeImagesFast(composed, frame, composed, width, height, result.operation);
        if (series) series->add(composed);
        reportOrStop(progress, Phase::Make, ++k, used);
    }
    if (finalOnly) {
        files.savePicture(composed, request.finalPicture);
        result.saved = {request.finalPicture};
    } else {
        result.saved = series->commit();
    }
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
