#pragma once

#include <functional>

#include "engine/packed_image.h"
#include "windows/main/dialogs.h"

class QWidget;

namespace strobo::windows {

// The dialogs as a person meets them: Qt's file dialogs, input box and message boxes, and the
// application's override cursor.
class DesktopDialogs : public Dialogs {
  public:
    // Dialogs belong to the window `owner` names when it names a shown one, otherwise to the
    // window that is active when they open. After a message the owner comes back to the front.
    explicit DesktopDialogs(std::function<QWidget*()> owner = {}) : m_owner(std::move(owner)) {}

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
    void bringBack(QWidget* parent) const;
    std::optional<std::string> showFileDialog(const FileDialogRequest& request, bool save);
    std::function<QWidget*()> m_owner;
};

// The toolkit's own words and formats in Japanese whatever the user's language settings: the
// file dialog's dates, sizes and file types, the buttons of message and input boxes. Qt formats
// the file dialog's dates and sizes in the system's locale, which it reads from the environment
// once; so this is called before the application object exists, and leaves the environment and
// the C library's locale as they were.
void useJapaneseSystemLocale();

// Once the application object exists: Japanese as the default locale (file types come from the
// MIME database in that language), Qt's own Japanese translations, and the few words they lack.
// The translations live as long as the application.
void installJapaneseToolkitTexts();

// The image of a window exactly as it shows, at its client size in logical pixels whatever the
// screen scaling: what a print-screen of the active window would have put on the clipboard.
engine::PackedImage captureWindow(QWidget& window);

}  // namespace strobo::windows
