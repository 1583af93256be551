#pragma once

#include <optional>
#include <string>
#include <vector>

namespace strobo::windows {

struct FileDialogRequest {
    std::string initialFolder;  // empty: the user's home folder
    std::string filter;         // Qt filter string, e.g. "(*.avi);;すべてのファイル (*)"
    std::string title;
};

// What the windows ask of the person in front of them: modal dialogs, messages and the wait
// cursor. Only the windows speak to the user; the stages return results instead. Tests script
// the answers.
class Dialogs {
  public:
    virtual ~Dialogs() = default;

    // Each returns nullopt when the user cancels. Paths are UTF-8.
    virtual std::optional<std::string> showOpenDialog(const FileDialogRequest& request) = 0;
    virtual std::optional<std::string> showSaveDialog(const FileDialogRequest& request) = 0;
    virtual std::optional<std::string> inputBox(const std::string& prompt) = 0;
    // A modal message with an OK button only.
    virtual void messageBox(const std::string& text) = 0;
    // A modal question with Yes and No; true for Yes.
    virtual bool askYesNo(const std::string& text) = 0;
    // A modal question with one button per choice and a cancel button; the index of the choice,
    // nullopt for cancel.
    virtual std::optional<std::size_t> chooseOne(const std::string& text,
                                                 const std::vector<std::string>& choices) = 0;

    // The wait cursor over the whole application, on or off.
    virtual void setWaitCursor(bool on) = 0;
};

// Shows the wait cursor for the lifetime of the object, and restores it however the scope ends.
class WaitCursor {
  public:
    explicit WaitCursor(Dialogs& dialogs) : m_dialogs(dialogs) { m_dialogs.setWaitCursor(true); }
    ~WaitCursor() { m_dialogs.setWaitCursor(false); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

  private:
    Dialogs& m_dialogs;
};

}  // namespace strobo::windows
