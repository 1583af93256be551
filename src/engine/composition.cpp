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

void AddChannels(std::int32_t& aRed, std::int32_t& aGreen, std::int32_t& aBlue, std::int32_t bRed,
                 std::int32_t bGreen, std::int32_t bBlue) {
    aRed = checkedAdd(aRed, bRed);
    aGreen = checkedAdd(aGreen, bGreen);
    aBlue = checkedAdd(aBlue, bBlue);
    if (aRed > 255) aRed = 255;
    if (aGreen > 255) aGreen = 255;
    if (aBlue > 255) aBlue = 255;
}

void SubtractChannels(std::int32_t& aRed, std::int32_t& aGreen, std::int32_t& aBlue,
                      std::int32_t bRed, std::int32_t bGreen, std::int32_t bBlue) {
    aRed = checkedSub(aRed, bRed);
    aGreen = checkedSub(aGreen, bGreen);
    aBlue = checkedSub(aBlue, bBlue);
    if (aRed < 0) aRed = 0;
    if (aGreen < 0) aGreen = 0;
    if (aBlue < 0) aBlue = 0;
}

void MultiplyChannels(std::int32_t& aRed, std::int32_t& aGreen, std::int32_t& aBlue,
                      std::int32_t bRed, std::int32_t bGreen, std::int32_t bBlue) {
    aRed = checkedMul(aRed, bRed);
    aGreen = checkedMul(aGreen, bGreen);
    aBlue = checkedMul(aBlue, bBlue);
    if (aRed > 255) aRed = 255;
    if (aGreen > 255) aGreen = 255;
    if (aBlue > 255) aBlue = 255;
}

void DivideChannels(std::int32_t& aRed, std::int32_t& aGreen, std::int32_t& aBlue,
                    std::int32_t bRed, std::int32_t bGreen, std::int32_t bBlue) {
    // A zero on either side gives 0, so the division by zero never happens; the one quotient that
    // overflows, the most negative value over -1, is an error like any other overflow.
    auto divide = [](std::int32_t& a, std::int32_t b) {
        if (a != 0 && b != 0) {
            if (a == std::numeric_limits<std::int32_t>::min() && b == -1) throwOverflow();
            a = a / b;
        } else {
            a = 0;
        }
    };
    divide(aRed, bRed);
    divide(aGreen, bGreen);
    divide(aBlue, bBlue);
    if (aRed < 0) aRed = 0;
    if (aGreen < 0) aGreen = 0;
    if (aBlue < 0) aBlue = 0;
}

void MaxChannels(std::int32_t& aRed, std::int32_t& aGreen, std::int32_t& aBlue, std::int32_t bRed,
                 std::int32_t bGreen, std::int32_t bBlue) {
    if (aRed < bRed) aRed = bRed;
    if (aGreen < bGreen) aGreen = bGreen;
    if (aBlue < bBlue) aBlue = bBlue;
}

void MinChannels(std::int32_t& aRed, std::int32_t& aGreen, std::int32_t& aBlue, std::int32_t bRed,
                 std::int32_t bGreen, std::int32_t bBlue) {
    if (!(aRed < bRed)) aRed = bRed;
    if (!(aGreen < bGreen)) aGreen = bGreen;
    if (!(aBlue < bBlue)) aBlue = bBlue;
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

            PackedColor result;
            if (operation <= kOperationChannelMin) {
                ChannelTriple ta;
                ChannelTriple tb;
                SplitColor(bufferA[k], ta.red, ta.green, ta.blue);
                SplitColor(bufferB[k], tb.red, tb.green, tb.blue);
                switch (operation) {
                    case kOperationAdd:
                        AddChannels(ta.red, ta.green, ta.blue, tb.red, tb.green, tb.blue);
                        break;
                    case kOperationSubtract:
                        SubtractChannels(ta.red, ta.green, ta.blue, tb.red, tb.green, tb.blue);
                        break;
                    case kOperationMultiply:
                        MultiplyChannels(ta.red, ta.green, ta.blue, tb.red, tb.green, tb.blue);
                        break;
                    case kOperationDivide:
                        DivideChannels(ta.red, ta.green, ta.blue, tb.red, tb.green, tb.blue);
                        break;
                    case kOperationChannelMax:
                        MaxChannels(ta.red, ta.green, ta.blue, tb.red, tb.green, tb.blue);
                        break;
                    case kOperationChannelMin:
                        MinChannels(ta.red, ta.green, ta.blue, tb.red, tb.green, tb.blue);
                        break;
                    default:
                        break;
                }
                // The channels go through 16 bits, but the colour is summed in 32 bits: a green
                // of 128 or more times 256 does not fit 16 bits.
                result = checkedAdd(checkedAdd(toInt16(ta.red), checkedMul(256, toInt16(ta.green))),
                                    checkedMul(65536, toInt16(ta.blue)));
            } else if (operation == kOperationMax) {
                if (bufferA[k] < bufferB[k]) bufferA[k] = bufferB[k];
                result = bufferA[k];
            } else if (operation == kOperationMin) {
                if (!(bufferA[k] < bufferB[k])) bufferA[k] = bufferB[k];
                result = bufferA[k];
            } else {
                result = bufferA[k];
            }

            c.setPixel(x, y, result);
            ++k;
        }
    }
    return true;
}

}  // namespace strobo::engine
