#pragma once

#include <memory>
#include <string>

#include "windows/main/stored_window.h"

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

    // The work folder as copied from form1.Text1 when the window was first shown.
    const std::string& workFolder() const { return m_workFolder; }

    // The controls, named as stored.
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
    // What is written beside the pictures.
    const SaveExtras& extras() const { return *m_extras; }

  protected:
    void onLoad() override;

  private:
    void saveClicked();
    void resetClicked();

    std::string m_workFolder;
    std::unique_ptr<SaveExtras> m_extras;
};

}  // namespace strobo::windows
