#pragma once

#include "windows/main/stored_window.h"

class QListWidget;
class QPushButton;

namespace strobo::windows {

class PictureBox;

// 合成, the composition window: a borderless 400 x 300 window whose visible picture box Picture3
// (larger than the window) shows the composed picture and holds the two buttons. The other
// picture boxes and the operation list are hidden working surfaces.
class CompositionWindow : public StoredWindow {
    Q_OBJECT

  public:
    explicit CompositionWindow(WindowSet& windows);

    // The controls, named as stored.
    QListWidget* List1 = nullptr;
    PictureBox* Picture1 = nullptr;
    PictureBox* Picture2 = nullptr;
    PictureBox* Picture3 = nullptr;
    // Inside Picture3.
    PictureBox* Picture4 = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
};

}  // namespace strobo::windows
