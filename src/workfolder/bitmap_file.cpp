#include "workfolder/bitmap_file.h"

#include <algorithm>
#include <cstring>

namespace strobo::workfolder {

namespace {

void put16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}

void put32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

std::uint32_t get32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

std::uint16_t get16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

constexpr std::size_t kFileHeader = 14;
constexpr std::size_t kInfoHeader = 40;

}  // namespace

std::vector<std::uint8_t> encodeBitmap24(const engine::PackedImage& picture) {
    std::vector<std::uint8_t> out;
    encodeBitmap24(picture, out);
    return out;
}

void encodeBitmap24(const engine::PackedImage& picture, std::vector<std::uint8_t>& out) {
    const std::size_t stride = (static_cast<std::size_t>(picture.width) * 3 + 3) & ~std::size_t{3};
    const std::size_t dataSize = stride * static_cast<std::size_t>(picture.height);
    out.resize(kFileHeader + kInfoHeader + dataSize);
    std::fill_n(out.begin(), kFileHeader + kInfoHeader, std::uint8_t{0});
    std::uint8_t* h = out.data();
    h[0] = 'B';
    h[1] = 'M';
    put32(h + 2, static_cast<std::uint32_t>(out.size()));
    put32(h + 10, kFileHeader + kInfoHeader);
    put32(h + 14, kInfoHeader);
    put32(h + 18, static_cast<std::uint32_t>(picture.width));
    put32(h + 22, static_cast<std::uint32_t>(picture.height));
    put16(h + 26, 1);
    put16(h + 28, 24);
    put32(h + 34, static_cast<std::uint32_t>(dataSize));
    put32(h + 38, 3780);  // 96 dots per inch, in dots per metre
    put32(h + 42, 3780);
    std::uint8_t* data = h + kFileHeader + kInfoHeader;
    for (int y = 0; y < picture.height; ++y) {
        const auto* src =
            reinterpret_cast<const std::uint32_t*>(picture.row(picture.height - 1 - y));
        std::uint8_t* dst = data + stride * static_cast<std::size_t>(y);
        for (int x = 0; x < picture.width; ++x, dst += 3) {
            const std::uint32_t p = src[x];
            dst[0] = static_cast<std::uint8_t>(p >> 16);
            dst[1] = static_cast<std::uint8_t>(p >> 8);
            dst[2] = static_cast<std::uint8_t>(p);
        }
        // The buffer is reused: padding must not carry bytes of an earlier picture.
        std::fill(dst, data + stride * static_cast<std::size_t>(y + 1), std::uint8_t{0});
    }
}

std::optional<engine::PackedImage> decodeSimpleBitmap(const std::vector<std::uint8_t>& bytes,
                                                      long long maxPixels, BitmapCheck& check) {
    check = BitmapCheck::NotSimple;
    if (bytes.size() < kFileHeader + kInfoHeader || bytes[0] != 'B' || bytes[1] != 'M') {
        return std::nullopt;
    }
    const std::uint8_t* h = bytes.data();
    const std::uint32_t offset = get32(h + 10);
    const std::uint32_t infoSize = get32(h + 14);
    const auto width = static_cast<std::int32_t>(get32(h + 18));
    const auto rawHeight = static_cast<std::int32_t>(get32(h + 22));
    const std::uint16_t bits = get16(h + 28);
    const std::uint32_t compression = get32(h + 30);
    if (infoSize < kInfoHeader || compression != 0 || (bits != 24 && bits != 32) || width <= 0 ||
        rawHeight == 0 || rawHeight == INT32_MIN) {
        return std::nullopt;
    }
    const bool topDown = rawHeight < 0;
    const std::int32_t height = topDown ? -rawHeight : rawHeight;
    if (static_cast<long long>(width) * height > maxPixels) {
        check = BitmapCheck::TooLarge;
        return std::nullopt;
    }
    const int bytesPerPixel = bits / 8;
    const std::size_t stride =
        (static_cast<std::size_t>(width) * bytesPerPixel + 3) & ~std::size_t{3};
    if (offset > bytes.size() ||
        bytes.size() - offset < stride * static_cast<std::size_t>(height)) {
        check = BitmapCheck::Truncated;
        return std::nullopt;
    }
    engine::PackedImage out(width, height);
    for (std::int32_t y = 0; y < height; ++y) {
        const std::uint8_t* src =
            bytes.data() + offset + stride * static_cast<std::size_t>(topDown ? y : height - 1 - y);
        auto* dst = reinterpret_cast<std::uint32_t*>(out.row(y));
        for (std::int32_t x = 0; x < width; ++x, src += bytesPerPixel) {
            dst[x] = static_cast<std::uint32_t>(src[2]) | static_cast<std::uint32_t>(src[1]) << 8 |
                     static_cast<std::uint32_t>(src[0]) << 16;
        }
    }
    return out;
}

}  // namespace strobo::workfolder
