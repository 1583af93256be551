#include "workfolder/bitmap_file.h"

#include <bit>
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
    const std::size_t stride = (static_cast<std::size_t>(picture.width) * 3 + 3) & ~std::size_t{3};
    const std::size_t dataSize = stride * static_cast<std::size_t>(picture.height);
    std::vector<std::uint8_t> out(kFileHeader + kInfoHeader + dataSize, 0);
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
        const engine::PackedColor* src = picture.row(picture.height - 1 - y);
        std::uint8_t* dst = data + stride * static_cast<std::size_t>(y);
        int x = 0;
        for (; std::endian::native == std::endian::little && x + 4 <= picture.width; x += 4) {
            const auto p0 = static_cast<std::uint32_t>(src[x]);
            const auto p1 = static_cast<std::uint32_t>(src[x + 1]);
            const auto p2 = static_cast<std::uint32_t>(src[x + 2]);
            const auto p3 = static_cast<std::uint32_t>(src[x + 3]);
            // B G R of four pixels, packed into three little-endian words.
            const std::uint32_t w[3] = {((p0 >> 16) & 0xFF) | (p0 & 0xFF00) | ((p0 & 0xFF) << 16) |
                                            (((p1 >> 16) & 0xFF) << 24),
                                        ((p1 >> 8) & 0xFF) | ((p1 & 0xFF) << 8) |
                                            (((p2 >> 16) & 0xFF) << 16) |
                                            (((p2 >> 8) & 0xFF) << 24),
                                        (p2 & 0xFF) | (((p3 >> 16) & 0xFF) << 8) |
                                            (((p3 >> 8) & 0xFF) << 16) | ((p3 & 0xFF) << 24)};
            std::memcpy(dst + 3 * x, w, sizeof w);
        }
        for (; x < picture.width; ++x) {
            const auto p = static_cast<std::uint32_t>(src[x]);
            dst[3 * x] = static_cast<std::uint8_t>(p >> 16);
            dst[3 * x + 1] = static_cast<std::uint8_t>(p >> 8);
            dst[3 * x + 2] = static_cast<std::uint8_t>(p);
        }
    }
    return out;
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
        engine::PackedColor* dst = out.row(y);
        std::int32_t x = 0;
        if (std::endian::native == std::endian::little && bytesPerPixel == 3) {
            // Four pixels are twelve bytes, B G R B | G R B G | R B G R: three words in,
            // four packed colours out.
            for (; x + 4 <= width; x += 4) {
                std::uint32_t w[3];
                std::memcpy(w, src + static_cast<std::size_t>(x) * 3, sizeof w);
                dst[x] = static_cast<engine::PackedColor>(((w[0] >> 16) & 0xFF) | (w[0] & 0xFF00) |
                                                          ((w[0] & 0xFF) << 16));
                dst[x + 1] = static_cast<engine::PackedColor>(
                    ((w[1] >> 8) & 0xFF) | ((w[1] & 0xFF) << 8) | ((w[0] >> 24) << 16));
                dst[x + 2] = static_cast<engine::PackedColor>((w[2] & 0xFF) | ((w[1] >> 24) << 8) |
                                                              (((w[1] >> 16) & 0xFF) << 16));
                dst[x + 3] = static_cast<engine::PackedColor>(
                    (w[2] >> 24) | (((w[2] >> 16) & 0xFF) << 8) | (((w[2] >> 8) & 0xFF) << 16));
            }
        }
        for (; x < width; ++x) {
            const std::uint8_t* p = src + static_cast<std::size_t>(x) * bytesPerPixel;
            dst[x] = static_cast<engine::PackedColor>(p[2] | p[1] << 8 | p[0] << 16);
        }
    }
    return out;
}

}  // namespace strobo::workfolder
