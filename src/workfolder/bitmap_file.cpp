#include "workfolder/bitmap_file.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "engine/function_clones.h"

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
constexpr std::size_t kCoreHeader = 12;
constexpr std::size_t kInfoHeader = 40;

constexpr std::uint32_t kUncompressed = 0;
constexpr std::uint32_t kBitFields = 3;
constexpr std::uint32_t kAlphaBitFields = 6;

// Rows are padded to four bytes. Width below 2^31 and at most 65535 bits a pixel: no overflow.
std::uint64_t rowStride(const BitmapHeader& header) {
    const auto bits =
        static_cast<std::uint64_t>(header.width) * static_cast<std::uint64_t>(header.bitsPerPixel);
    return (bits + 31) / 32 * 4;
}

// The bytes of pixel data uncompressed rows take; nullopt when more than 64 bits can count.
std::optional<std::uint64_t> dataSize(const BitmapHeader& header) {
    std::uint64_t size = 0;
    if (__builtin_mul_overflow(rowStride(header), static_cast<std::uint64_t>(header.height),
                               &size)) {
        return std::nullopt;
    }
    return size;
}

}  // namespace

std::vector<std::uint8_t> encodeBitmap24(const engine::PackedImage& picture) {
    std::vector<std::uint8_t> out;
    encodeBitmap24(picture, out);
    return out;
}

std::size_t bitmapRowStride24(int width) {
    return (static_cast<std::size_t>(width) * 3 + 3) & ~std::size_t{3};
}

std::uint8_t* startBitmap24(int width, int height, std::vector<std::uint8_t>& out) {
    const std::size_t dataSize = bitmapRowStride24(width) * static_cast<std::size_t>(height);
    out.resize(kFileHeader + kInfoHeader + dataSize);
    std::fill_n(out.begin(), kFileHeader + kInfoHeader, std::uint8_t{0});
    std::uint8_t* h = out.data();
    h[0] = 'B';
    h[1] = 'M';
    put32(h + 2, static_cast<std::uint32_t>(out.size()));
    put32(h + 10, kFileHeader + kInfoHeader);
    put32(h + 14, kInfoHeader);
    put32(h + 18, static_cast<std::uint32_t>(width));
    put32(h + 22, static_cast<std::uint32_t>(height));
    put16(h + 26, 1);
    put16(h + 28, 24);
    put32(h + 34, static_cast<std::uint32_t>(dataSize));
    put32(h + 38, 3780);  // 96 dots per inch, in dots per metre
    put32(h + 42, 3780);
    return h + kFileHeader + kInfoHeader;
}

void encodeBitmap24(const engine::PackedImage& picture, std::vector<std::uint8_t>& out) {
    const std::size_t stride = bitmapRowStride24(picture.width);
    std::uint8_t* data = startBitmap24(picture.width, picture.height, out);
    for (int y = 0; y < picture.height; ++y) {
        std::uint8_t* dst = data + stride * static_cast<std::size_t>(y);
        encodeBitmapRow24(picture.row(picture.height - 1 - y), dst, picture.width);
        // The buffer is reused: padding must not carry bytes of an earlier picture.
        std::fill(dst + static_cast<std::size_t>(picture.width) * 3,
                  data + stride * static_cast<std::size_t>(y + 1), std::uint8_t{0});
    }
}

void encodeBitmapRow24Plain(const engine::PackedColor* row, std::uint8_t* out, int width) {
    for (int x = 0; x < width; ++x, out += 3) {
        const auto p = static_cast<std::uint32_t>(row[x]);
        out[0] = static_cast<std::uint8_t>(p >> 16);
        out[1] = static_cast<std::uint8_t>(p >> 8);
        out[2] = static_cast<std::uint8_t>(p);
    }
}

// Every frame file goes through here, a third of a million pixels each: four pixels are turned
// into their twelve bytes with one byte shuffle (a single instruction where the processor has
// one) rather than twelve single-byte moves.
STROBO_FUNCTION_CLONES("ssse3", "default")
void encodeBitmapRow24(const engine::PackedColor* row, std::uint8_t* out, int width) {
    int x = 0;
    if constexpr (std::endian::native == std::endian::little) {
        using Bytes = std::uint8_t __attribute__((vector_size(16)));
        // Each step stores 16 bytes for the 12 it owns: the 4 beyond must still be the row's
        // (two more pixels follow), and the steps after it write them again.
        for (; x + 6 <= width; x += 4) {
            Bytes colours;
            std::memcpy(&colours, row + x, sizeof colours);
            const Bytes bgr = __builtin_shufflevector(colours, colours, 2, 1, 0, 6, 5, 4, 10, 9, 8,
                                                      14, 13, 12, 3, 7, 11, 15);
            std::memcpy(out + static_cast<std::size_t>(x) * 3, &bgr, sizeof bgr);
        }
    }
    encodeBitmapRow24Plain(row + x, out + static_cast<std::size_t>(x) * 3, width - x);
}

