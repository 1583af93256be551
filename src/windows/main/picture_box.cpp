#include "windows/main/picture_box.h"

#include <QPainter>
#include <QVariant>

#include "stages/extraction/playback_picture.h"
#include "workfolder/qt_image.h"

namespace strobo::windows {

namespace {

// The offset a child has already been moved by to sit in the client area; stored on the child so
// that children added later (still in client coordinates) are told apart from placed ones.
constexpr const char* kClientOffsetProperty = "strobo_clientOffset";

QColor qColor(engine::PackedColor c) {
    return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}

// The same sunken edge the playback picture is painted with.
const QColor kOuterShadow = qColor(stages::kSunkenBorder.outerShadow);
const QColor kInnerShadow = qColor(stages::kSunkenBorder.innerShadow);
const QColor kInnerLight = qColor(stages::kSunkenBorder.innerLight);
const QColor kOuterLight = qColor(stages::kSunkenBorder.outerLight);

}  // namespace

PictureBox::PictureBox(QWidget* parent) : QFrame(parent) {
    setFrameStyle(QFrame::NoFrame);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setContentsMargins(kBorderWidth, kBorderWidth, kBorderWidth, kBorderWidth);
}

void PictureBox::setBorderStyle(int style) {
    const int normalised = style == kBorderNone ? kBorderNone : kBorderFixedSingle;
    if (normalised == m_borderStyle) return;
    m_borderStyle = normalised;
    const int w = borderWidth();
    setContentsMargins(w, w, w, w);
    placeChildrenInClientArea();
    if (m_autoSize) fitToPicture();
    update();
}

QRect PictureBox::clientRect() const {
    return contentsRect();
}

void PictureBox::setAutoSize(bool on) {
    m_autoSize = on;
    if (m_autoSize) fitToPicture();
}

QColor PictureBox::backColor() const {
    return m_backColor.isValid() ? m_backColor : palette().color(QPalette::Window);
}

void PictureBox::setBackColor(const QColor& color) {
    m_backColor = color;
    update();
}

void PictureBox::setPicture(const QImage& picture) {
    m_picture = picture;
    if (m_autoSize) fitToPicture();
    update();
}

void PictureBox::setPicture(const engine::PackedImage& picture) {
    setPicture(workfolder::toQImage(picture));
}

void PictureBox::clearPicture() {
    setPicture(QImage());
}

void PictureBox::placeChildrenInClientArea() {
    const int target = borderWidth();
    for (QObject* child : children()) {
        auto* w = qobject_cast<QWidget*>(child);
        if (w == nullptr || w->isWindow()) continue;
        const int placed = w->property(kClientOffsetProperty).toInt();
        if (placed != target) {
            w->move(w->pos() + QPoint(target - placed, target - placed));
            w->setProperty(kClientOffsetProperty, target);
        }
    }
}

void PictureBox::showVideoFrame(const engine::PackedImage& frame) {
    m_videoFrame = workfolder::toQImage(frame);
    update();
}

void PictureBox::clearVideoFrame() {
    m_videoFrame = QImage();
    update();
}

std::uint64_t PictureBox::hWnd() {
    return static_cast<std::uint64_t>(winId());
}

void PictureBox::fitToPicture() {
    if (m_picture.isNull()) return;
    const int w = borderWidth();
    resize(m_picture.width() + 2 * w, m_picture.height() + 2 * w);
}

void PictureBox::paintEvent(QPaintEvent* /*event*/) {
    QPainter p(this);
    const QRect client = clientRect();
    p.fillRect(client, backColor());
    p.setClipRect(client);
    if (!m_picture.isNull()) p.drawImage(client.topLeft(), m_picture);
    if (!m_videoFrame.isNull()) p.drawImage(client.topLeft(), m_videoFrame);
    p.setClipping(false);
    if (m_borderStyle != kBorderFixedSingle) return;
    const int r = width() - 1;
    const int b = height() - 1;
    p.setPen(kOuterShadow);
    p.drawLine(0, 0, r - 1, 0);
    p.drawLine(0, 0, 0, b - 1);
    p.setPen(kInnerShadow);
    p.drawLine(1, 1, r - 2, 1);
    p.drawLine(1, 1, 1, b - 2);
    p.setPen(kInnerLight);
    p.drawLine(1, b - 1, r - 1, b - 1);
    p.drawLine(r - 1, 1, r - 1, b - 1);
    p.setPen(kOuterLight);
    p.drawLine(0, b, r, b);
    p.drawLine(r, 0, r, b);
}

}  // namespace strobo::windows
