#include "engine/scaling.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <vector>

#include "engine/function_clones.h"

// The horizontal pass gathers eight pixels at once where the processor can; the choice is made
// at run time, so one build serves every x86-64 machine.
#if defined(__x86_64__) && defined(__GNUC__) && defined(__linux__)
#define STROBO_SCALE_GATHER 1
#include <immintrin.h>
#else
#define STROBO_SCALE_GATHER 0
#endif

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
void resampleRow(const PackedColor* src, const AxisTaps& taps, Acc* out, std::int32_t left,
                 std::int32_t right) {
    for (std::int32_t o = left; o < right; ++o) {
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
        const std::size_t at = 3 * static_cast<std::size_t>(o - left);
        out[at] = red;
        out[at + 1] = green;
        out[at + 2] = blue;
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
void scaleWith(const PackedImage& src, const AxisTaps& across, const AxisTaps& down,
               const OutputPart& part, PackedImage& result) {
    const Divider divide(across.denominator * down.denominator);
    const std::int32_t width = part.right - part.left;
    const std::size_t rowValues = static_cast<std::size_t>(width) * 3;

    // Consecutive source rows land in different slots; the taps of neighbouring output rows share
    // at most their boundary rows, which therefore stay cached.
    std::array<std::vector<Acc>, 2> cached = {std::vector<Acc>(rowValues),
                                              std::vector<Acc>(rowValues)};
    std::array<std::int32_t, 2> cachedRow = {-1, -1};
    std::vector<Acc> sum(rowValues);

    for (std::int32_t y = part.top; y < part.bottom; ++y) {
        std::fill(sum.begin(), sum.end(), 0);
        const std::uint64_t* w = down.weights.data() + down.offset[y];
        for (std::int32_t t = 0; t < down.count[y]; ++t) {
            const std::int32_t sourceRow = down.first[y] + t;
            const std::size_t slot = static_cast<std::size_t>(sourceRow) % 2;
            if (cachedRow[slot] != sourceRow) {
                resampleRow(src.row(sourceRow), across, cached[slot].data(), part.left, part.right);
                cachedRow[slot] = sourceRow;
            }
            const Acc* row = cached[slot].data();
            const auto weight = static_cast<Acc>(w[t]);
            Acc* total = sum.data();
            for (std::size_t i = 0; i < rowValues; ++i) total[i] += weight * row[i];
        }
        PackedColor* out = result.row(y) + part.left;
        for (std::int32_t x = 0; x < width; ++x) {
            const auto red = static_cast<PackedColor>(divide(sum[3 * x]));
            const auto green = static_cast<PackedColor>(divide(sum[3 * x + 1]));
            const auto blue = static_cast<PackedColor>(divide(sum[3 * x + 2]));
            out[x] = red | (green << 8) | (blue << 16);
        }
    }
}

#define STROBO_SCALE_CLONES STROBO_FUNCTION_CLONES("avx2", "default")

// The taps of one axis laid out with the same count K for every output pixel, so that the inner
// loops have a fixed length: output o reads source pixels start[o] .. start[o]+K-1, some with
// weight 0. Needs a source of at least K pixels.
struct FixedTaps {
    int k = 0;
    std::vector<std::int32_t> start;
    std::vector<std::uint32_t> weights;  // k per output
    // The same weights tap by tap: weight t of output o at t * outputs + o.
    std::vector<std::uint32_t> byTap;
};

FixedTaps fixTaps(const AxisTaps& taps, std::int32_t sourceLength) {
    FixedTaps fixed;
    for (std::int32_t c : taps.count) fixed.k = std::max(fixed.k, c);
    if (fixed.k == 0 || fixed.k > sourceLength) return {};
    const std::size_t outputs = taps.first.size();
    fixed.start.resize(outputs);
    fixed.weights.assign(outputs * static_cast<std::size_t>(fixed.k), 0);
    for (std::size_t o = 0; o < outputs; ++o) {
        const std::int32_t start = std::min(taps.first[o], sourceLength - fixed.k);
        fixed.start[o] = start;
        for (std::int32_t t = 0; t < taps.count[o]; ++t) {
            const std::size_t slot = static_cast<std::size_t>(taps.first[o] - start + t);
            fixed.weights[o * static_cast<std::size_t>(fixed.k) + slot] =
                static_cast<std::uint32_t>(
                    taps.weights[taps.offset[o] + static_cast<std::size_t>(t)]);
        }
    }
    fixed.byTap.resize(fixed.weights.size());
    for (std::size_t o = 0; o < outputs; ++o) {
        for (std::size_t t = 0; t < static_cast<std::size_t>(fixed.k); ++t) {
            fixed.byTap[t * outputs + o] = fixed.weights[o * static_cast<std::size_t>(fixed.k) + t];
        }
    }
    return fixed;
}

// One source row resampled horizontally into output columns left .. right-1, as three planes
// of unnormalised sums: red, green and blue, each right - left long. Red and blue travel
// together in one 64-bit word (red in the low half, blue in the high half): one multiplication
// weighs both. A half never overflows into the other, as a channel sum along one axis is at most
// 255 times that axis's denominator.
template <int K>
STROBO_SCALE_CLONES void resampleRowFixed(const PackedColor* src, const FixedTaps& taps,
                                          std::uint32_t* out, std::int32_t left,
                                          std::int32_t right) {
    const std::int32_t* start = taps.start.data() + left;
    const std::uint32_t* weights = taps.weights.data() + static_cast<std::size_t>(left) * K;
    const std::int32_t width = right - left;
    std::uint32_t* red = out;
    std::uint32_t* green = out + width;
    std::uint32_t* blue = out + 2 * static_cast<std::size_t>(width);
    for (std::int32_t o = 0; o < width; ++o) {
        const auto* p = reinterpret_cast<const std::uint32_t*>(src + start[o]);
        const std::uint32_t* w = weights + static_cast<std::size_t>(o) * K;
        std::uint64_t redBlue = 0;
        std::uint32_t greens = 0;
        for (int t = 0; t < K; ++t) {
            const std::uint32_t c = p[t];
            redBlue += ((c & 0xFFu) | (static_cast<std::uint64_t>(c & 0xFF0000u) << 16)) * w[t];
            greens += ((c >> 8) & 0xFFu) * w[t];
        }
        red[o] = static_cast<std::uint32_t>(redBlue);
        green[o] = greens;
        blue[o] = static_cast<std::uint32_t>(redBlue >> 32);
    }
}

#if STROBO_SCALE_GATHER
// resampleRowFixed for eight output pixels at a time: each tap's eight source pixels are
// gathered at once. The same integer sums, so the same bytes.
__attribute__((target("avx2"))) void resampleRowGathered(const PackedColor* src,
                                                         const FixedTaps& taps, std::uint32_t* out,
                                                         std::int32_t left, std::int32_t right) {
    const std::int32_t width = right - left;
    const std::size_t outputs = taps.start.size();
    std::uint32_t* red = out;
    std::uint32_t* green = out + width;
    std::uint32_t* blue = out + 2 * static_cast<std::size_t>(width);
    const auto* pixels = reinterpret_cast<const int*>(src);
    const __m256i byte = _mm256_set1_epi32(0xFF);
    std::int32_t o = 0;
    for (; o + 8 <= width; o += 8) {
        const std::size_t at = static_cast<std::size_t>(left + o);
        const __m256i first =
            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(taps.start.data() + at));
        __m256i r = _mm256_setzero_si256();
        __m256i g = _mm256_setzero_si256();
        __m256i b = _mm256_setzero_si256();
        for (int t = 0; t < taps.k; ++t) {
            const __m256i c =
                _mm256_i32gather_epi32(pixels, _mm256_add_epi32(first, _mm256_set1_epi32(t)), 4);
            const __m256i w = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(
                taps.byTap.data() + static_cast<std::size_t>(t) * outputs + at));
            r = _mm256_add_epi32(r, _mm256_mullo_epi32(_mm256_and_si256(c, byte), w));
            g = _mm256_add_epi32(
                g, _mm256_mullo_epi32(_mm256_and_si256(_mm256_srli_epi32(c, 8), byte), w));
            b = _mm256_add_epi32(
                b, _mm256_mullo_epi32(_mm256_and_si256(_mm256_srli_epi32(c, 16), byte), w));
        }
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(red + o), r);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(green + o), g);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(blue + o), b);
    }
    for (; o < width; ++o) {
        const std::size_t at = static_cast<std::size_t>(left + o);
        const auto* p = reinterpret_cast<const std::uint32_t*>(src + taps.start[at]);
        std::uint32_t sums[3] = {0, 0, 0};
        for (int t = 0; t < taps.k; ++t) {
            const std::uint32_t w = taps.byTap[static_cast<std::size_t>(t) * outputs + at];
            for (int channel = 0; channel < 3; ++channel) {
                sums[channel] += ((p[t] >> (8 * channel)) & 0xFFu) * w;
            }
        }
        red[o] = sums[0];
        green[o] = sums[1];
        blue[o] = sums[2];
    }
}
#endif

