#include "windows/main/image_control.h"

#include <QPainter>

#include "windows/main/picture_box.h"
#include "workfolder/qt_image.h"

namespace strobo::windows {

ImageControl::ImageControl(QWidget* parent) : QWidget(parent) {}

void ImageControl::setStretch(bool on) {
    m_stretch = on;
    update();
}

void ImageControl::setPicture(const QImage& picture) {
    m_picture = picture;
    update();
}

void ImageControl::setPicture(const engine::PackedImage& picture) {
    setPicture(workfolder::toQImage(picture));
}

void ImageControl::clearPicture() {
    setPicture(QImage());
}

void ImageControl::paintEvent(QPaintEvent* /*event*/) {
    if (m_picture.isNull()) return;
    QPainter p(this);
    if (m_stretch) {
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.drawImage(rect(), m_picture);
    } else {
        p.drawImage(QPoint(0, 0), m_picture);
    }
}

}  // namespace strobo::windows