std::optional<BitmapHeader> readBitmapHeader(std::span<const std::uint8_t> start) {
    if (start.size() < 2 || start[0] != 'B' || start[1] != 'M') return std::nullopt;
    BitmapHeader header;
    header.headersSize = kFileHeader + 4;
    if (start.size() < kFileHeader + 4) return header;
    const std::uint8_t* h = start.data();
    const std::uint32_t infoSize = get32(h + 14);
    header.headersSize = kFileHeader + std::uint64_t{infoSize};
    header.dataOffset = get32(h + 10);
    if (infoSize == kCoreHeader && start.size() >= kFileHeader + kCoreHeader) {
        // The oldest kind: 16-bit sizes, always bottom-up, never compressed.
        header.width = get16(h + 18);
        header.height = get16(h + 20);
        header.bitsPerPixel = get16(h + 24);
        header.dimensionsKnown = true;
    } else if (infoSize >= kInfoHeader && start.size() >= kFileHeader + kInfoHeader) {
        header.width = static_cast<std::int32_t>(get32(h + 18));
        const auto rawHeight = static_cast<std::int32_t>(get32(h + 22));
        header.topDown = rawHeight < 0;
        header.height = header.topDown ? -std::int64_t{rawHeight} : rawHeight;
        header.bitsPerPixel = get16(h + 28);
        header.compression = get32(h + 30);
        // The colour masks follow the shortest info header; the longer ones hold them.
        if (infoSize == kInfoHeader && header.compression == kBitFields) header.headersSize += 12;
        if (infoSize == kInfoHeader && header.compression == kAlphaBitFields) {
            header.headersSize += 16;
        }
        header.dimensionsKnown = true;
    }
    return header;
}

BitmapCheck checkBitmap(const BitmapHeader& header, std::uint64_t fileSize, long long maxPixels) {
    if (fileSize < header.headersSize) return BitmapCheck::Truncated;
    if (!header.dimensionsKnown || header.width <= 0 || header.height == 0) {
        return BitmapCheck::Sound;  // the decoder refuses or reads it
    }
    // Both sides are below 2^31 + 1, so the product fits.
    if (header.width * header.height > maxPixels) return BitmapCheck::TooLarge;
    if (header.dataOffset < header.headersSize || header.dataOffset > fileSize) {
        return BitmapCheck::DataMisplaced;
    }
    const bool rowsUncompressed = header.compression == kUncompressed ||
                                  header.compression == kBitFields ||
                                  header.compression == kAlphaBitFields;
    if (rowsUncompressed && header.bitsPerPixel > 0) {
        const std::optional<std::uint64_t> size = dataSize(header);
        if (!size || fileSize - header.dataOffset < *size) return BitmapCheck::Truncated;
    }
    return BitmapCheck::Sound;
}

std::optional<engine::PackedImage> decodeSimpleBitmap(const BitmapHeader& header,
                                                      std::span<const std::uint8_t> file) {
    const int bits = header.bitsPerPixel;
    if (!header.dimensionsKnown || header.compression != kUncompressed ||
        (bits != 24 && bits != 32) || header.width <= 0 || header.height <= 0) {
        return std::nullopt;
    }
    // Checked already; kept here so that no header can make this read outside the file.
    const std::optional<std::uint64_t> size = dataSize(header);
    if (!size || header.dataOffset < header.headersSize || header.dataOffset > file.size() ||
        file.size() - header.dataOffset < *size) {
        return std::nullopt;
    }
    const auto width = static_cast<std::int32_t>(header.width);
    const auto height = static_cast<std::int32_t>(header.height);
    const int bytesPerPixel = bits / 8;
    const std::size_t stride = rowStride(header);
    const std::uint8_t* data = file.data() + header.dataOffset;
    engine::PackedImage out(width, height);
    for (std::int32_t y = 0; y < height; ++y) {
        const std::uint8_t* src =
            data + stride * static_cast<std::size_t>(header.topDown ? y : height - 1 - y);
        auto* dst = reinterpret_cast<std::uint32_t*>(out.row(y));
        for (std::int32_t x = 0; x < width; ++x, src += bytesPerPixel) {
            dst[x] = static_cast<std::uint32_t>(src[2]) | static_cast<std::uint32_t>(src[1]) << 8 |
                     static_cast<std::uint32_t>(src[0]) << 16;
        }
    }
    return out;
}

}  // namespace strobo::workfolder
