#include "stages/make/make_strobe.h"

#include <algorithm>
#include <deque>
#include <filesystem>
#include <optional>
#include <system_error>
#include <utility>
#include <vector>

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

// Frame file n shows clip frame min(n, N - 1), so a range reads no further than frame last + 1:
// a decoder that has placed last + 2 frames, or the clip's every frame, places the range as one
// that read the whole clip.
std::int64_t framesTheRangeNeeds(const MakeRequest& request) {
    return request.last + 2;
}

void requireRangeFits(const MakeRequest& request, std::int64_t frameCount) {
    if (request.first > request.last || request.last + 1 > frameCount) {
        fail(FailureKind::RangeOutsideClip, request.clip, std::to_string(frameCount));
    }
}

media::VideoDecoder openClip(const MakeRequest& request, media::DecoderOptions options = {}) {
    options.stopRequested = request.stopRequested;
    options.threads = request.decoderThreads;
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

// Makes `into` the player's frame painted into the playback picture and shrunk as the build
// shrinks a frame file: straight from the frame, unpainted, whenever the video's pixels allow.
void shrinkFrameFile(const engine::PackedImage& frame, const PictureArea& videoArea,
                     ShrunkFrame& into) {
    if (videoArea.width <= frame.width && videoArea.height <= frame.height &&
        shrinkVideoOfPicture(frame, kPlaybackWidth, kPlaybackHeight, videoArea, into)) {
        return;
    }
    into = shrinkFrame(frameFilePicture(frame), videoArea);
}

// Frame file n of an extraction of the clip, made without the file and shrunk as the build
// shrinks it.
ShrunkFrameSource clipFrameSource(media::VideoDecoder& decoder, const PictureArea& videoArea) {
    return [&decoder, videoArea](std::int64_t n) {
        ShrunkFrame shrunk;
        shrinkFrameFile(decodeStageFrame(decoder, clipIndexOfFrameFile(n, decoder.frameCount())),
                        videoArea, shrunk);
        return shrunk;
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
    return clipMedian(decoder, progress);
}

// The pictures of one operation as a pass composes them.
struct Candidate {
    explicit Candidate(engine::CompositionOperation op) : operation(op) {
        composer.setOperation(op);
    }
    engine::CompositionOperation operation;
    // The latest picture; the base before the first frame.
    engine::PackedImage picture;
    // The window road's C, which persists from step to step.
    StrobeComposer composer;
    // The pending files; none when only the last picture is wanted.
    std::optional<SavedSeries> series;
    // Given up after a picture could not be written.
    bool dropped = false;
};

// The series of one make, composed with one operation or, while the road still chooses, with
// both the whole-colour maximum and minimum side by side: the choice then needs no pass of its
// own, as its samples are frames the pass decodes anyway. The winner's pending pictures are
// committed and the loser's thrown away, so the disk briefly holds both. A picture of either
// that cannot be written (a disk too full for both) gives that candidate up and frees its files
// rather than failing the make: if it wins after all, it is composed again alone.
class CandidateSeries {
  public:
    // prefix empty: only the last picture is kept, and no file is written.
    CandidateSeries(wf::FileServices& files, const std::string& prefix,
                    const engine::PackedImage& base,
                    const std::vector<engine::CompositionOperation>& operations) {
        for (const engine::CompositionOperation operation : operations) {
            Candidate& candidate = m_candidates.emplace_back(operation);
            candidate.picture = base;
            if (!prefix.empty()) candidate.series.emplace(files, prefix);
        }
    }

    // compose(candidate) turns the candidate's picture into the next one.
    template <typename Compose>
    void add(const Compose& compose) {
        for (Candidate& candidate : m_candidates) {
            if (candidate.dropped) continue;
            compose(candidate);
            if (!candidate.series) continue;
            if (m_candidates.size() == 1) {
                candidate.series->add(candidate.picture);
                continue;
            }
            try {
                candidate.series->add(candidate.picture);
            } catch (const FailureError&) {
                drop(candidate);
            }
        }
    }

    // The last picture composed with the operation; null when it was not composed.
    const engine::PackedImage* lastPicture(engine::CompositionOperation operation) const {
        const Candidate* candidate = find(operation);
        return candidate && !candidate->dropped ? &candidate->picture : nullptr;
    }

    // Throws away every other candidate and gives the winner's pictures their names: nullopt
    // when the winner was given up and must be composed again alone.
    std::optional<std::vector<std::string>> commit(engine::CompositionOperation winner) {
        for (Candidate& candidate : m_candidates) {
            if (candidate.operation != winner) drop(candidate);
        }
        Candidate* chosen = find(winner);
        if (!chosen || chosen->dropped) return std::nullopt;
        if (!chosen->series) return std::vector<std::string>{};
        if (m_candidates.size() > 1) {
            try {
                chosen->series->finishWriting();
            } catch (const FailureError&) {
                drop(*chosen);
                return std::nullopt;
            }
        }
        return chosen->series->commit();
    }

  private:
    static void drop(Candidate& candidate) {
        candidate.dropped = true;
        // Its pending files go at once, making room for the other's.
        candidate.series.reset();
        candidate.picture = engine::PackedImage();
    }
    Candidate* find(engine::CompositionOperation operation) {
        return const_cast<Candidate*>(std::as_const(*this).find(operation));
    }
    const Candidate* find(engine::CompositionOperation operation) const {
        for (const Candidate& candidate : m_candidates) {
            if (candidate.operation == operation) return &candidate;
        }
        return nullptr;
    }

    std::deque<Candidate> m_candidates;
};

// The vote of a choosing road, which hears the pass's sample frames in order.
class SampledVote {
  public:
    SampledVote(const engine::PackedImage& background, std::int64_t used)
        : m_vote(background), m_samples(evenlySpacedIndexes(used, kMaxToneSamples)) {}

    // Frame j (0, 1, ... of the used ones) of the pass.
    template <typename Frame>
    void offer(std::int64_t j, const Frame& frame) {
        if (m_next < m_samples.size() && m_samples[m_next] == j) {
            m_vote.add(frame);
            ++m_next;
        }
    }
    const ToneVote& vote() const { return m_vote; }

  private:
    ToneVote m_vote;
    std::vector<std::int64_t> m_samples;
    std::size_t m_next = 0;
};

// The operations a first pass composes with: the request's, or every one the vote may give.
std::vector<engine::CompositionOperation> firstPassOperations(
    const MakeRequest& request, const std::optional<SampledVote>& vote) {
    if (!vote) return {request.operation};
    if (!vote->vote().canFindDarker()) return {operationFor(ObjectTone::Brighter)};
    return {operationFor(ObjectTone::Brighter), operationFor(ObjectTone::Darker)};
}

// Settles the road's operation: the vote's when it chose.
void settleOperation(const MakeRequest& request, const std::optional<SampledVote>& vote,
                     MakeResult& result) {
    result.operation = request.operation;
    if (!vote) return;
    result.operation = vote->vote().operation();
    result.tone = vote->vote().tone();
}

// One pass of the windows' road over the range's frames into the series; the request's hook
// hears the frames only when `tell` is set.
void composeInWindowSize(const MakeRequest& request, media::VideoDecoder& decoder,
                         const PictureArea& videoArea, CandidateSeries& series,
                         std::optional<SampledVote>& vote, bool tell, const Progress& progress) {
    std::int64_t shrunkCount = 0;
    // Painting, shrinking and composing run beside the decoder, and writing beside them.
    // Kept from frame to frame, so that only its video is made again.
    ShrunkFrame shrunk;
    WorkerThread worker([&](engine::PackedImage frame) {
        shrinkFrameFile(frame, videoArea, shrunk);
        if (vote) vote->offer(shrunkCount, shrunk);
        ++shrunkCount;
        series.add([&shrunk](Candidate& candidate) {
            candidate.composer.composeInPlace(candidate.picture, shrunk);
        });
    });
    const std::int64_t used = usedFrameCount(request);
    for (std::int64_t j = 0; j < used; ++j) {
        const std::int64_t n = request.first + 1 + j * request.every;
        const std::int64_t index = clipIndexOfFrameFile(n, decoder.frameCount());
        worker.add(tell ? windowFrameUsed(request, decoder, index)
                        : decodeStageFrame(decoder, index));
        reportOrStop(progress, Phase::Make, j + 1, used);
    }
    worker.finish();
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
    // The median is sampled over the whole clip; otherwise its end is never needed.
    if (request.background != BackgroundKind::Median) {
        options.framesWanted = framesTheRangeNeeds(request);
    }
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

    const std::string prefix = wf::savePrefix(request.output);
    std::optional<SampledVote> vote;
    if (request.chooseOperation) vote.emplace(base, usedFrameCount(request));
    CandidateSeries series(files, prefix, base, firstPassOperations(request, vote));
    composeInWindowSize(request, decoder, videoArea, series, vote, true, progress);
    settleOperation(request, vote, result);
    if (auto saved = series.commit(result.operation)) {
        result.saved = std::move(*saved);
        return;
    }
    std::optional<SampledVote> decided;
    CandidateSeries alone(files, prefix, base, {result.operation});
    composeInWindowSize(request, decoder, videoArea, alone, decided, false, progress);
    result.saved = alone.commit(result.operation).value();
}

// One pass of the native road over the range's frames into the series; the request's hooks hear
// the frames only when `tell` is set.
void composeInNativeSize(const MakeRequest& request, media::VideoDecoder& decoder,
                         CandidateSeries& series, std::optional<SampledVote>& vote, bool tell,
                         const Progress& progress) {
    const int width = decoder.outputWidth();
    const int height = decoder.outputHeight();
    const std::int64_t used = usedFrameCount(request);
    for (std::int64_t j = 0; j < used; ++j) {
        const std::int64_t n = request.first + 1 + j * request.every;
        const std::int64_t index = clipIndexOfFrameFile(n, decoder.frameCount());
        const engine::PackedImage frame = decodeStageFrame(decoder, index);
        if (tell && request.frameUsed) request.frameUsed(index, decoder.frameTime(index), frame);
        if (vote) vote->offer(j, frame);
        series.add([&](Candidate& candidate) {
            engine::composeImagesFast(candidate.picture, frame, candidate.picture, width, height,
                                      candidate.operation);
        });
        reportOrStop(progress, Phase::Make, j + 1, used);
    }
}

void makeInNativeSize(const MakeRequest& request, const Progress& progress, MakeResult& result) {
    requireClipFile(request.clip);
    // The median, when asked for, is read by a decoder of its own.
    media::DecoderOptions options;
    options.framesWanted = framesTheRangeNeeds(request);
    media::VideoDecoder decoder = openClip(request, std::move(options));
    result.frameCount = decoder.frameCount();
    requireRangeFits(request, result.frameCount);
    const int width = decoder.outputWidth();
    const int height = decoder.outputHeight();

    wf::FileServices files;
    engine::PackedImage base;
    switch (request.background) {
        case BackgroundKind::Black:
            base = engine::PackedImage(width, height, 0);
            break;
        case BackgroundKind::File: {
            const engine::PackedImage picture = files.loadPicture(request.backgroundFile);
            base = picture.width == width && picture.height == height
                       ? picture
                       : engine::scaleImage(picture, width, height);
            break;
        }
        case BackgroundKind::Median:
            base = clipMedianBackground(request, progress);
            break;
    }

    if (request.backgroundUsed) request.backgroundUsed(base);

    // Only the last picture, under a name of its own: written once it holds every frame.
    const bool finalOnly = !request.finalPicture.empty();
    const std::string prefix = finalOnly ? std::string() : wf::savePrefix(request.output);
    std::optional<SampledVote> vote;
    if (request.chooseOperation) vote.emplace(base, usedFrameCount(request));
    // The winner's pictures, or nullopt when it must be composed again alone.
    const auto finish = [&](CandidateSeries& series) -> std::optional<std::vector<std::string>> {
        if (!finalOnly) return series.commit(result.operation);
        const engine::PackedImage* last = series.lastPicture(result.operation);
        if (!last) return std::nullopt;
        files.savePicture(*last, request.finalPicture);
        return std::vector<std::string>{request.finalPicture};
    };
    std::optional<std::vector<std::string>> saved;
    {
        CandidateSeries series(files, prefix, base, firstPassOperations(request, vote));
        composeInNativeSize(request, decoder, series, vote, true, progress);
        settleOperation(request, vote, result);
        saved = finish(series);
    }
    if (!saved) {
        std::optional<SampledVote> decided;
        CandidateSeries alone(files, prefix, base, {result.operation});
        composeInNativeSize(request, decoder, alone, decided, false, progress);
        saved = finish(alone);
    }
    result.saved = std::move(saved).value();
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
