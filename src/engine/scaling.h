#pragma once

#include <cstdint>
#include <utility>

#include "engine/packed_image.h"

namespace strobo::engine {

// Resamples src to width x height. Shrinking averages the covered area of every output pixel
// (a box filter with fractional coverage at its edges); enlarging interpolates bilinearly. All
// arithmetic is integer, so every build gives the same bytes. Bits 24-31 of the source are
// ignored and zero in the result. A size of 0 or less, or an empty source, gives an empty image.
PackedImage scaleImage(const PackedImage& src, std::int32_t width, std::int32_t height);

// Output pixels [left, right) x [top, bottom) of a width x height resampling.
struct OutputPart {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
};

// scaleImage's very pixels inside `part` (cut to the picture), and zero outside it: for a reader
// that looks at the part alone, at the cost of the part alone.
PackedImage scaleImagePart(const PackedImage& src, std::int32_t width, std::int32_t height,
                           OutputPart part);

// scaleImagePart's pixels inside `part` of a sourceWidth x sourceHeight picture of which only
// `window` is given, its pixel (0, 0) standing at (left, top), written into `result` (already of
// the output size; the pixels outside the part are left as they are): for a picture whose part
// of interest is known to come from the window alone, without making the rest. False, writing
// nothing, when some pixel of the part takes from outside the window (or for an empty window).
bool scaleWindowPartInto(const PackedImage& window, std::int32_t left, std::int32_t top,
                         std::int32_t sourceWidth, std::int32_t sourceHeight, OutputPart part,
                         PackedImage& result);

// Along one axis resampled by scaleImage from `source` to `target` pixels: the run [first, end)
// of output pixels that take something from, and only from, source pixels begin .. end-1.
// Output pixels at the run's edges that mix in a source pixel outside it are left out; an empty
// run has first == end.
std::pair<std::int32_t, std::int32_t> outputsFedOnlyBy(std::int32_t source, std::int32_t target,
                                                       std::int32_t begin, std::int32_t end);

}  // namespace strobo::engine
