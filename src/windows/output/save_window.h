#pragma once

#include "windows/main/stored_window.h"

class QCheckBox;
class QPushButton;

namespace strobo::windows {

// Form4, the save window. Its file dialog CommonDialog1 has no widget; a dialog is made when it
// is needed.
class SaveWindow : public StoredWindow {
    Q_OBJECT

  public:
    explicit SaveWindow(WindowSet& windows);

    // The controls, named as stored.
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
    // Added between the buttons: the save also writes the last picture at the clip's own size.
    QCheckBox* nativeSizeBox = nullptr;

  private:
    void saveClicked();
    void resetClicked();
};

}  // namespace strobo::windows
