#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "stages/frame_range.h"
#include "workfolder/failure.h"
#include "workfolder/file_services.h"

namespace strobo::stages {

// How a save ended.
enum class SaveOutcome {
    Saved,
    // The range or the names did not allow a save, or a copy failed: nothing was deleted.
    CopyFailed,
    // Every picture was saved, but a strobe file could not be deleted afterwards.
    DeleteFailed,
    // Asked to stop between two files. During the copies nothing was deleted; during the deletes
    // the strobe files not yet reached are still there. Every picture in `saved` is whole.
    Stopped,
};

struct SaveResult {
    SaveOutcome outcome = SaveOutcome::Saved;
    // The pictures saved, in order.
    std::vector<std::string> saved;
    // CopyFailed: NumberOutOfRange or NumberIsNaN (the range), NothingToSave, StrobeMissing,
    // SaveOntoWorkFiles or a copy that failed; DeleteFailed: the delete that failed.
    std::optional<workfolder::Failure> failure;
};

// Asked between two files; true asks the save to stop there.
using StopRequest = std::function<bool()>;

// Saves the strobe series s+1 .. e+1 of the work folder as prefix + k + ".bmp" (k = n - s),
// then deletes the strobe files s .. e+1. Every source is checked before the first copy and
// every copy made before the first delete, so a failure never loses a picture. No saved picture
// may land on a file of the work folder's own (frame files test*.bmp, strobe files Sstrobe*.bmp,
// the base images), whatever path leads there.
SaveResult saveSeries(workfolder::FileServices& files, std::string_view workFolder,
                      const FrameRange& range, const std::string& prefix,
                      const StopRequest& stopRequested = {});

// Copies the pristine base image over the base strobe image. Returns why it could not
// (PristineMissing, or the copy's failure); nothing when it did.
std::optional<workfolder::Failure> resetBaseImage(workfolder::FileServices& files,
                                                  std::string_view workFolder);

}  // namespace strobo::stages
