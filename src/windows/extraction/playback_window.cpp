#include "windows/extraction/playback_window.h"

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
    return captureWindow(*this);
}

}  // namespace strobo::windows
