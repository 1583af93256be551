#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/composition.h"
#include "engine/packed_image.h"

namespace strobo::engine {

// The same result as ComposeImages over PackedImageDevice adapters of a, b and c, pixel for
// pixel, for every operation value and size (including the size error), computed row by row.
// A, B and C may have any sizes: points outside A or B read as -1, points outside C are dropped.
// C may be the same image as A or B.
void composeImagesFast(const PackedImage& a, const PackedImage& b, PackedImage& c,
                       std::int32_t width, std::int32_t height, CompositionOperation op);

// composeImagesFast's result at n consecutive points that lie on A, B and C alike.
void composeRunFast(const PackedColor* a, const PackedColor* b, PackedColor* c, std::ptrdiff_t n,
                    CompositionOperation op);

}  // namespace strobo::engine
