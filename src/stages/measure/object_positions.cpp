#include "stages/measure/object_positions.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <system_error>

#include "engine/function_clones.h"
#include "engine/scaling.h"
#include "stages/clip_reading.h"
#include "workfolder/file_services.h"
#include "workfolder/media/media_error.h"
#include "workfolder/media/video_decoder.h"

namespace strobo::stages {

namespace wf = workfolder;
namespace media = workfolder::media;

namespace {

media::VideoDecoder openClip(const std::string& clip, int threads = 0) {
    // No box: the frames come at the size the clip is shown at.
    media::DecoderOptions options;
    options.threads = threads;
    return openStageClip(clip, std::move(options));
}

engine::PackedImage backgroundFor(media::VideoDecoder& decoder, const std::string& file,
                                  const Progress& progress) {
    if (file.empty()) return clipMedian(decoder, progress);
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

namespace {

#define STROBO_FINDER_CLONES STROBO_FUNCTION_CLONES("avx2", "default")

// The largest channel difference of each pixel of one row, in two passes the compiler turns
// into vector instructions: the differences byte by byte, then the largest of each pixel's four
// bytes. The fourth byte of a packed colour is zero in both pictures, whichever end of the word
// it sits at.
STROBO_FINDER_CLONES void rowDifference(const std::uint8_t* f, const std::uint8_t* b, int w,
                                        std::uint32_t* channels, std::uint8_t* d) {
    auto* bytes = reinterpret_cast<std::uint8_t*>(channels);
    for (int i = 0; i < 4 * w; ++i) {
        bytes[i] = static_cast<std::uint8_t>(f[i] > b[i] ? f[i] - b[i] : b[i] - f[i]);
    }
    for (int x = 0; x < w; ++x) {
        const std::uint32_t v = channels[x];
        d[x] = static_cast<std::uint8_t>(
            std::max(std::max(v & 0xFF, (v >> 8) & 0xFF), std::max((v >> 16) & 0xFF, v >> 24)));
    }
}

// Adds each pair of neighbouring differences of a row into its block.
STROBO_FINDER_CLONES void addPairs(const std::uint8_t* d, int pairs, std::uint16_t* blocks) {
    for (int i = 0; i < pairs; ++i) {
        blocks[i] = static_cast<std::uint16_t>(blocks[i] + d[2 * i] + d[2 * i + 1]);
    }
}

// Each block with its left and right neighbours, cut at the edges.
STROBO_FINDER_CLONES void sumAcross(const std::uint16_t* in, int n, std::uint16_t* out) {
    if (n == 1) {
        out[0] = in[0];
        return;
    }
    out[0] = static_cast<std::uint16_t>(in[0] + in[1]);
    for (int x = 1; x + 1 < n; ++x) {
        out[x] = static_cast<std::uint16_t>(in[x - 1] + in[x] + in[x + 1]);
    }
    out[n - 1] = static_cast<std::uint16_t>(in[n - 2] + in[n - 1]);
}

// Each block with those above and below it (a row of zeros standing in beyond the edges); gives
// how many sums stay below `bound`.
STROBO_FINDER_CLONES std::int64_t sumDown(const std::uint16_t* above, const std::uint16_t* here,
                                          const std::uint16_t* below, int n, std::uint16_t* out,
                                          std::uint16_t bound) {
    int under = 0;
    for (int x = 0; x < n; ++x) {
        const auto sum = static_cast<std::uint16_t>(above[x] + here[x] + below[x]);
        out[x] = sum;
        under += sum < bound ? 1 : 0;
    }
    return under;
}

STROBO_FINDER_CLONES void markAbove(const std::uint16_t* boxed, std::size_t n, std::uint16_t limit,
                                    std::uint8_t* mask) {
    for (std::size_t p = 0; p < n; ++p) mask[p] = boxed[p] > limit ? 1 : 0;
}

// The largest channel difference of one pixel, as rowDifference gives it.
std::uint8_t pixelDifference(const engine::PackedImage& frame,
                             const engine::PackedImage& background, int x, int y) {
    const auto f = static_cast<std::uint32_t>(frame.row(y)[x]);
    const auto b = static_cast<std::uint32_t>(background.row(y)[x]);
    std::uint8_t largest = 0;
    for (int c = 0; c < 32; c += 8) {
        const auto p = static_cast<std::uint8_t>(f >> c);
        const auto q = static_cast<std::uint8_t>(b >> c);
        largest = std::max(largest, static_cast<std::uint8_t>(p > q ? p - q : q - p));
    }
    return largest;
}

}  // namespace

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
    // One row of differences at a time: the few pixels the regions cover are worked out again.
    difference.resize(static_cast<std::size_t>(w));
    m_channels.resize(static_cast<std::size_t>(w));
    blocks.assign(static_cast<std::size_t>(bw) * bh, 0);
    rows.resize(blocks.size() + static_cast<std::size_t>(bw));
    mask.resize(blocks.size());

    for (int y = 0; y < h; ++y) {
        rowDifference(reinterpret_cast<const std::uint8_t*>(frame.row(y)),
                      reinterpret_cast<const std::uint8_t*>(m_background.row(y)), w,
                      m_channels.data(), difference.data());
        std::uint16_t* blockRow = blocks.data() + static_cast<std::size_t>(y / 2) * bw;
        addPairs(difference.data(), w / 2, blockRow);
        if (w % 2 != 0) {
            blockRow[bw - 1] = static_cast<std::uint16_t>(blockRow[bw - 1] + difference[w - 1]);
        }
    }
    // Each block summed with its eight neighbours (cut at the edges): a 6 x 6 pixel average in
    // which grain and compression noise, pixel by pixel unrelated, fade, while a solid object
    // keeps its full difference. The box is symmetric, so an object's centre stays put.
    for (int y = 0; y < bh; ++y) {
        sumAcross(blocks.data() + static_cast<std::size_t>(y) * bw, bw,
                  rows.data() + static_cast<std::size_t>(y) * bw);
    }
    const std::uint16_t* zeros = rows.data() + blocks.size();
    std::fill_n(rows.data() + blocks.size(), bw, std::uint16_t{0});
    // The noise up to which the threshold stays at its least.
    constexpr int kQuietMedian = kLeastThreshold / 3;
    // 36 pixels at most 255 each: the sums fit 16 bits.
    std::vector<std::uint16_t>& boxed = blocks;
    std::int64_t quiet = 0;
    for (int y = 0; y < bh; ++y) {
        const std::uint16_t* above =
            y > 0 ? rows.data() + static_cast<std::size_t>(y - 1) * bw : zeros;
        const std::uint16_t* here = rows.data() + static_cast<std::size_t>(y) * bw;
        const std::uint16_t* below =
            y + 1 < bh ? rows.data() + static_cast<std::size_t>(y + 1) * bw : zeros;
        quiet += sumDown(above, here, below, bw, boxed.data() + static_cast<std::size_t>(y) * bw,
                         36 * (kQuietMedian + 1));
    }
    // The median is the noise of this frame against the background (grain, compression, a
    // flicker of the light): the object covers far less than half the picture. Most frames are
    // quiet enough that the threshold stays at its least, told by the count above alone.
    const auto blockCount = static_cast<std::int64_t>(boxed.size());
    int median = 0;
    if (2 * quiet < blockCount) {
        // Four counts taken in turn, so that runs of equal sums do not wait on each other.
        std::array<std::array<std::int64_t, 256>, 4> counts{};
        std::size_t p = 0;
        for (; p + 4 <= boxed.size(); p += 4) {
            for (std::size_t k = 0; k < 4; ++k) ++counts[k][boxed[p + k] / 36];
        }
        for (; p < boxed.size(); ++p) ++counts[0][boxed[p] / 36];
        for (std::int64_t seen = 0; median < 255; ++median) {
            const auto bin = static_cast<std::size_t>(median);
            seen += counts[0][bin] + counts[1][bin] + counts[2][bin] + counts[3][bin];
            if (2 * seen >= blockCount) break;
        }
    }
    const int threshold = std::max(kLeastThreshold, 3 * median);

    // Regions are found on the averaged blocks, which noise does not reach; a region's place and
    // area count only its own pixels that changed, not the rim the averaging adds. Changed
    // blocks become 1; each region is flooded in turn and marked 2 as it is taken.
    markAbove(boxed.data(), boxed.size(), static_cast<std::uint16_t>(36 * threshold), mask.data());
    std::vector<std::int32_t> stack;
    std::optional<MovedObject> best;
    for (std::size_t start = 0; start < mask.size(); ++start) {
        const void* found = std::memchr(mask.data() + start, 1, mask.size() - start);
        if (found == nullptr) break;
        start = static_cast<std::size_t>(static_cast<const std::uint8_t*>(found) - mask.data());
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
                for (int x = 2 * bx; x < std::min(2 * bx + 2, w); ++x) {
                    if (pixelDifference(frame, m_background, x, y) > threshold) {
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

std::optional<engine::PackedImage> positionsBackground(const std::string& clip,
                                                       const std::string& file,
                                                       const Progress& progress,
                                                       int decoderThreads) {
    media::VideoDecoder decoder = openClip(clip, decoderThreads);
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
