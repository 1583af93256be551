#include "engine/scaling.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <optional>
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
    // Every weight is below 2^15.
    bool smallWeights = false;
    // The source's length along the axis.
    std::int32_t sourceLength = 0;
};

FixedTaps fixTaps(const AxisTaps& taps, std::int32_t sourceLength) {
    FixedTaps fixed;
    for (std::int32_t c : taps.count) fixed.k = std::max(fixed.k, c);
    if (fixed.k == 0 || fixed.k > sourceLength) return {};
    fixed.sourceLength = sourceLength;
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
    fixed.smallWeights = std::all_of(fixed.weights.begin(), fixed.weights.end(),
                                     [](std::uint32_t w) { return w < 0x8000u; });
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
// gathered at once. Weights below 2^15 are multiplied as 16-bit pairs (one weight beside a
// zero), which takes a third of the work of 32-bit products; the sums are the same integers,
// so the same bytes.
__attribute__((target("avx2"))) void resampleRowGathered(const PackedColor* src,
                                                         const FixedTaps& taps, std::uint32_t* out,
                                                         std::int32_t left, std::int32_t right) {
    const std::int32_t width = right - left;
    const std::size_t outputs = taps.start.size();
    std::uint32_t* red = out;
    std::uint32_t* green = out + width;
    std::uint32_t* blue = out + 2 * static_cast<std::size_t>(width);
    const auto* pixels = reinterpret_cast<const int*>(src);
    const __m256i redBlueBytes = _mm256_set1_epi32(0x00FF00FF);
    const __m256i byte = _mm256_set1_epi32(0xFF);
    std::int32_t o = 0;
    for (; o + 8 <= width; o += 8) {
        const std::size_t at = static_cast<std::size_t>(left + o);
        const __m256i first =
            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(taps.start.data() + at));
        __m256i r = _mm256_setzero_si256();
        __m256i g = _mm256_setzero_si256();
        __m256i b = _mm256_setzero_si256();
        // When the eight outputs read within sixteen pixels of the first one's start, those are
        // loaded once and picked out by permutation: far cheaper than a gather, which many
        // processors now run slowly to keep its data from leaking.
        const std::int32_t base = taps.start[at];
        const __m256i relative = _mm256_sub_epi32(first, _mm256_set1_epi32(base));
        const bool nearby =
            base + 16 <= taps.sourceLength &&
            _mm256_testz_si256(
                _mm256_or_si256(_mm256_cmpgt_epi32(relative, _mm256_set1_epi32(16 - taps.k)),
                                _mm256_cmpgt_epi32(_mm256_setzero_si256(), relative)),
                _mm256_set1_epi32(-1));
        const __m256i low =
            nearby ? _mm256_loadu_si256(reinterpret_cast<const __m256i*>(pixels + base))
                   : _mm256_setzero_si256();
        const __m256i high =
            nearby ? _mm256_loadu_si256(reinterpret_cast<const __m256i*>(pixels + base + 8))
                   : _mm256_setzero_si256();
        for (int t = 0; t < taps.k; ++t) {
            const __m256i index = _mm256_add_epi32(relative, _mm256_set1_epi32(t));
            const __m256i c =
                nearby ? _mm256_blendv_epi8(_mm256_permutevar8x32_epi32(low, index),
                                            _mm256_permutevar8x32_epi32(high, index),
                                            _mm256_cmpgt_epi32(index, _mm256_set1_epi32(7)))
                       : _mm256_i32gather_epi32(pixels,
                                                _mm256_add_epi32(first, _mm256_set1_epi32(t)), 4);
            const __m256i w = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(
                taps.byTap.data() + static_cast<std::size_t>(t) * outputs + at));
            if (taps.smallWeights) {
                // Red and blue as the two 16-bit halves of each pixel, green alone in the low one.
                const __m256i redBlue = _mm256_and_si256(c, redBlueBytes);
                const __m256i gr = _mm256_and_si256(_mm256_srli_epi32(c, 8), byte);
                r = _mm256_add_epi32(r, _mm256_madd_epi16(redBlue, w));
                b = _mm256_add_epi32(b, _mm256_madd_epi16(redBlue, _mm256_slli_epi32(w, 16)));
                g = _mm256_add_epi32(g, _mm256_madd_epi16(gr, w));
                continue;
            }
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

// divideRow for eight sums, each below 2^31 with half of d added, as are their quotients' and
// the next numbers' products with d.
__attribute__((target("avx2"), always_inline)) inline __m256i divideEight(__m256i sum, __m256i half,
                                                                          __m256i divisor,
                                                                          __m256 inverse) {
    const __m256i x = _mm256_add_epi32(sum, half);
    __m256i q = _mm256_cvttps_epi32(_mm256_mul_ps(_mm256_cvtepi32_ps(x), inverse));
    // q - 1 where q d > x, then q + 1 where (q + 1) d <= x.
    q = _mm256_add_epi32(q, _mm256_cmpgt_epi32(_mm256_mullo_epi32(q, divisor), x));
    const __m256i up = _mm256_add_epi32(q, _mm256_set1_epi32(1));
    const __m256i over = _mm256_cmpgt_epi32(_mm256_mullo_epi32(up, divisor), x);
    return _mm256_sub_epi32(q, _mm256_xor_si256(over, _mm256_set1_epi32(-1)));
}

// The vertical pass of one output row in one go: the weighed sum of the row's (at most four)
// horizontally resampled source rows, divided as divideRow divides and packed, eight pixels at
// a time. Needs every sum plus half the denominator below 2^31, so that the signed
// instructions see the same numbers.
__attribute__((target("avx2"))) void finishRowGathered(const std::uint32_t* const* rows,
                                                       const std::uint32_t* weights, int count,
                                                       std::int32_t width, std::uint32_t d,
                                                       PackedColor* out) {
    const __m256i half = _mm256_set1_epi32(static_cast<int>(d / 2));
    const __m256i divisor = _mm256_set1_epi32(static_cast<int>(d));
    const __m256 inverse = _mm256_set1_ps(1.0f / static_cast<float>(d));
    const std::size_t plane = static_cast<std::size_t>(width);
    std::int32_t x = 0;
    for (; x + 8 <= width; x += 8) {
        __m256i sums[3] = {_mm256_setzero_si256(), _mm256_setzero_si256(), _mm256_setzero_si256()};
        for (int t = 0; t < count; ++t) {
            const __m256i w = _mm256_set1_epi32(static_cast<int>(weights[t]));
            for (int channel = 0; channel < 3; ++channel) {
                const __m256i v = _mm256_loadu_si256(
                    reinterpret_cast<const __m256i*>(rows[t] + channel * plane + x));
                sums[channel] = _mm256_add_epi32(sums[channel], _mm256_mullo_epi32(v, w));
            }
        }
        const __m256i packed = _mm256_or_si256(
            divideEight(sums[0], half, divisor, inverse),
            _mm256_or_si256(_mm256_slli_epi32(divideEight(sums[1], half, divisor, inverse), 8),
                            _mm256_slli_epi32(divideEight(sums[2], half, divisor, inverse), 16)));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + x), packed);
    }
    const std::uint32_t halfScalar = d / 2;
    for (; x < width; ++x) {
        std::uint32_t colour = 0;
        for (int channel = 0; channel < 3; ++channel) {
            std::uint32_t sum = 0;
            for (int t = 0; t < count; ++t) sum += weights[t] * rows[t][channel * plane + x];
            colour |= ((sum + halfScalar) / d) << (8 * channel);
        }
        out[x] = static_cast<PackedColor>(colour);
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

// Taps for a source of which only a window is given: the positions of the outputs in
// [begin, end) made relative to the window's origin, every other output without taps. False
// when an output of the run needs a pixel outside the window.
bool shiftTaps(AxisTaps& taps, std::int32_t origin, std::int32_t length, std::int32_t begin,
               std::int32_t end) {
    for (std::size_t o = 0; o < taps.first.size(); ++o) {
        const auto output = static_cast<std::int32_t>(o);
        if (output < begin || output >= end) {
            taps.first[o] = 0;
            taps.count[o] = 0;
            continue;
        }
        if (taps.count[o] == 0) continue;
        taps.first[o] -= origin;
        if (taps.first[o] < 0 || taps.first[o] + taps.count[o] > length) return false;
    }
    return true;
}

// Everything a resampling works out before it reads a pixel. A frame after frame of one size
// needs the same each time, so the last one is kept.
struct ScalePlan {
    struct Key {
        std::int32_t sourceWidth = 0, sourceHeight = 0, width = 0, height = 0;
        std::int32_t left = 0, top = 0, windowWidth = 0, windowHeight = 0;
        std::int32_t partLeft = 0, partTop = 0, partRight = 0, partBottom = 0;
        bool operator==(const Key&) const = default;
    };
    Key key;
    bool fits = false;
    AxisTaps across;
    AxisTaps down;
    FixedTaps fixed;
};

const ScalePlan& planFor(const ScalePlan::Key& key) {
    thread_local ScalePlan plan;
    thread_local bool made = false;
    if (made && plan.key == key) return plan;
    made = false;
    plan.key = key;
    plan.across = makeAxisTaps(key.sourceWidth, key.width);
    plan.down = makeAxisTaps(key.sourceHeight, key.height);
    plan.fits = shiftTaps(plan.across, key.left, key.windowWidth, key.partLeft, key.partRight) &&
                shiftTaps(plan.down, key.top, key.windowHeight, key.partTop, key.partBottom);
    plan.fixed = plan.fits ? fixTaps(plan.across, key.windowWidth) : FixedTaps{};
    made = true;
    return plan;
}

// The 32-bit path with fixed tap counts; false when it does not apply.
bool scaleFixed(const PackedImage& src, const ScalePlan& plan, const OutputPart& part,
                PackedImage& result) {
    const AxisTaps& down = plan.down;
    const std::uint64_t denominator = plan.across.denominator * down.denominator;
    if (denominator > std::uint64_t{0xFFFFFFFF} / 257) return false;
    const FixedTaps& h = plan.fixed;
    const FixedRowFunction resample = fixedRowFunction(h.k);
    if (!resample) return false;
    const auto d = static_cast<std::uint32_t>(denominator);
    const std::int32_t width = part.right - part.left;
    const std::size_t rowValues = static_cast<std::size_t>(width) * 3;
#if STROBO_SCALE_GATHER
    // Sums up to 255 d, quotients up to 256 and their products with d stay below 2^31.
    const bool finishAtOnce =
        resample == &resampleRowGathered && denominator <= std::uint64_t{0x7FFFFFFF} / 260;
#else
    constexpr bool finishAtOnce = false;
#endif

    thread_local std::array<std::vector<std::uint32_t>, 4> cached;
    std::array<std::int32_t, 4> cachedRow = {-1, -1, -1, -1};
    for (auto& row : cached) row.resize(rowValues);
    thread_local std::vector<std::uint32_t> sum;
    thread_local std::vector<std::uint32_t> quotient;
    sum.resize(rowValues);
    quotient.resize(rowValues);
    // A source row feeds up to four output rows: it is resampled once and kept in its slot.
    const auto resampledRow = [&](std::int32_t sourceRow) -> const std::uint32_t* {
        const std::size_t slot = static_cast<std::size_t>(sourceRow) % 4;
        if (cachedRow[slot] != sourceRow) {
            resample(src.row(sourceRow), h, cached[slot].data(), part.left, part.right);
            cachedRow[slot] = sourceRow;
        }
        return cached[slot].data();
    };
    for (std::int32_t y = part.top; y < part.bottom; ++y) {
        const std::uint64_t* w = down.weights.data() + down.offset[y];
        const std::int32_t count = down.count[y];
        PackedColor* out = result.row(y) + part.left;
        if (finishAtOnce && count <= 4) {
#if STROBO_SCALE_GATHER
            const std::uint32_t* rows[4] = {};
            std::uint32_t weights[4] = {};
            for (std::int32_t t = 0; t < count; ++t) {
                rows[t] = resampledRow(down.first[y] + t);
                weights[t] = static_cast<std::uint32_t>(w[t]);
            }
            finishRowGathered(rows, weights, count, width, d, out);
#endif
            continue;
        }
        std::fill(sum.begin(), sum.end(), 0u);
        for (std::int32_t t = 0; t < count; ++t) {
            accumulate(sum.data(), resampledRow(down.first[y] + t),
                       static_cast<std::uint32_t>(w[t]), rowValues);
        }
        divideRow(sum.data(), quotient.data(), rowValues, d);
        const std::uint32_t* red = quotient.data();
        const std::uint32_t* green = red + width;
        const std::uint32_t* blue = green + width;
        for (std::int32_t x = 0; x < width; ++x) {
            out[x] = static_cast<PackedColor>(red[x] | (green[x] << 8) | (blue[x] << 16));
        }
    }
    return true;
}

OutputPart clampedPart(OutputPart part, std::int32_t width, std::int32_t height) {
    part.left = std::clamp(part.left, 0, width);
    part.right = std::clamp(part.right, part.left, width);
    part.top = std::clamp(part.top, 0, height);
    part.bottom = std::clamp(part.bottom, part.top, height);
    return part;
}

// scaleWindowPart into `result`, already width x height; false when the window does not hold
// every source pixel of the part.
bool scaleWindowInto(const PackedImage& window, std::int32_t left, std::int32_t top,
                     std::int32_t sourceWidth, std::int32_t sourceHeight, OutputPart part,
                     PackedImage& result) {
    const ScalePlan& plan =
        planFor({sourceWidth, sourceHeight, result.width, result.height, left, top, window.width,
                 window.height, part.left, part.top, part.right, part.bottom});
    if (!plan.fits) return false;
    // Every sum is at most 255 times the denominator; 32-bit sums are twice as fast to add and
    // divide, and exact while that bound fits.
    const std::uint64_t denominator = plan.across.denominator * plan.down.denominator;
    if (scaleFixed(window, plan, part, result)) return true;
    if (denominator <= std::uint64_t{0xFFFFFFFF} / 255) {
        scaleWith<std::uint32_t>(window, plan.across, plan.down, part, result);
    } else {
        scaleWith<std::uint64_t>(window, plan.across, plan.down, part, result);
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
    part = clampedPart(part, width, height);
    if (part.left == part.right || part.top == part.bottom) return result;
    scaleWindowInto(src, 0, 0, src.width, src.height, part, result);
    return result;
}

bool scaleWindowPartInto(const PackedImage& window, std::int32_t left, std::int32_t top,
                         std::int32_t sourceWidth, std::int32_t sourceHeight, OutputPart part,
                         PackedImage& result) {
    if (result.isNull() || window.isNull() || sourceWidth <= 0 || sourceHeight <= 0) return false;
    part = clampedPart(part, result.width, result.height);
    if (part.left == part.right || part.top == part.bottom) return true;
    return scaleWindowInto(window, left, top, sourceWidth, sourceHeight, part, result);
}

std::pair<std::int32_t, std::int32_t> outputsFedOnlyBy(std::int32_t source, std::int32_t target,
                                                       std::int32_t begin, std::int32_t end) {
    if (source <= 0 || target <= 0 || begin >= end) return {0, 0};
    // The very taps scaleImage weighs with, so the answer cannot drift from the resampling.
    // A frame asks the same two questions, one per axis, frame after frame.
    struct Answer {
        std::int32_t source = 0, target = 0, begin = 0, end = 0;
        std::pair<std::int32_t, std::int32_t> run;
    };
    thread_local std::array<Answer, 2> answers;
    thread_local std::size_t nextAnswer = 0;
    for (const Answer& answer : answers) {
        if (answer.source == source && answer.target == target && answer.begin == begin &&
            answer.end == end) {
            return answer.run;
        }
    }
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
    const std::pair<std::int32_t, std::int32_t> run =
        first < 0 ? std::pair<std::int32_t, std::int32_t>{0, 0} : std::pair{first, last + 1};
    answers[nextAnswer] = Answer{source, target, begin, end, run};
    nextAnswer = (nextAnswer + 1) % answers.size();
    return run;
}

}  // namespace strobo::engine
