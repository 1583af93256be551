#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "engine/packed_image.h"

namespace strobo::workfolder {

// The error of the work-folder and platform layer. Its message is Japanese, names the file
// concerned and can be shown to the user as it stands.
class ServiceError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// A file name or typed text as it stands in a message: between Japanese quotation marks.
inline std::string quoted(std::string_view text) {
    std::string out = "「";
    out.append(text);
    out += "」";
    return out;
}

struct FileDialogRequest {
    std::string initialFolder;  // empty: the user's home folder
    std::string filter;         // Qt filter string, e.g. "(*.avi);;すべてのファイル (*)"
    std::string title;
};

// Everything the stages need from the desktop: pictures, files, dialogs and the event loop.
// Paths are UTF-8. The windows use the Qt implementation; the command line uses it without
// dialogs; tests use a scripted one.
class PlatformServices {
  public:
    virtual ~PlatformServices() = default;

    // Reads a bitmap (or any picture Qt reads) file. Throws ServiceError for a missing,
    // unreadable, truncated or absurdly large file. Must be safe to call from a second thread
    // (the strobe build reads the next frame ahead).
    virtual engine::PackedImage loadPicture(const std::string& path) = 0;
    // Writes a 24-bit Windows bitmap, replacing an existing file. Throws ServiceError.
    virtual void savePicture(const engine::PackedImage& picture, const std::string& path) = 0;

    // Copies with overwrite. Throws ServiceError when the source is missing or the
    // destination cannot be written.
    virtual void copyFile(const std::string& source, const std::string& destination) = 0;
    // Throws ServiceError when the file is missing or cannot be removed.
    virtual void deleteFile(const std::string& path) = 0;
    virtual bool fileExists(const std::string& path) = 0;
    virtual bool folderExists(const std::string& path) = 0;
    // Creates the folder and its parents. Throws ServiceError.
    virtual void createFolder(const std::string& path) = 0;

    // Modal dialogs. Each returns nullopt when the user cancels.
    virtual std::optional<std::string> showOpenDialog(const FileDialogRequest& request) = 0;
    virtual std::optional<std::string> showSaveDialog(const FileDialogRequest& request) = 0;
    virtual std::optional<std::string> inputBox(const std::string& prompt) = 0;
    // A modal message with an OK button only.
    virtual void messageBox(const std::string& text) = 0;
    // A modal question with Yes and No; true for Yes.
    virtual bool askYesNo(const std::string& text) = 0;

    // The wait cursor over the whole application, on or off.
    virtual void setWaitCursor(bool on) = 0;
    // Lets the window system deliver pending events, then returns.
    virtual void yield() = 0;
};

// Shows the wait cursor for the lifetime of the object, and restores it however the scope ends.
class WaitCursor {
  public:
    explicit WaitCursor(PlatformServices& services) : m_services(services) {
        m_services.setWaitCursor(true);
    }
    ~WaitCursor() { m_services.setWaitCursor(false); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

  private:
    PlatformServices& m_services;
};

}  // namespace strobo::workfolder
