#pragma once

#include <memory>
#include <string>

#include "windows/main/stored_window.h"

class QPushButton;

namespace strobo::workfolder {
class PlatformServices;
}

namespace strobo::windows {

class DesktopServices;

// Form4, the save window. Its file dialog CommonDialog1 has no widget; a dialog is made when it
// is needed.
class SaveWindow : public StoredWindow {
    Q_OBJECT

  public:
    explicit SaveWindow(WindowSet& windows);
    ~SaveWindow() override;

    // The services the handlers work through; the desktop's own unless set otherwise.
    void setServices(workfolder::PlatformServices& services) { m_services = &services; }

    // The work folder as copied from form1.Text1 when the window was first shown.
    const std::string& workFolder() const { return m_workFolder; }

    // The controls, named as stored.
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;

  protected:
    void onLoad() override;

  private:
    void saveClicked();
    void resetClicked();

    std::unique_ptr<DesktopServices> m_desktopServices;
    workfolder::PlatformServices* m_services = nullptr;
    std::string m_workFolder;
};

}  // namespace strobo::windows
