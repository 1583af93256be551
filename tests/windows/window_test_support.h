#pragma once

#include <QImage>
#include <QString>

namespace strobo::windows::testing {

// Stored lengths are in twips; 15 twips make one pixel.
constexpr int px(int twips) {
    return (twips + 7) / 15;
}

// Pixels whose largest channel difference exceeds the threshold.
inline int countDifferingPixels(const QImage& a, const QImage& b, int threshold) {
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    int count = 0;
    for (int row = 0; row < x.height(); ++row) {
        const auto* p = reinterpret_cast<const QRgb*>(x.constScanLine(row));
        const auto* q = reinterpret_cast<const QRgb*>(y.constScanLine(row));
        for (int col = 0; col < x.width(); ++col) {
            const int d = std::max({std::abs(qRed(p[col]) - qRed(q[col])),
                                    std::abs(qGreen(p[col]) - qGreen(q[col])),
                                    std::abs(qBlue(p[col]) - qBlue(q[col]))});
            if (d > threshold) ++count;
        }
    }
    return count;
}

}  // namespace strobo::windows::testing
