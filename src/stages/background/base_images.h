#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/packed_image.h"
#include "stages/composition/strobe_build.h"
#include "stages/progress.h"
#include "workfolder/failure.h"
#include "workfolder/file_services.h"

namespace strobo::stages {

// What the base images are made of when the work folder has none.
enum class BaseImageKind {
    // The per-channel median of frames sampled over the clip: the moving object is gone.
    Median,
    // Frame file 1.
    FirstFrame,
    Black,
};

struct BaseImagesResult {
    // The base strobe image and the pristine base image, as each was written.
    std::vector<std::string> written;
    // Base images already in the folder that were not to be replaced; nothing was written.
    std::vector<std::string> existing;
    // The progress asked to stop before anything was written.
    bool stopped = false;
    std::optional<workfolder::Failure> failure;
};

// The base strobe image and the pristine base image that are in the folder, in that order.
std::vector<std::string> existingBaseImages(workfolder::FileServices& files,
                                            std::string_view folder);

// The work folder's frame files, with the video their facts tell (the whole picture without).
ShrunkFrameSource frameFileSource(workfolder::FileServices& files, std::string_view folder);

// A shrunk frame's video laid where it stands on a black picture of the strobe size, cut where it
// is larger: what the composition window would compose onto. Nothing beside the video (the
// playback window's border and colour) is taken; a frame without a known video is taken whole.
engine::PackedImage laidOnStrobePicture(const ShrunkFrame& shrunk);

// The median of frame files 1 .. frameCount (sampled evenly when there are many), laid as above:
// the background with the moving object gone. Progress hears (Phase::Median, done, total);
// nothing when it asks to stop. Throws FailureError for a frame file that cannot be read or whose
// video differs in place or size from the first one's.
std::optional<engine::PackedImage> windowMedianBackground(const ShrunkFrameSource& frames,
                                                          std::int64_t frameCount,
                                                          const Progress& progress = {});

// Writes the base strobe image Sstrobe.bmp and its pristine copy Stest0.bmp (the same 400 x 300
// picture) into the work folder, made from its frame files 1 .. frameCount. Unless
// replaceExisting, a folder that has either of them already is left as it is and the result
// lists what is there.
BaseImagesResult makeBaseImages(workfolder::FileServices& files, std::string_view folder,
                                BaseImageKind kind, std::int64_t frameCount, bool replaceExisting,
                                const Progress& progress = {});

}  // namespace strobo::stages
