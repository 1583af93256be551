#pragma once

#include "windows/main/stored_window.h"

class QLineEdit;

namespace strobo::windows {

class PictureBox;

// Form2, the playback window: a borderless window filled by the picture box the video is shown
// in, which also holds the hidden frame-count box. Its image is what a frame file holds.
class PlaybackWindow : public StoredWindow {
    Q_OBJECT

  public:
    explicit PlaybackWindow(WindowSet& windows);

    // The controls, named as stored.
    PictureBox* Picture1 = nullptr;
    // Hidden, inside Picture1; Text1 receives the frame count.
    QLineEdit* Text1 = nullptr;
    QLineEdit* Text2 = nullptr;
};

}  // namespace strobo::windows
