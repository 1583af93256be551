#include "stages/clip_reading.h"

#include <filesystem>
#include <system_error>

#include "stages/make/median_background.h"
#include "workfolder/failure.h"
#include "workfolder/media/media_error.h"
#include "workfolder/utf8_path.h"

namespace strobo::stages {

namespace wf = workfolder;
namespace media = workfolder::media;

namespace {

[[noreturn]] void failOrStop(const media::MediaError& error, const std::string& clip) {
    if (error.kind() == media::MediaErrorKind::Interrupted) throw StopRequested{};
    throw wf::FailureError(wf::Failure{wf::FailureKind::ClipUnreadable, clip, error.what(), {}});
}

}  // namespace

void reportOrStop(const Progress& progress, Phase phase, std::int64_t done, std::int64_t total) {
    if (progress && !progress(phase, done, total)) throw StopRequested{};
}

media::VideoDecoder openStageClip(const std::string& clip, media::DecoderOptions options) {
    // Only whether it is there: a pipe or a device is told as such by the media layer.
    std::error_code ec;
    if (!std::filesystem::exists(wf::u8path(clip), ec)) {
        throw wf::FailureError(
            wf::Failure{wf::FailureKind::ClipNotOpened,
                        clip,
                        media::MediaError(media::MediaErrorKind::NotFound, clip).what(),
                        {}});
    }
    try {
        return media::VideoDecoder(clip, std::move(options));
    } catch (const media::MediaError& error) {
        failOrStop(error, clip);
    }
}

engine::PackedImage decodeStageFrame(media::VideoDecoder& decoder, std::int64_t index) {
    try {
        return decoder.frame(index);
    } catch (const media::MediaError& error) {
        failOrStop(error, decoder.path());
    }
}

engine::PackedImage decodeStageFrame(media::VideoDecoder& decoder, std::int64_t index,
                                     engine::PackedImage& fullSize) {
    try {
        return decoder.frame(index, fullSize);
    } catch (const media::MediaError& error) {
        failOrStop(error, decoder.path());
    }
}

engine::PackedImage clipMedian(workfolder::media::VideoDecoder& decoder, const Progress& progress) {
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

}  // namespace strobo::stages
