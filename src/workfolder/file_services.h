#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "workfolder/platform_services.h"

namespace strobo::workfolder {

// Pictures and files for real, on the local file system; the dialogs answered from scripts
// instead of a person. The command line runs on it (where no one answers a dialog) and so do
// the tests (which script the answers and read back what was said).
class FileServices : public PlatformServices {
  public:
    // Pictures with more pixels than this are refused before they are decoded.
    static constexpr long long kMaxPicturePixels = 16384LL * 16384LL;

    engine::PackedImage loadPicture(const std::string& path) override;
    void savePicture(const engine::PackedImage& picture, const std::string& path) override;
    void copyFile(const std::string& source, const std::string& destination) override;
    void deleteFile(const std::string& path) override;
    bool fileExists(const std::string& path) override;
    bool folderExists(const std::string& path) override;
    void createFolder(const std::string& path) override;

    std::optional<std::string> showOpenDialog(const FileDialogRequest& request) override;
    std::optional<std::string> showSaveDialog(const FileDialogRequest& request) override;
    std::optional<std::string> inputBox(const std::string& prompt) override;
    void messageBox(const std::string& text) override;
    bool askYesNo(const std::string& text) override;
    void setWaitCursor(bool on) override;
    void yield() override;

    // Scripted answers, taken front first; an empty queue answers as a cancel (or No).
    std::deque<std::optional<std::string>> openAnswers;
    std::deque<std::optional<std::string>> saveAnswers;
    std::deque<std::optional<std::string>> inputAnswers;
    std::deque<bool> yesNoAnswers;

    // What the program said and asked, in order.
    std::vector<std::string> messages;
    std::vector<std::string> questions;
    std::vector<FileDialogRequest> dialogRequests;
    std::vector<std::string> prompts;
    int waitCursorDepth = 0;
    int yields = 0;

    // Called for every message, e.g. to print it on standard error.
    std::function<void(const std::string&)> onMessage;
    // Called at each yield, e.g. to let a test act in the middle of a loop.
    std::function<void()> onYield;
};

}  // namespace strobo::workfolder
