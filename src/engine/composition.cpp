#include "engine/composition.h"

#include <algorithm>
#include <cctype>
#include <limits>
#include <vector>

namespace strobo::engine {

namespace {

[[noreturn]] void throwOverflow() {
    throw EngineError("演算で桁あふれが発生しました");
}

std::int32_t checkedAdd(std::int32_t a, std::int32_t b) {
    std::int32_t r;
    if (__builtin_add_overflow(a, b, &r)) throwOverflow();
    return r;
}

std::int32_t checkedSub(std::int32_t a, std::int32_t b) {
    std::int32_t r;
    if (__builtin_sub_overflow(a, b, &r)) throwOverflow();
    return r;
}

std::int32_t checkedMul(std::int32_t a, std::int32_t b) {
    std::int32_t r;
    if (__builtin_mul_overflow(a, b, &r)) throwOverflow();
    return r;
}

std::int16_t toInt16(std::int32_t v) {
    if (v < std::numeric_limits<std::int16_t>::min() ||
        v > std::numeric_limits<std::int16_t>::max())
        throwOverflow();
    return static_cast<std::int16_t>(v);
}

// The number type the reference form runs the table's channel functions on: signed 32-bit, where
// an overflow is an error as it is for every other integer calculation here.
struct CheckedChannel {
    std::int32_t value = 0;

