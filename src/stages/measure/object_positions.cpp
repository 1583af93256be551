#include "stages/measure/object_positions.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <system_error>

#include "engine/scaling.h"
#include "stages/clip_reading.h"
#include "stages/make/median_background.h"
#include "workfolder/file_services.h"
#include "workfolder/media/media_error.h"
#include "workfolder/media/video_decoder.h"

namespace strobo::stages {

namespace wf = workfolder;
namespace media = workfolder::media;

namespace {

media::VideoDecoder openClip(const std::string& clip) {
    // No box: the frames come at the size the clip is shown at.
    return openStageClip(clip);
}

engine::PackedImage medianOfClip(media::VideoDecoder& decoder, const Progress& progress) {
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
    // The search runs on blocks of 2 x 2 pixels (the last row or column of an odd size alone),
    // which keeps it to a small share of decoding the frame.
    const int bw = (w + 1) / 2;
    const int bh = (h + 1) / 2;
    std::vector<std::uint8_t>& difference = m_difference;
    std::vector<std::uint16_t>& blocks = m_blocks;
    std::vector<std::uint16_t>& rows = m_rows;
    std::vector<std::uint8_t>& mask = m_mask;
    difference.resize(frame.pixels.size());
    blocks.assign(static_cast<std::size_t>(bw) * bh, 0);
    rows.resize(blocks.size());
    mask.resize(blocks.size());

    for (int y = 0; y < h; ++y) {
        // Byte by byte, in a form the compiler turns into vector instructions. The fourth byte
        // of a packed colour is zero in both pictures, whichever end of the word it sits at.
        const auto* f = reinterpret_cast<const std::uint8_t*>(frame.row(y));
        const auto* b = reinterpret_cast<const std::uint8_t*>(m_background.row(y));
        std::uint8_t* d = difference.data() + static_cast<std::size_t>(y) * w;
        for (int x = 0; x < w; ++x) {
            std::uint8_t largest = 0;
            for (int c = 0; c < 4; ++c) {
                const std::uint8_t p = f[4 * x + c];
                const std::uint8_t q = b[4 * x + c];
                largest = std::max(largest, static_cast<std::uint8_t>(p > q ? p - q : q - p));
            }
            d[x] = largest;
        }
        std::uint16_t* blockRow = blocks.data() + static_cast<std::size_t>(y / 2) * bw;
        for (int x = 0; x + 1 < w; x += 2) {
            blockRow[x / 2] = static_cast<std::uint16_t>(blockRow[x / 2] + d[x] + d[x + 1]);
        }
        if (w % 2 != 0) blockRow[bw - 1] = static_cast<std::uint16_t>(blockRow[bw - 1] + d[w - 1]);
    }
    // Each block summed with its eight neighbours (cut at the edges): a 6 x 6 pixel average in
    // which grain and compression noise, pixel by pixel unrelated, fade, while a solid object
    // keeps its full difference. The box is symmetric, so an object's centre stays put.
    for (int y = 0; y < bh; ++y) {
        const std::uint16_t* in = blocks.data() + static_cast<std::size_t>(y) * bw;
        std::uint16_t* out = rows.data() + static_cast<std::size_t>(y) * bw;
        for (int x = 0; x < bw; ++x) {
            out[x] = static_cast<std::uint16_t>(in[x] + (x > 0 ? in[x - 1] : 0) +
                                                (x + 1 < bw ? in[x + 1] : 0));
        }
    }
    std::array<std::int64_t, 256> histogram{};
    // 36 pixels at most 255 each: the sums fit 16 bits.
    std::vector<std::uint16_t>& boxed = blocks;
    for (int y = 0; y < bh; ++y) {
        const std::uint16_t* above =
            rows.data() + static_cast<std::size_t>(std::max(y - 1, 0)) * bw;
        const std::uint16_t* here = rows.data() + static_cast<std::size_t>(y) * bw;
        const std::uint16_t* below =
            rows.data() + static_cast<std::size_t>(std::min(y + 1, bh - 1)) * bw;
        std::uint16_t* out = boxed.data() + static_cast<std::size_t>(y) * bw;
        for (int x = 0; x < bw; ++x) {
            out[x] = static_cast<std::uint16_t>(here[x] + (y > 0 ? above[x] : 0) +
                                                (y + 1 < bh ? below[x] : 0));
            ++histogram[static_cast<std::size_t>(out[x] / 36)];
        }
    }
    // The median is the noise of this frame against the background (grain, compression, a
    // flicker of the light): the object covers far less than half the picture.
    const auto blockCount = static_cast<std::int64_t>(boxed.size());
    int median = 0;
    for (std::int64_t seen = 0; median < 255; ++median) {
        seen += histogram[static_cast<std::size_t>(median)];
        if (2 * seen >= blockCount) break;
    }
    const int threshold = std::max(kLeastThreshold, 3 * median);

    // Regions are found on the averaged blocks, which noise does not reach; a region's place and
    // area count only its own pixels that changed, not the rim the averaging adds. Changed
    // blocks become 1; each region is flooded in turn and marked 2 as it is taken.
    for (std::size_t p = 0; p < boxed.size(); ++p) mask[p] = boxed[p] > 36 * threshold ? 1 : 0;
    std::vector<std::int32_t> stack;
    std::optional<MovedObject> best;
    for (std::size_t start = 0; start < mask.size(); ++start) {
        if (mask[start] != 1) continue;
        mask[start] = 2;
        stack.push_back(static_cast<std::int32_t>(start));
        std::int64_t area = 0;
        double sumX = 0;
        double sumY = 0;
        while (!stack.empty()) {
            const std::int32_t p = stack.back();
            stack.pop_back();
            const int bx = p % bw;
            const int by = p / bw;
            for (int y = 2 * by; y < std::min(2 * by + 2, h); ++y) {
                const std::uint8_t* d = difference.data() + static_cast<std::size_t>(y) * w;
                for (int x = 2 * bx; x < std::min(2 * bx + 2, w); ++x) {
                    if (d[x] > threshold) {
                        ++area;
                        sumX += x;
                        sumY += y;
                    }
                }
            }
            for (int dy = -1; dy <= 1; ++dy) {
                const int ny = by + dy;
                if (ny < 0 || ny >= bh) continue;
                for (int dx = -1; dx <= 1; ++dx) {
                    const int nx = bx + dx;
                    if (nx < 0 || nx >= bw) continue;
                    const std::int32_t q = ny * bw + nx;
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
            position.object = finder.find(decodeStageFrame(decoder, frame));
            result.positions.push_back(position);
            reportOrStop(progress, Phase::Measure, position.image, total);
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
