#pragma once

#include "windows/main/stored_window.h"

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

  private:
    void saveClicked();
    void resetClicked();
};

}  // namespace strobo::windows
