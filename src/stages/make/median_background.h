#pragma once

#include <cstdint>
#include <vector>

#include "engine/packed_image.h"

namespace strobo::stages {

// The most frames a median background is taken from.
constexpr int kMaxMedianSamples = 64;
// The samples are held as bytes; this bounds them, whatever the frame size.
constexpr std::int64_t kMedianSampleBytes = 64LL * 1024 * 1024;

// At most `limit` indexes spread evenly over 0..count-1, ascending and without repeats; the
// first and the last frame are among them when limit is 2 or more.
std::vector<std::int64_t> evenlySpacedIndexes(std::int64_t count, int limit);

// How many width x height frames a median is taken from: kMaxMedianSamples, fewer for frames so
// large that the samples would exceed kMedianSampleBytes, never fewer than 3.
int medianSampleLimit(int width, int height);

// The per-pixel median of a bounded set of frames: each channel of each pixel is the median of
// that channel over the frames (the lower middle value for an even count). Whatever passes
// through a pixel in fewer than half of the frames, such as a moving object, is gone from the
// result. Memory is the samples themselves, three bytes per pixel and frame, fixed up front.
class MedianAccumulator {
  public:
    // Throws std::invalid_argument for an empty size or a capacity below 1.
    MedianAccumulator(int width, int height, int capacity);

    // Throws std::invalid_argument for a frame of another size or beyond the capacity.
    void add(const engine::PackedImage& frame);
    int count() const { return m_count; }

    // Throws std::logic_error when no frame has been added.
    engine::PackedImage median() const;

  private:
    int m_width;
    int m_height;
    int m_capacity;
    int m_count = 0;
    // Channel planes, one after another per frame: frame k, channel c, pixel p.
    std::vector<std::uint8_t> m_samples;
};

}  // namespace strobo::stages
