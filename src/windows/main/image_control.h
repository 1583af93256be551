#pragma once

#include <QImage>
#include <QWidget>

#include "engine/packed_image.h"

namespace strobo::windows {

// An image control: no border and no background of its own; with Stretch on, its picture is
// scaled to fill the control, otherwise drawn at its own size at the top-left.
class ImageControl : public QWidget {
    Q_OBJECT
    Q_PROPERTY(bool stretch READ stretch WRITE setStretch)

  public:
    explicit ImageControl(QWidget* parent = nullptr);

    bool stretch() const { return m_stretch; }
    void setStretch(bool on);

    const QImage& picture() const { return m_picture; }
    void setPicture(const QImage& picture);
    void setPicture(const engine::PackedImage& picture);
    void clearPicture();

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    bool m_stretch = false;
    QImage m_picture;
};

}  // namespace strobo::windows
