#pragma once

#include <QImage>

#include "engine/packed_image.h"

namespace strobo::workfolder {

// Qt keeps 0xAARRGGBB per pixel; the engine keeps red in the low byte. These swap red and blue
// and clear (or set) the unused top byte.
engine::PackedImage fromQImage(const QImage& image);
QImage toQImage(const engine::PackedImage& image);

}  // namespace strobo::workfolder
