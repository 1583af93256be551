#include "engine/fast_composition.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <type_traits>

#include "engine/function_clones.h"

#define STROBO_ROW_CLONES STROBO_FUNCTION_CLONES("avx512f", "avx2", "default")

namespace strobo::engine {

namespace {

// The fast form runs the table's channel functions on one of two number types. Channel values are
// 0-255 in both, so no calculation can overflow.
//
// ByteChannel holds a channel in a byte, for byte-wide vector lanes. A sum, difference or product
// of two bytes has no value of its own until a clamp brings it back into a byte; kept as its
// operands, each clamp becomes a form that stays in byte lanes. A row that needs other arithmetic
// does not compile with it and runs on LaneChannel instead.
struct ByteChannel {
    std::uint8_t value = 0;
};
struct ByteSum {
    std::uint8_t a;
    std::uint8_t b;
};
struct ByteDifference {
    std::uint8_t a;
    std::uint8_t b;
};
struct ByteProduct {
    std::uint8_t a;
    std::uint8_t b;
};

constexpr ByteSum operator+(ByteChannel a, ByteChannel b) {
    return {a.value, b.value};
}
constexpr ByteDifference operator-(ByteChannel a, ByteChannel b) {
    return {a.value, b.value};
}
constexpr ByteProduct operator*(ByteChannel a, ByteChannel b) {
    return {a.value, b.value};
}
constexpr bool operator<(ByteChannel a, ByteChannel b) {
    return a.value < b.value;
}
// A wrapped byte sum below a means the true sum passed 255.
constexpr ByteChannel atMost255(ByteSum s) {
    const auto sum = static_cast<std::uint8_t>(s.a + s.b);
    return {sum < s.a ? std::uint8_t{255} : sum};
}
constexpr ByteChannel atLeast0(ByteDifference d) {
    return {static_cast<std::uint8_t>(std::max(d.a, d.b) - d.b)};
}
constexpr ByteChannel atMost255(ByteProduct p) {
    return {static_cast<std::uint8_t>(
        std::min(static_cast<std::uint16_t>(p.a * p.b), std::uint16_t{255}))};
}

// LaneChannel holds a channel in a 32-bit lane.
struct LaneChannel {
    std::int32_t value = 0;
};
// A quotient of two channels is never negative, so its clamp at 0 costs nothing.
struct LaneQuotient {
    std::int32_t value;
};

constexpr LaneChannel operator+(LaneChannel a, LaneChannel b) {
    return {a.value + b.value};
}
constexpr LaneChannel operator-(LaneChannel a, LaneChannel b) {
    return {a.value - b.value};
}
constexpr LaneChannel operator*(LaneChannel a, LaneChannel b) {
    return {a.value * b.value};
}
// For a, b in 1-255 the single-precision quotient truncates to the exact integer quotient: a
// non-integral a/b lies at least 1/b >= 1/255 below the next integer, far more than one unit in
// the last place of a float near 255. Floats vectorise where integer division does not. The
// lanes compute the quotient even where the row then takes 0, so a zero divisor divides by 1
// instead of giving an infinity that has no integer value.
constexpr LaneQuotient operator/(LaneChannel a, LaneChannel b) {
    const std::int32_t divisor = b.value | static_cast<std::int32_t>(b.value == 0);
    return {static_cast<std::int32_t>(static_cast<float>(a.value) / static_cast<float>(divisor))};
}
constexpr bool operator<(LaneChannel a, LaneChannel b) {
    return a.value < b.value;
}
constexpr bool operator==(LaneChannel a, int b) {
    return a.value == b;
}
constexpr LaneChannel atMost255(LaneChannel c) {
    return {std::min(c.value, 255)};
}
constexpr LaneChannel atLeast0(LaneChannel c) {
    return {std::max(c.value, 0)};
}
constexpr LaneChannel atLeast0(LaneQuotient q) {
    return {q.value};
}

template <class Row>
constexpr std::uint8_t applyByte(std::uint8_t a, std::uint8_t b) {
    return Row::channel(ByteChannel{a}, ByteChannel{b}).value;
}

// A channel row applied to a whole packed colour, one channel in each 32-bit lane.
template <class Row>
struct Channelwise {
    static constexpr std::int32_t channel(std::int32_t a, std::int32_t b) {
        return Row::channel(LaneChannel{a}, LaneChannel{b}).value;
    }
    static PackedColor apply(PackedColor a, PackedColor b) {
        const std::int32_t red = channel(a & 255, b & 255);
        const std::int32_t green = channel((a >> 8) & 255, (b >> 8) & 255);
        const std::int32_t blue = channel((a >> 16) & 255, (b >> 16) & 255);
        return red | (green << 8) | (blue << 16);
    }
};

template <class Row>
struct WholeColour {
    static PackedColor apply(PackedColor a, PackedColor b) { return Row::colour(a, b); }
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

template <class Row>
STROBO_ROW_CLONES void bytesPiece(const std::uint8_t* pa, const std::uint8_t* pb, std::uint8_t* pc,
                                  std::ptrdiff_t bytes) {
    for (std::ptrdiff_t i = 0; i < bytes; ++i) pc[i] = applyByte<Row>(pa[i], pb[i]);
}

// Outside points read as -1, whose channel bytes are all 255.
template <class Row>
STROBO_ROW_CLONES void bytesPieceOnlyA(const std::uint8_t* pa, std::uint8_t* pc,
                                       std::ptrdiff_t bytes) {
    for (std::ptrdiff_t i = 0; i < bytes; ++i) pc[i] = applyByte<Row>(pa[i], 255);
}

template <class Row>
STROBO_ROW_CLONES void bytesPieceOnlyB(const std::uint8_t* pb, std::uint8_t* pc,
                                       std::ptrdiff_t bytes) {
    for (std::ptrdiff_t i = 0; i < bytes; ++i) pc[i] = applyByte<Row>(255, pb[i]);
}

const std::uint8_t* bytesOf(const PackedColor* p) {
    return reinterpret_cast<const std::uint8_t*>(p);
}
std::uint8_t* bytesOf(PackedColor* p) {
    return reinterpret_cast<std::uint8_t*>(p);
}

template <class Row>
void bytesBoth(const PackedColor* a, const PackedColor* b, PackedColor* c, std::ptrdiff_t n) {
    for (std::ptrdiff_t i = 0; i < n; i += kBytePiece) {
        const std::ptrdiff_t piece = std::min(kBytePiece, n - i);
        bytesPiece<Row>(bytesOf(a + i), bytesOf(b + i), bytesOf(c + i), 4 * piece);
        clearUnusedBytes(c + i, piece);
    }
}

template <class Row>
void bytesOnlyA(const PackedColor* a, PackedColor, PackedColor* c, std::ptrdiff_t n) {
    for (std::ptrdiff_t i = 0; i < n; i += kBytePiece) {
        const std::ptrdiff_t piece = std::min(kBytePiece, n - i);
        bytesPieceOnlyA<Row>(bytesOf(a + i), bytesOf(c + i), 4 * piece);
        clearUnusedBytes(c + i, piece);
    }
}

template <class Row>
void bytesOnlyB(PackedColor, const PackedColor* b, PackedColor* c, std::ptrdiff_t n) {
    for (std::ptrdiff_t i = 0; i < n; i += kBytePiece) {
        const std::ptrdiff_t piece = std::min(kBytePiece, n - i);
        bytesPieceOnlyB<Row>(bytesOf(b + i), bytesOf(c + i), 4 * piece);
        clearUnusedBytes(c + i, piece);
    }
}

// Division has no byte form: it would widen every byte to a float lane, the unused fourth byte
// included, and does better on the three channels in 32-bit lanes.
template <class Row>
constexpr bool kRunsInByteLanes =
    std::endian::native == std::endian::little && !std::is_same_v<Row, operations::Divide>;

template <class Row>
constexpr RowFunctions rowFunctionsFor() {
    if constexpr (operations::WholeColourRow<Row>) {
        return rowFunctions<WholeColour<Row>>();
    } else if constexpr (kRunsInByteLanes<Row>) {
        return {&bytesBoth<Row>, &bytesOnlyA<Row>, &bytesOnlyB<Row>, &Channelwise<Row>::apply};
    } else {
        return rowFunctions<Channelwise<Row>>();
    }
}

constexpr auto kRowFunctions = operations::byValue<RowFunctions>(
    operations::AllRows{}, [](auto row) { return rowFunctionsFor<decltype(row)>(); });
constexpr RowFunctions kNoSelectionRowFunctions = rowFunctionsFor<operations::NoSelection>();
constexpr RowFunctions kPastTheListRowFunctions = rowFunctionsFor<operations::PastTheList>();

const RowFunctions& rowFunctionsFor(CompositionOperation op) {
    if (op < 0) return kNoSelectionRowFunctions;
    if (op >= kOperationCount) return kPastTheListRowFunctions;
    return kRowFunctions[op];
}

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

    const RowFunctions& f = rowFunctionsFor(op);
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

void composeRunFast(const PackedColor* a, const PackedColor* b, PackedColor* c, std::ptrdiff_t n,
                    CompositionOperation op) {
    if (n > 0) rowFunctionsFor(op).both(a, b, c, n);
}

}  // namespace strobo::engine
