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
template <typename Acc>
void resampleRow(const PackedColor* src, const AxisTaps& taps, Acc* out, std::int32_t width) {
    for (std::int32_t o = 0; o < width; ++o) {
        Acc red = 0;
        Acc green = 0;
        Acc blue = 0;
        const std::uint64_t* w = taps.weights.data() + taps.offset[o];
        const PackedColor* p = src + taps.first[o];
        for (std::int32_t t = 0; t < taps.count[o]; ++t) {
            const auto colour = static_cast<std::uint32_t>(p[t]);
            const auto weight = static_cast<Acc>(w[t]);
            red += weight * (colour & 255u);
            green += weight * ((colour >> 8) & 255u);
            blue += weight * ((colour >> 16) & 255u);
        }
        out[3 * o] = red;
        out[3 * o + 1] = green;
        out[3 * o + 2] = blue;
    }
}

// Rounded division by one denominator for the whole image. For 32-bit sums the quotient comes
// from one multiplication: with m = floor((2^64 - 1) / d) + 1, floor(x / d) = (x * m) >> 64 for
// every x below 2^32 (Lemire, Kaser and Kurz, "Faster remainder by direct computation").
struct Divider {
    explicit Divider(std::uint64_t d)
        : denominator(d), half(d / 2), multiplier(~std::uint64_t{0} / d + 1) {}
    std::uint32_t operator()(std::uint32_t sum) const {
        const std::uint64_t x = static_cast<std::uint64_t>(sum) + half;
        if (x >> 32) return static_cast<std::uint32_t>(x / denominator);
        return static_cast<std::uint32_t>((static_cast<unsigned __int128>(multiplier) * x) >> 64);
    }
    std::uint32_t operator()(std::uint64_t sum) const {
        return static_cast<std::uint32_t>((sum + half) / denominator);
    }
    std::uint64_t denominator;
    std::uint64_t half;
    std::uint64_t multiplier;
};

template <typename Acc>
PackedImage scaleWith(const PackedImage& src, const AxisTaps& across, const AxisTaps& down,
                      std::int32_t width, std::int32_t height) {
    const Divider divide(across.denominator * down.denominator);
    const std::size_t rowValues = static_cast<std::size_t>(width) * 3;

    // Consecutive source rows land in different slots; the taps of neighbouring output rows share
    // at most their boundary rows, which therefore stay cached.
    std::array<std::vector<Acc>, 2> cached = {std::vector<Acc>(rowValues),
                                              std::vector<Acc>(rowValues)};
    std::array<std::int32_t, 2> cachedRow = {-1, -1};
    std::vector<Acc> sum(rowValues);

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
            const Acc* row = cached[slot].data();
            const auto weight = static_cast<Acc>(w[t]);
            Acc* total = sum.data();
            for (std::size_t i = 0; i < rowValues; ++i) total[i] += weight * row[i];
        }
        PackedColor* out = result.row(y);
        for (std::int32_t x = 0; x < width; ++x) {
            const auto red = static_cast<PackedColor>(divide(sum[3 * x]));
            const auto green = static_cast<PackedColor>(divide(sum[3 * x + 1]));
            const auto blue = static_cast<PackedColor>(divide(sum[3 * x + 2]));
            out[x] = red | (green << 8) | (blue << 16);
        }
    }
    return result;
}

}  // namespace

PackedImage scaleImage(const PackedImage& src, std::int32_t width, std::int32_t height) {
    if (width <= 0 || height <= 0 || src.isNull()) return PackedImage();

    const AxisTaps across = makeAxisTaps(src.width, width);
    const AxisTaps down = makeAxisTaps(src.height, height);
    // Every sum is at most 255 times the denominator; 32-bit sums are twice as fast to add and
    // divide, and exact while that bound fits.
    const std::uint64_t denominator = across.denominator * down.denominator;
    if (denominator <= std::uint64_t{0xFFFFFFFF} / 255) {
        return scaleWith<std::uint32_t>(src, across, down, width, height);
    }
    return scaleWith<std::uint64_t>(src, across, down, width, height);
}

}  // namespace strobo::engine
