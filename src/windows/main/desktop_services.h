#pragma once

#include "workfolder/file_services.h"

class QWidget;

namespace strobo::windows {

// The services as a person meets them: real dialogs, message boxes, the wait cursor and the
// event loop. Files and pictures are handled as on the command line.
class DesktopServices : public workfolder::FileServices {
  public:
    // Dialogs are centred on the window that is active when they open; parent may fix one.
    explicit DesktopServices(QWidget* parent = nullptr) : m_parent(parent) {}

    std::optional<std::string> showOpenDialog(
        const workfolder::FileDialogRequest& request) override;
    std::optional<std::string> showSaveDialog(
        const workfolder::FileDialogRequest& request) override;
    std::optional<std::string> inputBox(const std::string& prompt) override;
    void messageBox(const std::string& text) override;
    bool askYesNo(const std::string& text) override;
    void setWaitCursor(bool on) override;
    void yield() override;

  private:
    QWidget* dialogParent() const;
    QWidget* m_parent;
};

// The image of a window exactly as it shows, at its client size in logical pixels whatever the
// screen scaling: what a print-screen of the active window would have put on the clipboard.
engine::PackedImage captureWindow(QWidget& window);

}  // namespace strobo::windows
