#pragma once

#include <QColor>
#include <QFrame>
#include <QImage>
#include <cstdint>

#include "engine/packed_image.h"
#include "stages/extraction/playback_picture.h"
#include "workfolder/media/frame_target.h"

namespace strobo::windows {

// A picture box: a client area on a back colour, optionally inside the single sunken 3D border,
// showing a picture at its own size at the top-left of the client area. Child controls are
// placed relative to the client area, so they move with it when the border changes. The media
// player draws video into it through the FrameTarget interface, finding it by hWnd().
class PictureBox : public QFrame, public workfolder::media::FrameTarget {
    Q_OBJECT
    Q_PROPERTY(int borderStyle READ borderStyle WRITE setBorderStyle)
    Q_PROPERTY(bool autoSize READ autoSize WRITE setAutoSize)
    Q_PROPERTY(QColor backColor READ backColor WRITE setBackColor)

  public:
    // BorderStyle 0 draws no border; 1 (the default) the fixed two-pixel sunken border.
    static constexpr int kBorderNone = 0;
    static constexpr int kBorderFixedSingle = 1;
    static constexpr int kBorderWidth = stages::kSunkenBorderWidth;

    explicit PictureBox(QWidget* parent = nullptr);

    int borderStyle() const { return m_borderStyle; }
    void setBorderStyle(int style);
    // Pixels between the widget's edge and its client area on each side.
    int borderWidth() const { return m_borderStyle == kBorderFixedSingle ? kBorderWidth : 0; }
    // The client area in the box's own coordinates (ScaleWidth x ScaleHeight in pixels).
    QRect clientRect() const;

    bool autoSize() const { return m_autoSize; }
    void setAutoSize(bool on);

    // An invalid colour means the toolkit's default background.
    QColor backColor() const;
    void setBackColor(const QColor& color);

    const QImage& picture() const { return m_picture; }
    void setPicture(const QImage& picture);
    void setPicture(const engine::PackedImage& picture);
    void clearPicture();

    // Moves every child control that is not yet placed relative to the client area there. Called
    // once the stored layout has created the children, and again whenever the border changes.
    void placeChildrenInClientArea();

    void showVideoFrame(const engine::PackedImage& frame) override;
    void clearVideoFrame() override;
    bool hasVideoFrame() const { return !m_videoFrame.isNull(); }

    // The native window id, as the media player's window command expects it. Asking for it makes
    // the box a native child window.
    std::uint64_t hWnd();

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    void fitToPicture();

    int m_borderStyle = kBorderFixedSingle;
    bool m_autoSize = false;
    QColor m_backColor;
    QImage m_picture;
    QImage m_videoFrame;
};

}  // namespace strobo::windows
