#pragma once

#include <string>

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

    // The work folder as copied from form1.Text1 when the window was first shown.
    const std::string& workFolder() const { return m_workFolder; }

    // The controls, named as stored.
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
    // Added between the buttons: the save also writes the last picture at the clip's own size.
    QCheckBox* nativeSizeBox = nullptr;

  protected:
    void onLoad() override;

  private:
    void saveClicked();
    void resetClicked();

    std::string m_workFolder;
};

}  // namespace strobo::windows