using FixedRowFunction = void (*)(const PackedColor*, const FixedTaps&, std::uint32_t*,
                                  std::int32_t, std::int32_t);

FixedRowFunction fixedRowFunction(int k) {
#if STROBO_SCALE_GATHER
    if (k >= 1 && __builtin_cpu_supports("avx2")) return &resampleRowGathered;
#endif
    switch (k) {
        case 1:
            return &resampleRowFixed<1>;
        case 2:
            return &resampleRowFixed<2>;
        case 3:
            return &resampleRowFixed<3>;
        case 4:
            return &resampleRowFixed<4>;
        default:
            return nullptr;
    }
}

STROBO_SCALE_CLONES void accumulate(std::uint32_t* total, const std::uint32_t* row,
                                    std::uint32_t weight, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) total[i] += weight * row[i];
}

// Rounded quotients by d of sums below 256 * d, where 257 * d fits 32 bits. A float product
// lands within one of the true quotient; two exact integer checks settle it.
STROBO_SCALE_CLONES void divideRow(const std::uint32_t* sum, std::uint32_t* quotient, std::size_t n,
                                   std::uint32_t d) {
    const std::uint32_t half = d / 2;
    const float inverse = 1.0f / static_cast<float>(d);
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint32_t x = sum[i] + half;
        std::uint32_t q = static_cast<std::uint32_t>(static_cast<float>(x) * inverse);
        q -= (q * d > x) ? 1u : 0u;
        q += ((q + 1) * d <= x) ? 1u : 0u;
        quotient[i] = q;
    }
}

