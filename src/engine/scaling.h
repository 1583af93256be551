#pragma once

#include <cstdint>

#include "engine/packed_image.h"

namespace strobo::engine {

// Resamples src to width x height. Shrinking averages the covered area of every output pixel
// (a box filter with fractional coverage at its edges); enlarging interpolates bilinearly. All
// arithmetic is integer, so every build gives the same bytes. Bits 24-31 of the source are
// ignored and zero in the result. A size of 0 or less, or an empty source, gives an empty image.
PackedImage scaleImage(const PackedImage& src, std::int32_t width, std::int32_t height);

}  // namespace strobo::engine
