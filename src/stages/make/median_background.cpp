#include "stages/make/median_background.h"

#include <algorithm>
#include <array>
#include <stdexcept>

#include "engine/function_clones.h"

namespace strobo::stages {

namespace {

// How many pixels of one channel the median works on together: their samples stay in the
// first-level cache through its eight passes.
constexpr std::size_t kMedianTile = 256;

}  // namespace

std::vector<std::int64_t> evenlySpacedIndexes(std::int64_t count, int limit) {
    std::vector<std::int64_t> out;
    if (count <= 0 || limit <= 0) return out;
    if (count <= limit) {
        for (std::int64_t i = 0; i < count; ++i) out.push_back(i);
        return out;
    }
    if (limit == 1) return {0};
    // Index k of `limit` sits at k * (count - 1) / (limit - 1), rounded down; as count > limit
    // the steps are at least 1, so no index repeats.
    for (int k = 0; k < limit; ++k) {
        out.push_back(static_cast<std::int64_t>(k) * (count - 1) / (limit - 1));
    }
    return out;
}

int medianSampleLimit(int width, int height) {
    const std::int64_t perFrame = 3LL * std::max(width, 1) * std::max(height, 1);
    const std::int64_t fitting = kMedianSampleBytes / perFrame;
    return static_cast<int>(std::clamp<std::int64_t>(fitting, 3, kMaxMedianSamples));
}

MedianAccumulator::MedianAccumulator(int width, int height, int capacity)
    : m_width(width), m_height(height), m_capacity(capacity) {
    if (width <= 0 || height <= 0 || capacity <= 0) {
        throw std::invalid_argument("median of an empty size or without frames");
    }
    // A whole piece past the last plane, so that the median reads whole pieces only; what it
    // reads there is never used.
    m_samples.resize(static_cast<std::size_t>(capacity) * 3 * static_cast<std::size_t>(width) *
                         static_cast<std::size_t>(height) +
                     kMedianTile);
}

void MedianAccumulator::add(const engine::PackedImage& frame) {
    if (frame.width != m_width || frame.height != m_height) {
        throw std::invalid_argument("median frame of another size");
    }
    if (m_count >= m_capacity) throw std::invalid_argument("more median frames than room");
    const std::size_t plane = static_cast<std::size_t>(m_width) * m_height;
    std::uint8_t* red = m_samples.data() + static_cast<std::size_t>(m_count) * 3 * plane;
    std::uint8_t* green = red + plane;
    std::uint8_t* blue = green + plane;
    for (std::size_t p = 0; p < plane; ++p) {
        const auto c = static_cast<std::uint32_t>(frame.pixels[p]);
        red[p] = static_cast<std::uint8_t>(c);
        green[p] = static_cast<std::uint8_t>(c >> 8);
        blue[p] = static_cast<std::uint8_t>(c >> 16);
    }
    ++m_count;
}

namespace {

// The order statistic `rank` (from 0) of `count` sample rows, for each of kMedianTile values,
// built bit by bit from the top: the result has a bit set when no more than `rank` samples lie
// below the result so far with that bit added. Compares and counts only, which the compiler runs
// on many values at once; exactly what sorting would pick.
STROBO_FUNCTION_CLONES("avx2", "default")
void selectRank(const std::uint8_t* samples, std::size_t rowStride, int count, int rank,
                std::array<std::uint8_t, kMedianTile>& out) {
    std::array<std::uint8_t, kMedianTile> result{};
    std::array<std::uint8_t, kMedianTile> trial{};
    std::array<std::uint8_t, kMedianTile> below{};
    const auto most = static_cast<std::uint8_t>(rank);
    for (int bit = 7; bit >= 0; --bit) {
        const auto step = static_cast<std::uint8_t>(1u << bit);
        for (std::size_t i = 0; i < kMedianTile; ++i) {
            trial[i] = static_cast<std::uint8_t>(result[i] | step);
        }
        below.fill(0);
        for (int k = 0; k < count; ++k) {
            const std::uint8_t* row = samples + static_cast<std::size_t>(k) * rowStride;
            for (std::size_t i = 0; i < kMedianTile; ++i) {
                below[i] = static_cast<std::uint8_t>(below[i] + (row[i] < trial[i] ? 1 : 0));
            }
        }
        for (std::size_t i = 0; i < kMedianTile; ++i) {
            result[i] = static_cast<std::uint8_t>(result[i] | (below[i] <= most ? step : 0));
        }
    }
    out = result;
}

}  // namespace

engine::PackedImage MedianAccumulator::median() const {
    if (m_count == 0) throw std::logic_error("median of no frames");
    const std::size_t plane = static_cast<std::size_t>(m_width) * m_height;
    const std::size_t frameStride = 3 * plane;
    const int middle = (m_count - 1) / 2;
    engine::PackedImage out(m_width, m_height);
    if (m_count <= 255) {
        // Byte counters hold up to 255 samples.
        std::array<std::array<std::uint8_t, kMedianTile>, 3> channels{};
        for (std::size_t start = 0; start < plane; start += kMedianTile) {
            const std::size_t length = std::min(kMedianTile, plane - start);
            for (std::size_t channel = 0; channel < 3; ++channel) {
                selectRank(m_samples.data() + channel * plane + start, frameStride, m_count, middle,
                           channels[channel]);
            }
            for (std::size_t i = 0; i < length; ++i) {
                out.pixels[start + i] = static_cast<std::int32_t>(
                    channels[0][i] | (static_cast<std::uint32_t>(channels[1][i]) << 8) |
                    (static_cast<std::uint32_t>(channels[2][i]) << 16));
            }
        }
        return out;
    }
    std::vector<std::uint8_t> scratch(static_cast<std::size_t>(m_count));
    for (std::size_t p = 0; p < plane; ++p) {
        std::int32_t packed = 0;
        for (int channel = 0; channel < 3; ++channel) {
            const std::uint8_t* source = m_samples.data() + channel * plane + p;
            for (int k = 0; k < m_count; ++k) scratch[k] = source[k * frameStride];
            std::nth_element(scratch.begin(), scratch.begin() + middle, scratch.end());
            packed |= static_cast<std::int32_t>(scratch[middle]) << (8 * channel);
        }
        out.pixels[p] = packed;
    }
    return out;
}

}  // namespace strobo::stages