// The 32-bit path with fixed tap counts; nullopt-like empty image when it does not apply.
bool scaleFixed(const PackedImage& src, const AxisTaps& across, const AxisTaps& down,
                const OutputPart& part, PackedImage& result) {
    const std::uint64_t denominator = across.denominator * down.denominator;
    if (denominator > std::uint64_t{0xFFFFFFFF} / 257) return false;
    const FixedTaps h = fixTaps(across, src.width);
    const FixedRowFunction resample = fixedRowFunction(h.k);
    if (!resample) return false;
    const auto d = static_cast<std::uint32_t>(denominator);
    const std::int32_t width = part.right - part.left;
    const std::size_t rowValues = static_cast<std::size_t>(width) * 3;

    std::array<std::vector<std::uint32_t>, 2> cached = {std::vector<std::uint32_t>(rowValues),
                                                        std::vector<std::uint32_t>(rowValues)};
    std::array<std::int32_t, 2> cachedRow = {-1, -1};
    std::vector<std::uint32_t> sum(rowValues);
    std::vector<std::uint32_t> quotient(rowValues);
    for (std::int32_t y = part.top; y < part.bottom; ++y) {
        std::fill(sum.begin(), sum.end(), 0u);
        const std::uint64_t* w = down.weights.data() + down.offset[y];
        for (std::int32_t t = 0; t < down.count[y]; ++t) {
            const std::int32_t sourceRow = down.first[y] + t;
            const std::size_t slot = static_cast<std::size_t>(sourceRow) % 2;
            if (cachedRow[slot] != sourceRow) {
                resample(src.row(sourceRow), h, cached[slot].data(), part.left, part.right);
                cachedRow[slot] = sourceRow;
            }
            accumulate(sum.data(), cached[slot].data(), static_cast<std::uint32_t>(w[t]),
                       rowValues);
        }
        divideRow(sum.data(), quotient.data(), rowValues, d);
        PackedColor* out = result.row(y) + part.left;
        const std::uint32_t* red = quotient.data();
        const std::uint32_t* green = red + width;
        const std::uint32_t* blue = green + width;
        for (std::int32_t x = 0; x < width; ++x) {
            out[x] = static_cast<PackedColor>(red[x] | (green[x] << 8) | (blue[x] << 16));
        }
    }
    return true;
}

}  // namespace

PackedImage scaleImage(const PackedImage& src, std::int32_t width, std::int32_t height) {
    return scaleImagePart(src, width, height, OutputPart{0, 0, width, height});
}

PackedImage scaleImagePart(const PackedImage& src, std::int32_t width, std::int32_t height,
                           OutputPart part) {
    if (width <= 0 || height <= 0 || src.isNull()) return PackedImage();
    PackedImage result(width, height, 0);
    part.left = std::clamp(part.left, 0, width);
    part.right = std::clamp(part.right, part.left, width);
    part.top = std::clamp(part.top, 0, height);
    part.bottom = std::clamp(part.bottom, part.top, height);
    if (part.left == part.right || part.top == part.bottom) return result;

    const AxisTaps across = makeAxisTaps(src.width, width);
    const AxisTaps down = makeAxisTaps(src.height, height);
    // Every sum is at most 255 times the denominator; 32-bit sums are twice as fast to add and
    // divide, and exact while that bound fits.
    const std::uint64_t denominator = across.denominator * down.denominator;
    if (scaleFixed(src, across, down, part, result)) return result;
    if (denominator <= std::uint64_t{0xFFFFFFFF} / 255) {
        scaleWith<std::uint32_t>(src, across, down, part, result);
    } else {
        scaleWith<std::uint64_t>(src, across, down, part, result);
    }
    return result;
}

std::pair<std::int32_t, std::int32_t> outputsFedOnlyBy(std::int32_t source, std::int32_t target,
                                                       std::int32_t begin, std::int32_t end) {
    if (source <= 0 || target <= 0 || begin >= end) return {0, 0};
    // The very taps scaleImage weighs with, so the answer cannot drift from the resampling.
    const AxisTaps taps = makeAxisTaps(source, target);
    std::int32_t first = -1;
    std::int32_t last = -1;
    for (std::int32_t o = 0; o < target; ++o) {
        const std::size_t at = static_cast<std::size_t>(o);
        const bool inside =
            taps.count[at] > 0 && taps.first[at] >= begin && taps.first[at] + taps.count[at] <= end;
        if (!inside) continue;
        if (first < 0) first = o;
        last = o;
    }
    if (first < 0) return {0, 0};
    return {first, last + 1};
}

}  // namespace strobo::engine
