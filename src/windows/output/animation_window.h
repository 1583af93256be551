#pragma once

#include "windows/main/stored_window.h"

class QPushButton;
class QTimer;

namespace strobo::windows {

class PictureBox;

// Form5, the animation window: the replay is shown in Picture1, one pass per Timer1 event.
class AnimationWindow : public StoredWindow {
    Q_OBJECT

  public:
    static constexpr int kTimerInterval = 1000;

    explicit AnimationWindow(WindowSet& windows);

    // The controls, named as stored.
    PictureBox* Picture1 = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
    // Stopped at first; its interval stays at 1000 ms.
    QTimer* Timer1 = nullptr;
};

}  // namespace strobo::windows
