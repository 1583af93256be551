#pragma once

#include <optional>
#include <string>
#include <vector>

class QCheckBox;
class QWidget;

namespace strobo::windows {

class WindowSet;

// The save window's choices of what goes beside the saved pictures, in its free space above the
// save button: the table of positions, the series as a GIF and as an MP4, the final picture as
// PNG, and marks on the pictures. Each file is named after the chosen save name:
// <prefix>.csv, <prefix>.gif, <prefix>.mp4, <prefix>.png.
class SaveExtras {
  public:
    explicit SaveExtras(QWidget& form4);

    QCheckBox* csv = nullptr;
    QCheckBox* gif = nullptr;
    QCheckBox* mp4 = nullptr;
    QCheckBox* png = nullptr;
    QCheckBox* labels = nullptr;

    // The files the boxes ask for under this save prefix.
    std::vector<std::string> targets(const std::string& prefix) const;

    // Why the extras cannot be made, before anything is saved: one of them would replace the
    // clip, or positions are asked for without a clip and a build of this run to measure.
    std::optional<std::string> refusal(WindowSet& windows, const std::string& prefix) const;

    // After the pictures are saved: writes what the boxes ask for. Returns the message to show
    // when something could not be written; the saved pictures stay either way.
    std::optional<std::string> write(WindowSet& windows, const std::string& prefix,
                                     const std::vector<std::string>& saved) const;
};

}  // namespace strobo::windows
