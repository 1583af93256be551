#pragma once

#include <memory>

#include "windows/extraction/frame_extraction.h"
#include "windows/main/stored_window.h"

class QLineEdit;

namespace strobo::workfolder::media {
class MediaPlayer;
}

namespace strobo::windows {

class PictureBox;

// Form2, the playback window: a borderless window filled by the picture box the video is shown
// in, which also holds the hidden frame-count box. Its image is what a frame file holds. It owns
// the media device the clip plays on, which draws into any picture box found by its handle.
class PlaybackWindow : public StoredWindow, public PlaybackSurface {
    Q_OBJECT

  public:
    explicit PlaybackWindow(WindowSet& windows);
    ~PlaybackWindow() override;

    // The controls, named as stored.
    PictureBox* Picture1 = nullptr;
    // Hidden, inside Picture1; Text1 receives the frame count.
    QLineEdit* Text1 = nullptr;
    QLineEdit* Text2 = nullptr;

    workfolder::media::MediaPlayer& mediaPlayer() { return *m_player; }

    int sendMediaCommand(const std::string& command, std::string* reply = nullptr,
                         std::size_t replyLength = 0) override;
    std::string mediaFailure(int code) const override;
    std::uint64_t videoWindowHandle() override;
    // The picture captureWindow() takes, drawn into buffers kept from one frame to the next:
    // a fresh picture-sized block per frame costs more than drawing it.
    engine::PackedImage capturePlayback() override;

  private:
    std::unique_ptr<workfolder::media::MediaPlayer> m_player;
    QImage m_captureSurface;
};

}  // namespace strobo::windows
