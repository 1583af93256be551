#include "engine/scaling.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <vector>

namespace strobo::engine {

namespace {

// The source pixels and integer weights that make one output pixel along one axis. The weights
// of every output pixel sum to the axis denominator.
struct AxisTaps {
    std::vector<std::int32_t> first;
    std::vector<std::int32_t> count;
    std::vector<std::size_t> offset;
    std::vector<std::uint64_t> weights;
    std::uint64_t denominator = 1;

    void add(std::int32_t source, std::uint64_t weight) {
        if (weight == 0) return;
        if (count.back() == 0) first.back() = source;
        ++count.back();
        weights.push_back(weight);
    }
    void startOutput() {
        first.push_back(0);
        count.push_back(0);
        offset.push_back(weights.size());
    }
};

constexpr std::int64_t kBilinearOne = 1 << 14;

AxisTaps makeAxisTaps(std::int64_t source, std::int64_t target) {
    AxisTaps taps;
    if (target <= source) {
        // Measured in units where a source pixel is `target` long and an output pixel `source`
        // long, output o spans [o*source, (o+1)*source) and overlaps source pixels by whole units.
        taps.denominator = static_cast<std::uint64_t>(source);
        for (std::int64_t o = 0; o < target; ++o) {
            taps.startOutput();
            const std::int64_t begin = o * source;
            const std::int64_t end = begin + source;
            for (std::int64_t i = begin / target; i * target < end; ++i) {
                const std::int64_t overlap =
                    std::min((i + 1) * target, end) - std::max(i * target, begin);
                taps.add(static_cast<std::int32_t>(i), static_cast<std::uint64_t>(overlap));
            }
        }
    } else {
        // The centre of output o lies at source coordinate ((2o+1)*source - target) / (2*target).
        taps.denominator = kBilinearOne;
        const std::int64_t den = 2 * target;
        for (std::int64_t o = 0; o < target; ++o) {
            taps.startOutput();
            const std::int64_t num = (2 * o + 1) * source - target;
            if (num <= 0) {
                taps.add(0, kBilinearOne);
                continue;
            }
            const std::int64_t i0 = num / den;
            if (i0 >= source - 1) {
                taps.add(static_cast<std::int32_t>(source - 1), kBilinearOne);
                continue;
            }
            const std::int64_t frac = (num - i0 * den) * kBilinearOne / den;
            taps.add(static_cast<std::int32_t>(i0),
                     static_cast<std::uint64_t>(kBilinearOne - frac));
            taps.add(static_cast<std::int32_t>(i0 + 1), static_cast<std::uint64_t>(frac));
        }
    }
    return taps;
}

// One source row resampled horizontally, three unnormalised channel sums per output pixel.
void resampleRow(const PackedColor* src, const AxisTaps& taps, std::uint64_t* out,
                 std::int32_t width) {
    for (std::int32_t o = 0; o < width; ++o) {
        std::uint64_t red = 0;
        std::uint64_t green = 0;
        std::uint64_t blue = 0;
        const std::uint64_t* w = taps.weights.data() + taps.offset[o];
        const PackedColor* p = src + taps.first[o];
        for (std::int32_t t = 0; t < taps.count[o]; ++t) {
            const auto colour = static_cast<std::uint32_t>(p[t]);
            red += w[t] * (colour & 255u);
            green += w[t] * ((colour >> 8) & 255u);
            blue += w[t] * ((colour >> 16) & 255u);
        }
        out[3 * o] = red;
        out[3 * o + 1] = green;
        out[3 * o + 2] = blue;
    }
}

}  // namespace

PackedImage scaleImage(const PackedImage& src, std::int32_t width, std::int32_t height) {
    if (width <= 0 || height <= 0 || src.isNull()) return PackedImage();

    const AxisTaps across = makeAxisTaps(src.width, width);
    const AxisTaps down = makeAxisTaps(src.height, height);
    const std::uint64_t denominator = across.denominator * down.denominator;
    const std::size_t rowValues = static_cast<std::size_t>(width) * 3;

    // Consecutive source rows land in different slots; the taps of neighbouring output rows share
    // at most their boundary rows, which therefore stay cached.
    std::array<std::vector<std::uint64_t>, 2> cached = {std::vector<std::uint64_t>(rowValues),
                                                        std::vector<std::uint64_t>(rowValues)};
    std::array<std::int32_t, 2> cachedRow = {-1, -1};
    std::vector<std::uint64_t> sum(rowValues);

    PackedImage result(width, height);
    for (std::int32_t y = 0; y < height; ++y) {
        std::fill(sum.begin(), sum.end(), 0);
        const std::uint64_t* w = down.weights.data() + down.offset[y];
        for (std::int32_t t = 0; t < down.count[y]; ++t) {
            const std::int32_t sourceRow = down.first[y] + t;
            const std::size_t slot = static_cast<std::size_t>(sourceRow) % 2;
            if (cachedRow[slot] != sourceRow) {
                resampleRow(src.row(sourceRow), across, cached[slot].data(), width);
                cachedRow[slot] = sourceRow;
            }
            const std::uint64_t* row = cached[slot].data();
            for (std::size_t i = 0; i < rowValues; ++i) sum[i] += w[t] * row[i];
        }
        PackedColor* out = result.row(y);
        const std::uint64_t half = denominator / 2;
        for (std::int32_t x = 0; x < width; ++x) {
            const auto red = static_cast<PackedColor>((sum[3 * x] + half) / denominator);
            const auto green = static_cast<PackedColor>((sum[3 * x + 1] + half) / denominator);
            const auto blue = static_cast<PackedColor>((sum[3 * x + 2] + half) / denominator);
            out[x] = red | (green << 8) | (blue << 16);
        }
    }
    return result;
}

}  // namespace strobo::engine
