#include "windows/extraction/playback_window.h"

#include <QPainter>

#include "ui_playback_window.h"
#include "windows/main/desktop_services.h"
#include "windows/main/picture_box.h"
#include "workfolder/media/media_player.h"

namespace strobo::windows {

namespace media = workfolder::media;

PlaybackWindow::PlaybackWindow(WindowSet& windows)
    : StoredWindow(windows), m_player(std::make_unique<media::MediaPlayer>()) {
    Ui::Form2 ui;
    ui.setupUi(this);
    Picture1 = ui.Picture1;
    Text1 = ui.Text1;
    Text2 = ui.Text2;
    applyStoredLayout();
    m_player->setFrameTargetResolver([](std::uint64_t handle) -> media::FrameTarget* {
        return dynamic_cast<media::FrameTarget*>(QWidget::find(static_cast<WId>(handle)));
    });
}

PlaybackWindow::~PlaybackWindow() = default;

int PlaybackWindow::sendMediaCommand(const std::string& command, std::string* reply,
                                     std::size_t replyLength) {
    return m_player->sendString(command, reply, replyLength);
}

std::string PlaybackWindow::mediaFailure(int code) const {
    const std::string& detail = m_player->lastErrorDetail();
    return detail.empty() ? media::MediaPlayer::errorText(code) : detail;
}

std::uint64_t PlaybackWindow::videoWindowHandle() {
    return Picture1->hWnd();
}

engine::PackedImage PlaybackWindow::capturePlayback() {
    const int width = this->width();
    const int height = this->height();
    if (m_captureSurface.size() != size()) {
        m_captureSurface = QImage(size(), QImage::Format_RGB32);
        m_captureSurface.setDevicePixelRatio(1.0);
    }
    m_captureSurface.fill(palette().color(backgroundRole()));
    {
        QPainter painter(&m_captureSurface);
        render(&painter, QPoint(), QRegion(), DrawWindowBackground | DrawChildren);
    }
    // A fresh picture each time, so that it can be handed over to be written without a copy.
    engine::PackedImage capture(width, height);
    const uchar* bits = m_captureSurface.constBits();
    const qsizetype bytesPerLine = m_captureSurface.bytesPerLine();
    for (int y = 0; y < height; ++y) {
        const auto* src = reinterpret_cast<const std::uint32_t*>(bits + bytesPerLine * y);
        auto* dst = reinterpret_cast<std::uint32_t*>(capture.row(y));
        // Qt keeps 0xffRRGGBB; a packed colour has red in the low byte and nothing above blue.
        for (int x = 0; x < width; ++x) {
            const std::uint32_t p = src[x];
            dst[x] = ((p >> 16) & 0xFFu) | (p & 0xFF00u) | ((p & 0xFFu) << 16);
        }
    }
    return capture;
}

}  // namespace strobo::windows
