#include "stages/measure/object_positions.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <system_error>

#include "engine/scaling.h"
#include "stages/make/median_background.h"
#include "workfolder/file_services.h"
#include "workfolder/media/media_error.h"
#include "workfolder/media/video_decoder.h"

namespace strobo::stages {

namespace wf = workfolder;
namespace media = workfolder::media;

namespace {

// Thrown when the progress asks to stop.
struct StopRequested {};

void report(const Progress& progress, Phase phase, std::int64_t done, std::int64_t total) {
    if (progress && !progress(phase, done, total)) throw StopRequested{};
}

[[noreturn]] void clipFailure(wf::FailureKind kind, const std::string& clip,
                              const std::string& detail) {
    throw wf::FailureError(wf::Failure{kind, clip, detail, {}});
}

media::VideoDecoder openClip(const std::string& clip) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(
            std::filesystem::path(std::u8string(clip.begin(), clip.end())), ec)) {
        clipFailure(wf::FailureKind::ClipNotOpened, clip, "動画ファイルがありません");
    }
    try {
        // No box: the frames come at the size the clip is shown at.
        return media::VideoDecoder(clip);
    } catch (const media::MediaError& error) {
        clipFailure(wf::FailureKind::ClipUnreadable, clip, error.what());
    }
}

engine::PackedImage decodeFrame(media::VideoDecoder& decoder, std::int64_t index) {
    try {
        return decoder.frame(index);
    } catch (const media::MediaError& error) {
        clipFailure(wf::FailureKind::ClipUnreadable, decoder.path(), error.what());
    }
}

engine::PackedImage medianOfClip(media::VideoDecoder& decoder, const Progress& progress) {
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

engine::PackedImage backgroundFor(media::VideoDecoder& decoder, const std::string& file,
                                  const Progress& progress) {
    if (file.empty()) return medianOfClip(decoder, progress);
    wf::FileServices files;
    const engine::PackedImage picture = files.loadPicture(file);
    const int width = decoder.outputWidth();
    const int height = decoder.outputHeight();
    if (picture.width == width && picture.height == height) return picture;
    return engine::scaleImage(picture, width, height);
}

int largestChannelDifference(engine::PackedColor a, engine::PackedColor b) {
    const int dr = std::abs((a & 0xFF) - (b & 0xFF));
    const int dg = std::abs(((a >> 8) & 0xFF) - ((b >> 8) & 0xFF));
    const int db = std::abs(((a >> 16) & 0xFF) - ((b >> 16) & 0xFF));
    return std::max({dr, dg, db});
}

}  // namespace

ObjectFinder::ObjectFinder(engine::PackedImage background) : m_background(std::move(background)) {
    if (m_background.isNull()) throw std::invalid_argument("object finder without a background");
}

