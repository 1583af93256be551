#pragma once

#include <string>

class QWidget;

namespace strobo::windows {

class WindowSet;

// Where the picture at the clip's size goes for a chosen save path: its prefix + "_full.bmp",
// beside the series prefix + 1.bmp, 2.bmp, ...
std::string clipSizePicturePath(const std::string& chosenPath);

// Makes the last picture of the series once more at the clip's own size, upright as the video
// shows it, from the clip the extraction played, with the typed range, the interval and the
// operation the build used. The background is black when the base strobe image is black and the
// clip's own median otherwise (the 400 x 300 base would not fit the clip's frames). Asks before
// it replaces a file, shows its progress over `parent` with a way to stop, and says where the
// picture went or why it could not be made.
void saveInClipSize(WindowSet& windows, const std::string& workFolder,
                    const std::string& chosenPath, QWidget* parent);

}  // namespace strobo::windows
