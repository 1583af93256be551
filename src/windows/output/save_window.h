#pragma once

#include <memory>
#include <string>

#include "windows/main/stored_window.h"

class QCheckBox;
class QPushButton;

namespace strobo::windows {

class SaveExtras;

// Form4, the save window. Its file dialog CommonDialog1 has no widget; a dialog is made when it
// is needed.
class SaveWindow : public StoredWindow {
    Q_OBJECT

  public:
    explicit SaveWindow(WindowSet& windows);
    ~SaveWindow() override;

    // The controls, named as stored.
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
    // Added between the buttons: the save also writes the last picture at the clip's own size.
    QCheckBox* nativeSizeBox = nullptr;
    // What is written beside the pictures.
    const SaveExtras& extras() const { return *m_extras; }

  private:
    void saveClicked();
    void resetClicked();

    std::unique_ptr<SaveExtras> m_extras;
};

}  // namespace strobo::windows
