#include "workfolder/qt_image.h"

namespace strobo::workfolder {

engine::PackedImage fromQImage(const QImage& image) {
    if (image.isNull()) return {};
    const QImage rgb = image.format() == QImage::Format_RGB32
                           ? image
                           : image.convertToFormat(QImage::Format_RGB32);
    const int width = rgb.width();
    engine::PackedImage out(width, rgb.height());
    for (int y = 0; y < out.height; ++y) {
        const auto* src = reinterpret_cast<const quint32*>(rgb.constScanLine(y));
        engine::PackedColor* dst = out.row(y);
        for (int x = 0; x < width; ++x) {
            const quint32 p = src[x];
            dst[x] = static_cast<engine::PackedColor>(((p >> 16) & 0xFF) | (p & 0xFF00) |
                                                      ((p & 0xFF) << 16));
        }
    }
    return out;
}

QImage toQImage(const engine::PackedImage& image) {
    if (image.isNull()) return {};
    QImage out(image.width, image.height, QImage::Format_RGB32);
    // bits() once: scanLine() on a non-const image checks for sharing on every row.
    uchar* bits = out.bits();
    const qsizetype bytesPerLine = out.bytesPerLine();
    const int width = image.width;
    for (int y = 0; y < image.height; ++y) {
        const auto* src = reinterpret_cast<const quint32*>(image.row(y));
        auto* dst = reinterpret_cast<quint32*>(bits + bytesPerLine * y);
        for (int x = 0; x < width; ++x) {
            const quint32 p = src[x];
            dst[x] = 0xFF000000u | ((p & 0xFF) << 16) | (p & 0xFF00) | ((p >> 16) & 0xFF);
        }
    }
    return out;
}

}  // namespace strobo::workfolder
