#pragma once

#include <string>
#include <string_view>

#include "workfolder/platform_services.h"

namespace strobo::windows::output {

// The two texts of the frame range, as read from the contact sheet at the moment of the click:
// the first frame as it stands, the last frame already passed through the 255-character buffer.
struct FrameRangeText {
    std::string first;
    std::string last;
};

// How a save ended. Only Saved completes the save window's button; after any other outcome the
// user may try again.
enum class SaveOutcome {
    Saved,
    // The dialog was cancelled: nothing was copied or deleted.
    Cancelled,
    // The range or the names did not allow a save, or a copy failed: nothing was deleted. A
    // message naming the file has been shown.
    CopyFailed,
    // Every picture was saved, but a strobe file could not be deleted afterwards. A message naming
    // the file has been shown.
    DeleteFailed,
};

// Saves the strobe series s+1 .. e+1 of the work folder as prefix + k + ".bmp" (k = n - s), the
// prefix being the chosen path without its file name's extension, then deletes the strobe files
// s .. e+1. Every source is checked before the first copy and every copy made before the first
// delete, so a failure never loses a picture.
SaveOutcome saveSeries(workfolder::PlatformServices& services, std::string_view workFolder,
                       const FrameRangeText& range);

// Copies the pristine base image over the base strobe image. A missing or uncopyable pristine
// image is reported with a message, and false is returned so that the window stays.
bool resetBaseImage(workfolder::PlatformServices& services, std::string_view workFolder);

}  // namespace strobo::windows::output
