#include "windows/extraction/playback_window.h"

#include <QPainter>
#include <bit>

#include "stages/extraction/playback_picture.h"
#include "ui_playback_window.h"
#include "workfolder/bitmap_file.h"
#include "workfolder/media/media_player.h"
#include "workfolder/qt_image.h"

namespace strobo::windows {

namespace media = workfolder::media;

std::shared_ptr<const engine::PackedImage> PlaybackPictureBox::sharedPlaybackPicture() {
    static const engine::PackedImage kNoFrame;
    const bool border = borderStyle() == kBorderFixedSingle;
    const QColor back = backColor();
    const engine::PackedColor backColor = engine::packColor(back.red(), back.green(), back.blue());
    if (!m_picture || m_pictureStale || border != m_paintedBorder ||
        backColor != m_paintedBackColor) {
        m_picture = std::make_shared<const engine::PackedImage>(
            stages::paintPlaybackPicture(m_frame ? *m_frame : kNoFrame, border, backColor));
        m_paintedBorder = border;
        m_paintedBackColor = backColor;
        m_pictureStale = false;
    }
    return m_picture;
}

void PlaybackPictureBox::showVideoFrame(const engine::PackedImage& frame) {
    showSharedVideoFrame(std::make_shared<const engine::PackedImage>(frame));
}

void PlaybackPictureBox::showSharedVideoFrame(std::shared_ptr<const engine::PackedImage> frame) {
    m_frame = std::move(frame);
    m_pictureStale = true;
    update();
}

void PlaybackPictureBox::clearVideoFrame() {
    m_frame.reset();
    m_pictureStale = true;
    update();
}

namespace {

// The picture's own pixels seen as an image without a copy where the packed colour's bytes are
// red, green, blue and padding in memory, as on every little-endian machine.
QImage viewOf(const engine::PackedImage& picture) {
    if constexpr (std::endian::native == std::endian::little) {
        return QImage(reinterpret_cast<const uchar*>(picture.pixels.data()), picture.width,
                      picture.height, picture.width * 4, QImage::Format_RGBX8888);
    } else {
        return workfolder::toQImage(picture);
    }
}

}  // namespace

void PlaybackPictureBox::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    const QImage picture = viewOf(playbackPicture());
    painter.drawImage(QPoint(0, 0), picture);
    // Beyond the window's edges: never seen, but not left undrawn.
    const QRegion rest = QRegion(rect()) - QRegion(picture.rect());
    for (const QRect& r : rest) painter.fillRect(r, backColor());
}

PlaybackWindow::PlaybackWindow(WindowSet& windows) : StoredWindow(windows) {
    Ui::Form2 ui;
    ui.setupUi(this);
    Picture1 = ui.Picture1;
    Text1 = ui.Text1;
    Text2 = ui.Text2;
    applyStoredLayout();
    mediaPlayer().setFrameTargetResolver([](std::uint64_t handle) -> media::FrameTarget* {
        return dynamic_cast<media::FrameTarget*>(QWidget::find(static_cast<WId>(handle)));
    });
}

PlaybackWindow::~PlaybackWindow() = default;

std::uint64_t PlaybackWindow::videoWindowHandle() {
    return Picture1->hWnd();
}

engine::PackedImage PlaybackWindow::capturePlayback() {
    return Picture1->playbackPicture();
}

workfolder::BackgroundSaver::BitmapEncoder PlaybackWindow::captureFrameFile() {
    return [picture = Picture1->sharedPlaybackPicture()](std::vector<std::uint8_t>& bytes) {
        workfolder::encodeBitmap24(*picture, bytes);
    };
}

}  // namespace strobo::windows
