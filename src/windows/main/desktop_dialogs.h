#pragma once

#include "engine/packed_image.h"
#include "windows/main/dialogs.h"

class QWidget;

namespace strobo::windows {

// The dialogs as a person meets them: Qt's file dialogs, input box and message boxes, and the
// application's override cursor.
class DesktopDialogs : public Dialogs {
  public:
    // Dialogs are centred on the window that is active when they open; parent may fix one.
    explicit DesktopDialogs(QWidget* parent = nullptr) : m_parent(parent) {}

    std::optional<std::string> showOpenDialog(const FileDialogRequest& request) override;
    std::optional<std::string> showSaveDialog(const FileDialogRequest& request) override;
    std::optional<std::string> inputBox(const std::string& prompt) override;
    void messageBox(const std::string& text) override;
    bool askYesNo(const std::string& text) override;
    std::optional<std::size_t> chooseOne(const std::string& text,
                                         const std::vector<std::string>& choices) override;
    void setWaitCursor(bool on) override;

  private:
    QWidget* dialogParent() const;
    QWidget* m_parent;
};

// The image of a window exactly as it shows, at its client size in logical pixels whatever the
// screen scaling: what a print-screen of the active window would have put on the clipboard.
engine::PackedImage captureWindow(QWidget& window);

}  // namespace strobo::windows
