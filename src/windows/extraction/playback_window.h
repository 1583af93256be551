#pragma once

#include <memory>

#include "engine/packed_image.h"
#include "stages/extraction/media_playback.h"
#include "windows/main/picture_box.h"
#include "windows/main/stored_window.h"

class QLineEdit;

namespace strobo::windows {

// Form2's picture box: it shows the playback picture painted by the very function extraction
// saves without a window, so what the window shows and what a frame file holds cannot differ.
// Only the box's top-left corner lies inside the window; that is all it paints of itself.
class PlaybackPictureBox : public PictureBox {
    Q_OBJECT

  public:
    using PictureBox::PictureBox;

    // The playback picture as the box shows it now.
    const engine::PackedImage& playbackPicture() { return *sharedPlaybackPicture(); }
    // The same picture, kept as it is for as long as the caller holds it: the box paints a new
    // one rather than change it.
    std::shared_ptr<const engine::PackedImage> sharedPlaybackPicture();

    void showVideoFrame(const engine::PackedImage& frame) override;
    // Kept without a copy.
    void showSharedVideoFrame(std::shared_ptr<const engine::PackedImage> frame) override;
    void clearVideoFrame() override;
    bool hasVideoFrame() const { return m_frame && !m_frame->isNull(); }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    std::shared_ptr<const engine::PackedImage> m_frame;
    std::shared_ptr<const engine::PackedImage> m_picture;
    bool m_pictureStale = true;
    bool m_paintedBorder = false;
    engine::PackedColor m_paintedBackColor = 0;
};

// Form2, the playback window: a borderless window filled by the picture box the video is shown
// in, which also holds the hidden frame-count box. Its image is what a frame file holds. It owns
// the media device the clip plays on, which draws into any picture box found by its handle.
class PlaybackWindow : public StoredWindow, public stages::MediaPlayback {
    Q_OBJECT

  public:
    explicit PlaybackWindow(WindowSet& windows);
    ~PlaybackWindow() override;

    // The controls, named as stored.
    PlaybackPictureBox* Picture1 = nullptr;
    // Hidden, inside Picture1; Text1 receives the frame count.
    QLineEdit* Text1 = nullptr;
    QLineEdit* Text2 = nullptr;

    std::uint64_t videoWindowHandle() override;
    // The picture the window shows, as a fresh picture that can be handed over to be written.
    engine::PackedImage capturePlayback() override;
    // The picture the window shows, written as it is without a copy.
    workfolder::BackgroundSaver::BitmapEncoder captureFrameFile() override;
};

}  // namespace strobo::windows
