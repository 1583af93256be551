#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace strobo::engine {

// A packed colour as the pixel read delivers it: red in bits 0-7, green in bits 8-15, blue in
// bits 16-23, bits 24-31 unused (zero for every pixel that lies on a surface).
using PackedColor = std::int32_t;

constexpr PackedColor packColor(int red, int green, int blue) {
    return static_cast<PackedColor>(red | (green << 8) | (blue << 16));
}

// An image held in memory, one packed colour per pixel, rows top to bottom without padding.
// This is the picture every stage passes around; it never holds more than one frame.
struct PackedImage {
    int width = 0;
    int height = 0;
    std::vector<PackedColor> pixels;

    PackedImage() = default;
    PackedImage(int w, int h, PackedColor fill = 0)
        : width(w),
          height(h),
          pixels(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), fill) {}

    bool isNull() const { return width <= 0 || height <= 0; }
    bool contains(int x, int y) const { return x >= 0 && y >= 0 && x < width && y < height; }
    PackedColor* row(int y) { return pixels.data() + static_cast<std::size_t>(y) * width; }
    const PackedColor* row(int y) const {
        return pixels.data() + static_cast<std::size_t>(y) * width;
    }
    PackedColor at(int x, int y) const { return row(y)[x]; }
    void set(int x, int y, PackedColor c) { row(y)[x] = c; }

    friend bool operator==(const PackedImage&, const PackedImage&) = default;
};

}  // namespace strobo::engine
