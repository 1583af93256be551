#include "stages/make/median_background.h"

#include <algorithm>
#include <array>
#include <stdexcept>

namespace strobo::stages {

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
    m_samples.resize(static_cast<std::size_t>(capacity) * 3 * static_cast<std::size_t>(width) *
                     static_cast<std::size_t>(height));
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

engine::PackedImage MedianAccumulator::median() const {
    if (m_count == 0) throw std::logic_error("median of no frames");
    const std::size_t plane = static_cast<std::size_t>(m_width) * m_height;
    const std::size_t frameStride = 3 * plane;
    const int middle = (m_count - 1) / 2;
    engine::PackedImage out(m_width, m_height);
    std::array<std::uint8_t, kMaxMedianSamples> values{};
    std::vector<std::uint8_t> wide;
    std::uint8_t* scratch = values.data();
    if (m_count > kMaxMedianSamples) {
        wide.resize(m_count);
        scratch = wide.data();
    }
    for (std::size_t p = 0; p < plane; ++p) {
        std::int32_t packed = 0;
        for (int channel = 0; channel < 3; ++channel) {
            const std::uint8_t* source = m_samples.data() + channel * plane + p;
            for (int k = 0; k < m_count; ++k) scratch[k] = source[k * frameStride];
            std::nth_element(scratch, scratch + middle, scratch + m_count);
            packed |= static_cast<std::int32_t>(scratch[middle]) << (8 * channel);
        }
        out.pixels[p] = packed;
    }
    return out;
}

}  // namespace strobo::stages
