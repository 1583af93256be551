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
    for (int y = 0; y < image.height; ++y) {
        const engine::PackedColor* src = image.row(y);
        auto* dst = reinterpret_cast<quint32*>(out.scanLine(y));
        for (int x = 0; x < image.width; ++x) {
            const auto p = static_cast<quint32>(src[x]);
            dst[x] = 0xFF000000u | ((p & 0xFF) << 16) | (p & 0xFF00) | ((p >> 16) & 0xFF);
        }
    }
    return out;
}

}  // namespace strobo::workfolder
