#include "engine/fast_composition.h"

#include <algorithm>
#include <bit>
#include <cstddef>

// Row loops get an AVX2 twin chosen at load time where the toolchain supports function clones.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && defined(__linux__)
#define STROBO_ROW_CLONES __attribute__((target_clones("avx512f", "avx2", "default")))
#else
#define STROBO_ROW_CLONES
#endif

namespace strobo::engine {

namespace {

enum class PixelOperation {
    Rebuild,  // any negative value: A's colour with bits 24-31 cleared
    Add,
    Subtract,
    Multiply,
    Divide,
    ChannelMax,
    ChannelMin,
    Max,
    Min,
    CopyA,  // 8 and above: A's value as read
    Count,
};

PixelOperation pixelOperationFor(CompositionOperation op) {
    if (op < 0) return PixelOperation::Rebuild;
    if (op >= kOperationCount) return PixelOperation::CopyA;
    return static_cast<PixelOperation>(op + 1);
}

// Channel functions see values 0-255 only, so none of them can overflow and every result stays in
// 0-255.
struct AddChannel {
    static std::int32_t apply(std::int32_t a, std::int32_t b) { return std::min(a + b, 255); }
    // A wrapped byte sum below a means the true sum passed 255.
    static std::uint8_t applyByte(std::uint8_t a, std::uint8_t b) {
        const auto sum = static_cast<std::uint8_t>(a + b);
        return sum < a ? std::uint8_t{255} : sum;
    }
};
struct SubtractChannel {
    static std::int32_t apply(std::int32_t a, std::int32_t b) { return std::max(a - b, 0); }
    static std::uint8_t applyByte(std::uint8_t a, std::uint8_t b) {
        return static_cast<std::uint8_t>(std::max(a, b) - b);
    }
};
struct MultiplyChannel {
    static std::int32_t apply(std::int32_t a, std::int32_t b) { return std::min(a * b, 255); }
    static std::uint8_t applyByte(std::uint8_t a, std::uint8_t b) {
        return static_cast<std::uint8_t>(
            std::min(static_cast<std::uint16_t>(a * b), std::uint16_t{255}));
    }
};
struct DivideChannel {
    // For a, b in 1-255 the single-precision quotient truncates to the exact integer quotient: a
    // non-integral a/b lies at least 1/b >= 1/255 below the next integer, far more than one unit
    // in the last place of a float near 255. Floats vectorise where integer division does not.
    // A zero a needs no case of its own (0 / b is 0); a zero b divides by 1 and is then masked.
    static std::int32_t apply(std::int32_t a, std::int32_t b) {
        const std::int32_t divisor = b | static_cast<std::int32_t>(b == 0);
        const auto q =
            static_cast<std::int32_t>(static_cast<float>(a) / static_cast<float>(divisor));
        return q & -static_cast<std::int32_t>(b != 0);
    }
};
struct MaxChannel {
    static std::int32_t apply(std::int32_t a, std::int32_t b) { return std::max(a, b); }
    static std::uint8_t applyByte(std::uint8_t a, std::uint8_t b) { return std::max(a, b); }
};
struct MinChannel {
    static std::int32_t apply(std::int32_t a, std::int32_t b) { return std::min(a, b); }
    static std::uint8_t applyByte(std::uint8_t a, std::uint8_t b) { return std::min(a, b); }
};

template <class Channel>
struct Channelwise {
    static std::int32_t apply(std::int32_t a, std::int32_t b) {
        const std::int32_t red = Channel::apply(a & 255, b & 255);
        const std::int32_t green = Channel::apply((a >> 8) & 255, (b >> 8) & 255);
        const std::int32_t blue = Channel::apply((a >> 16) & 255, (b >> 16) & 255);
        return red | (green << 8) | (blue << 16);
    }
};

struct RebuildPixel {
    static std::int32_t apply(std::int32_t a, std::int32_t) { return a & 0xFFFFFF; }
};
struct MaxPixel {
    static std::int32_t apply(std::int32_t a, std::int32_t b) { return std::max(a, b); }
};
struct MinPixel {
    static std::int32_t apply(std::int32_t a, std::int32_t b) { return std::min(a, b); }
};
struct CopyPixel {
    static std::int32_t apply(std::int32_t a, std::int32_t) { return a; }
};

// Each row of the visited rectangle falls into segments where A and B are each wholly inside or
// wholly outside their surface; outside points read as the constant -1, so each segment runs one
// of these loops without any per-pixel test.
struct RowFunctions {
    void (*both)(const PackedColor* a, const PackedColor* b, PackedColor* c, std::ptrdiff_t n);
    void (*onlyA)(const PackedColor* a, PackedColor b, PackedColor* c, std::ptrdiff_t n);
    void (*onlyB)(PackedColor a, const PackedColor* b, PackedColor* c, std::ptrdiff_t n);
    PackedColor (*pixel)(PackedColor a, PackedColor b);
};

template <class Op>
STROBO_ROW_CLONES void rowBoth(const PackedColor* a, const PackedColor* b, PackedColor* c,
                               std::ptrdiff_t n) {
    for (std::ptrdiff_t i = 0; i < n; ++i) c[i] = Op::apply(a[i], b[i]);
}

template <class Op>
STROBO_ROW_CLONES void rowOnlyA(const PackedColor* a, PackedColor b, PackedColor* c,
                                std::ptrdiff_t n) {
    for (std::ptrdiff_t i = 0; i < n; ++i) c[i] = Op::apply(a[i], b);
}

template <class Op>
STROBO_ROW_CLONES void rowOnlyB(PackedColor a, const PackedColor* b, PackedColor* c,
                                std::ptrdiff_t n) {
    for (std::ptrdiff_t i = 0; i < n; ++i) c[i] = Op::apply(a, b[i]);
}

template <class Op>
constexpr RowFunctions rowFunctions() {
    return {&rowBoth<Op>, &rowOnlyA<Op>, &rowOnlyB<Op>, &Op::apply};
}

// On a little-endian machine a packed colour is the bytes red, green, blue, unused in memory, so
// a channel operation can run over the row as a flat byte sequence: byte-wide lanes pack four
// times as many channels into a vector as 32-bit lanes do. The unused byte is cleared by a second
// pass over the same short piece while it is still in the first-level cache.
constexpr std::ptrdiff_t kBytePiece = 512;

STROBO_ROW_CLONES void clearUnusedBytes(PackedColor* c, std::ptrdiff_t n) {
    for (std::ptrdiff_t i = 0; i < n; ++i) c[i] &= 0xFFFFFF;
}

template <class Channel>
STROBO_ROW_CLONES void bytesPiece(const std::uint8_t* pa, const std::uint8_t* pb, std::uint8_t* pc,
                                  std::ptrdiff_t bytes) {
    for (std::ptrdiff_t i = 0; i < bytes; ++i) pc[i] = Channel::applyByte(pa[i], pb[i]);
}

// Outside points read as -1, whose channel bytes are all 255.
template <class Channel>
STROBO_ROW_CLONES void bytesPieceOnlyA(const std::uint8_t* pa, std::uint8_t* pc,
                                       std::ptrdiff_t bytes) {
    for (std::ptrdiff_t i = 0; i < bytes; ++i) pc[i] = Channel::applyByte(pa[i], 255);
}

template <class Channel>
STROBO_ROW_CLONES void bytesPieceOnlyB(const std::uint8_t* pb, std::uint8_t* pc,
                                       std::ptrdiff_t bytes) {
    for (std::ptrdiff_t i = 0; i < bytes; ++i) pc[i] = Channel::applyByte(255, pb[i]);
}

const std::uint8_t* bytesOf(const PackedColor* p) {
    return reinterpret_cast<const std::uint8_t*>(p);
}
std::uint8_t* bytesOf(PackedColor* p) {
    return reinterpret_cast<std::uint8_t*>(p);
}

template <class Channel>
void bytesBoth(const PackedColor* a, const PackedColor* b, PackedColor* c, std::ptrdiff_t n) {
    for (std::ptrdiff_t i = 0; i < n; i += kBytePiece) {
        const std::ptrdiff_t piece = std::min(kBytePiece, n - i);
        bytesPiece<Channel>(bytesOf(a + i), bytesOf(b + i), bytesOf(c + i), 4 * piece);
        clearUnusedBytes(c + i, piece);
    }
}

template <class Channel>
void bytesOnlyA(const PackedColor* a, PackedColor, PackedColor* c, std::ptrdiff_t n) {
    for (std::ptrdiff_t i = 0; i < n; i += kBytePiece) {
        const std::ptrdiff_t piece = std::min(kBytePiece, n - i);
        bytesPieceOnlyA<Channel>(bytesOf(a + i), bytesOf(c + i), 4 * piece);
        clearUnusedBytes(c + i, piece);
    }
}

template <class Channel>
void bytesOnlyB(PackedColor, const PackedColor* b, PackedColor* c, std::ptrdiff_t n) {
    for (std::ptrdiff_t i = 0; i < n; i += kBytePiece) {
        const std::ptrdiff_t piece = std::min(kBytePiece, n - i);
        bytesPieceOnlyB<Channel>(bytesOf(b + i), bytesOf(c + i), 4 * piece);
        clearUnusedBytes(c + i, piece);
    }
}

template <class Channel>
constexpr RowFunctions channelRowFunctions() {
    if constexpr (std::endian::native == std::endian::little) {
        return {&bytesBoth<Channel>, &bytesOnlyA<Channel>, &bytesOnlyB<Channel>,
                &Channelwise<Channel>::apply};
    } else {
        return rowFunctions<Channelwise<Channel>>();
    }
}

constexpr RowFunctions kRowFunctions[static_cast<int>(PixelOperation::Count)] = {
    rowFunctions<RebuildPixel>(),
    channelRowFunctions<AddChannel>(),
    channelRowFunctions<SubtractChannel>(),
    channelRowFunctions<MultiplyChannel>(),
    rowFunctions<Channelwise<DivideChannel>>(),
    channelRowFunctions<MaxChannel>(),
    channelRowFunctions<MinChannel>(),
    rowFunctions<MaxPixel>(),
    rowFunctions<MinPixel>(),
    rowFunctions<CopyPixel>(),
};

constexpr PackedColor kOutside = -1;

// How many of the first `limit` points of row y lie on the image.
std::ptrdiff_t insideSpan(const PackedImage& image, std::int32_t y, std::ptrdiff_t limit) {
    if (y >= image.height || image.width <= 0) return 0;
    return std::min<std::ptrdiff_t>(image.width, limit);
}

}  // namespace

void composeImagesFast(const PackedImage& a, const PackedImage& b, PackedImage& c,
                       std::int32_t width, std::int32_t height, CompositionOperation op) {
    compositionBufferBound(width, height);
    const std::ptrdiff_t columns = std::min(width, c.width);
    const std::int32_t rows = std::min(height, c.height);
    if (columns <= 0 || rows <= 0) return;

    const RowFunctions& f = kRowFunctions[static_cast<int>(pixelOperationFor(op))];
    const PackedColor bothOutside = f.pixel(kOutside, kOutside);

    for (std::int32_t y = 0; y < rows; ++y) {
        PackedColor* out = c.row(y);
        const std::ptrdiff_t aSpan = insideSpan(a, y, columns);
        const std::ptrdiff_t bSpan = insideSpan(b, y, columns);
        const std::ptrdiff_t common = std::min(aSpan, bSpan);
        const std::ptrdiff_t either = std::max(aSpan, bSpan);
        if (common > 0) f.both(a.row(y), b.row(y), out, common);
        if (aSpan > common) f.onlyA(a.row(y) + common, kOutside, out + common, aSpan - common);
        if (bSpan > common) f.onlyB(kOutside, b.row(y) + common, out + common, bSpan - common);
        std::fill(out + either, out + columns, bothOutside);
    }
}

}  // namespace strobo::engine