std::optional<MovedObject> ObjectFinder::find(const engine::PackedImage& frame) const {
    if (frame.width != m_background.width || frame.height != m_background.height) {
        throw std::invalid_argument("frame and background differ in size");
    }
    const int w = frame.width;
    const int h = frame.height;
    const std::size_t count = frame.pixels.size();
    std::vector<std::uint8_t> difference(count);
    for (std::size_t p = 0; p < count; ++p) {
        difference[p] = static_cast<std::uint8_t>(
            largestChannelDifference(frame.pixels[p], m_background.pixels[p]));
    }
    // Each difference summed over its 3 x 3 neighbourhood (cut at the edges): grain and
    // compression noise, pixel by pixel unrelated, averages away, while a solid object keeps its
    // full difference. The box is symmetric, so an object's centre stays where it was.
    std::vector<std::uint16_t> rows(count);
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* d = difference.data() + static_cast<std::size_t>(y) * w;
        std::uint16_t* out = rows.data() + static_cast<std::size_t>(y) * w;
        for (int x = 0; x < w; ++x) {
            out[x] = static_cast<std::uint16_t>(d[x] + (x > 0 ? d[x - 1] : 0) +
                                                (x + 1 < w ? d[x + 1] : 0));
        }
    }
    std::vector<std::uint16_t> boxed(count);
    std::array<std::int64_t, 256> histogram{};
    for (int y = 0; y < h; ++y) {
        const std::uint16_t* above = rows.data() + static_cast<std::size_t>(std::max(y - 1, 0)) * w;
        const std::uint16_t* here = rows.data() + static_cast<std::size_t>(y) * w;
        const std::uint16_t* below =
            rows.data() + static_cast<std::size_t>(std::min(y + 1, h - 1)) * w;
        std::uint16_t* out = boxed.data() + static_cast<std::size_t>(y) * w;
        for (int x = 0; x < w; ++x) {
            out[x] = static_cast<std::uint16_t>(here[x] + (y > 0 ? above[x] : 0) +
                                                (y + 1 < h ? below[x] : 0));
            ++histogram[static_cast<std::size_t>(out[x] / 9)];
        }
    }
    // The median is the noise of this frame against the background (grain, compression, a
    // flicker of the light): the object covers far less than half the picture.
    int median = 0;
    for (std::int64_t seen = 0; median < 255; ++median) {
        seen += histogram[static_cast<std::size_t>(median)];
        if (2 * seen >= static_cast<std::int64_t>(count)) break;
    }
    const int threshold = std::max(kLeastThreshold, 3 * median);

    // Regions are found on the averaged differences, which noise does not reach; a region's
    // place and area count only its own pixels that changed, not the rim the averaging adds.
    // Changed pixels become 1; each region is flooded in turn and marked 2 as it is taken.
    std::vector<std::uint8_t> mask(count);
    for (std::size_t p = 0; p < count; ++p) mask[p] = boxed[p] > 9 * threshold ? 1 : 0;
    std::vector<std::int32_t> stack;
    std::optional<MovedObject> best;
    for (std::size_t start = 0; start < count; ++start) {
        if (mask[start] != 1) continue;
        mask[start] = 2;
        stack.push_back(static_cast<std::int32_t>(start));
        std::int64_t area = 0;
        double sumX = 0;
        double sumY = 0;
        while (!stack.empty()) {
            const std::int32_t p = stack.back();
            stack.pop_back();
            const int x = p % w;
            const int y = p / w;
            if (difference[static_cast<std::size_t>(p)] > threshold) {
                ++area;
                sumX += x;
                sumY += y;
            }
            for (int dy = -1; dy <= 1; ++dy) {
                const int ny = y + dy;
                if (ny < 0 || ny >= h) continue;
                for (int dx = -1; dx <= 1; ++dx) {
                    const int nx = x + dx;
                    if (nx < 0 || nx >= w) continue;
                    const std::int32_t q = ny * w + nx;
                    if (mask[static_cast<std::size_t>(q)] == 1) {
                        mask[static_cast<std::size_t>(q)] = 2;
                        stack.push_back(q);
                    }
                }
            }
        }
        if (area > 0 && (!best || area > best->area)) {
            best = MovedObject{sumX / static_cast<double>(area), sumY / static_cast<double>(area),
                               area};
        }
    }
    if (!best || best->area < kLeastArea) return std::nullopt;
    return best;
}

std::vector<std::int64_t> clipFramesOfFrameFiles(const std::vector<std::int64_t>& frameFiles,
                                                 std::int64_t frameCount) {
    std::vector<std::int64_t> frames;
    frames.reserve(frameFiles.size());
    for (const std::int64_t n : frameFiles) {
        frames.push_back(std::clamp<std::int64_t>(n, 0, std::max<std::int64_t>(frameCount - 1, 0)));
    }
    return frames;
}

std::vector<std::int64_t> frameFilesOfRange(std::int64_t first, std::int64_t last,
                                            std::int64_t every) {
    std::vector<std::int64_t> files;
    if (every < 1) return files;
    for (std::int64_t n = first + 1; n <= last + 1; n += every) files.push_back(n);
    return files;
}

std::optional<engine::PackedImage> positionsBackground(const std::string& clip,
                                                       const std::string& file,
                                                       const Progress& progress) {
    media::VideoDecoder decoder = openClip(clip);
    try {
        return backgroundFor(decoder, file, progress);
    } catch (const StopRequested&) {
        return std::nullopt;
    }
}

PositionsResult measurePositions(const PositionsRequest& request, const Progress& progress) {
    PositionsResult result;
    try {
        media::VideoDecoder decoder = openClip(request.clip);
        result.clipWidth = decoder.outputWidth();
        result.clipHeight = decoder.outputHeight();
        for (const std::int64_t frame : request.frames) {
            if (frame < 0 || frame >= decoder.frameCount()) {
                throw wf::FailureError(wf::Failure{wf::FailureKind::RangeOutsideClip,
                                                   request.clip,
                                                   std::to_string(decoder.frameCount()),
                                                   {}});
            }
        }
        const ObjectFinder finder(backgroundFor(decoder, request.backgroundFile, progress));
        const auto total = static_cast<std::int64_t>(request.frames.size());
        for (const std::int64_t frame : request.frames) {
            ObjectPosition position;
            position.image = static_cast<int>(result.positions.size()) + 1;
            position.frame = frame;
            position.time = decoder.frameTime(frame);
            position.object = finder.find(decodeFrame(decoder, frame));
            result.positions.push_back(position);
            report(progress, Phase::Measure, position.image, total);
        }
    } catch (const StopRequested&) {
        result.stopped = true;
        result.positions.clear();
    } catch (const std::exception& error) {
        result.failure = wf::failureOf(error);
        result.positions.clear();
    }
    return result;
}

}  // namespace strobo::stages