    friend CheckedChannel operator+(CheckedChannel a, CheckedChannel b) {
        return {checkedAdd(a.value, b.value)};
    }
    friend CheckedChannel operator-(CheckedChannel a, CheckedChannel b) {
        return {checkedSub(a.value, b.value)};
    }
    friend CheckedChannel operator*(CheckedChannel a, CheckedChannel b) {
        return {checkedMul(a.value, b.value)};
    }
    // The one quotient that overflows, the most negative value over -1, is an error like any other
    // overflow; so is a zero divisor, which no row lets through.
    friend CheckedChannel operator/(CheckedChannel a, CheckedChannel b) {
        if (b.value == 0 || (a.value == std::numeric_limits<std::int32_t>::min() && b.value == -1))
            throwOverflow();
        return {a.value / b.value};
    }
    friend bool operator<(CheckedChannel a, CheckedChannel b) { return a.value < b.value; }
    friend bool operator==(CheckedChannel a, std::int32_t b) { return a.value == b; }
    friend CheckedChannel atMost255(CheckedChannel c) { return {std::min(c.value, 255)}; }
    friend CheckedChannel atLeast0(CheckedChannel c) { return {std::max(c.value, 0)}; }
};

template <class Row>
void applyChannelRow(std::int32_t& aRed, std::int32_t& aGreen, std::int32_t& aBlue,
                     std::int32_t bRed, std::int32_t bGreen, std::int32_t bBlue) {
    aRed = Row::channel(CheckedChannel{aRed}, CheckedChannel{bRed}).value;
    aGreen = Row::channel(CheckedChannel{aGreen}, CheckedChannel{bGreen}).value;
    aBlue = Row::channel(CheckedChannel{aBlue}, CheckedChannel{bBlue}).value;
}

// One pixel of the composition from the buffered values of A and B. A whole-colour row keeps its
// result in A's buffer as well.
template <class Row>
PackedColor composePixel(std::int32_t& bufferedA, std::int32_t bufferedB) {
    if constexpr (operations::WholeColourRow<Row>) {
        bufferedA = Row::colour(bufferedA, bufferedB);
        return bufferedA;
    } else {
        ChannelTriple ta;
        ChannelTriple tb;
        SplitColor(bufferedA, ta.red, ta.green, ta.blue);
        SplitColor(bufferedB, tb.red, tb.green, tb.blue);
        applyChannelRow<Row>(ta.red, ta.green, ta.blue, tb.red, tb.green, tb.blue);
        // The channels go through 16 bits, but the colour is summed in 32 bits: a green of 128 or
        // more times 256 does not fit 16 bits.
        return checkedAdd(checkedAdd(toInt16(ta.red), checkedMul(256, toInt16(ta.green))),
                          checkedMul(65536, toInt16(ta.blue)));
    }
}

bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

}  // namespace

std::optional<CompositionOperation> parseOperation(std::string_view text) {
    for (int i = 0; i < kOperationCount; ++i) {
        if (text == kOperationListTexts[i] || equalsIgnoringAsciiCase(text, kOperationAliases[i]))
            return static_cast<CompositionOperation>(i);
    }
    return std::nullopt;
}

void SplitColor(std::int32_t colour, std::int32_t& red, std::int32_t& green, std::int32_t& blue) {
    red = colour & 255;
    green = (colour >> 8) & 255;
    blue = (colour >> 16) & 255;
}

// The procedures of the table's channel rows.
void AddChannels(std::int32_t& aRed, std::int32_t& aGreen, std::int32_t& aBlue, std::int32_t bRed,
                 std::int32_t bGreen, std::int32_t bBlue) {
    applyChannelRow<operations::Add>(aRed, aGreen, aBlue, bRed, bGreen, bBlue);
}

void SubtractChannels(std::int32_t& aRed, std::int32_t& aGreen, std::int32_t& aBlue,
                      std::int32_t bRed, std::int32_t bGreen, std::int32_t bBlue) {
    applyChannelRow<operations::Subtract>(aRed, aGreen, aBlue, bRed, bGreen, bBlue);
}

void MultiplyChannels(std::int32_t& aRed, std::int32_t& aGreen, std::int32_t& aBlue,
                      std::int32_t bRed, std::int32_t bGreen, std::int32_t bBlue) {
    applyChannelRow<operations::Multiply>(aRed, aGreen, aBlue, bRed, bGreen, bBlue);
}

void DivideChannels(std::int32_t& aRed, std::int32_t& aGreen, std::int32_t& aBlue,
                    std::int32_t bRed, std::int32_t bGreen, std::int32_t bBlue) {
    applyChannelRow<operations::Divide>(aRed, aGreen, aBlue, bRed, bGreen, bBlue);
}

void MaxChannels(std::int32_t& aRed, std::int32_t& aGreen, std::int32_t& aBlue, std::int32_t bRed,
                 std::int32_t bGreen, std::int32_t bBlue) {
    applyChannelRow<operations::ChannelMax>(aRed, aGreen, aBlue, bRed, bGreen, bBlue);
}

void MinChannels(std::int32_t& aRed, std::int32_t& aGreen, std::int32_t& aBlue, std::int32_t bRed,
                 std::int32_t bGreen, std::int32_t bBlue) {
    applyChannelRow<operations::ChannelMin>(aRed, aGreen, aBlue, bRed, bGreen, bBlue);
}

std::int32_t compositionBufferBound(std::int32_t width, std::int32_t height) {
    const std::int64_t product =
        (static_cast<std::int64_t>(width) + 1) * (static_cast<std::int64_t>(height) + 1);
    if (width == std::numeric_limits<std::int32_t>::max() ||
        height == std::numeric_limits<std::int32_t>::max() ||
        product > std::numeric_limits<std::int32_t>::max() ||
        product < std::numeric_limits<std::int32_t>::min()) {
        throw EngineError("画像が大きすぎます（幅 " + std::to_string(width) + " × 高さ " +
                          std::to_string(height) + "）");
    }
    return static_cast<std::int32_t>(product);
}

bool ComposeImages(DeviceImage& a, DeviceImage& b, DeviceImage& c, std::int32_t width,
                   std::int32_t height, CompositionOperation operation) {
    const std::int32_t bound = compositionBufferBound(width, height);
    // With a negative size the bound may be negative too; such a call visits nothing, so it gets
    // empty buffers instead of failing on an impossible index range.
    const std::size_t bufferSize = bound >= 0 ? static_cast<std::size_t>(bound) + 1 : 0;
    std::vector<std::int32_t> bufferA(bufferSize);
    std::vector<std::int32_t> bufferB(bufferSize);

    std::size_t k = 0;
    for (std::int32_t x = 0; x < width; ++x) {
        for (std::int32_t y = 0; y < height; ++y) {
            bufferA.at(k) = a.getPixel(x, y);
            bufferB.at(k) = b.getPixel(x, y);

            PackedColor result = 0;
            operations::visit(operation, [&](auto row) {
                result = composePixel<decltype(row)>(bufferA[k], bufferB[k]);
            });
            c.setPixel(x, y, result);
            ++k;
        }
    }
    return true;
}

}  // namespace strobo::engine
