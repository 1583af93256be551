#pragma once

#include <string>
#include <vector>

#include "stages/measure/object_positions.h"
#include "stages/output/position_marks.h"
#include "stages/progress.h"
#include "workfolder/picture_formats.h"

namespace strobo::stages {

// How long each picture of a shared animation shows: the pace of the animation window's replay.
constexpr int kSharedPictureMilliseconds = 300;

// Copies the series' pictures sources[k] to targets[k] in the given format, drawing on picture k
// the marks of positions 1..k+1 when positions are given (picture k holds images 1..k+1). A
// target may be its own source. Progress hears Phase::Share per picture; returns false when it
// asked to stop. Throws workfolder::FailureError when a picture cannot be read or written.
bool copySeriesPictures(const std::vector<std::string>& sources,
                        const std::vector<std::string>& targets, workfolder::PictureFormat format,
                        const std::vector<ObjectPosition>* positions, const PictureMapping& mapping,
                        const Progress& progress = {});

// Writes the series' pictures, in order, as an animated GIF and as an MP4 video; an empty name
// is skipped. The GIF's colours are chosen over every picture first, so its pictures are read
// twice. Returns false when progress asked to stop (nothing is left under the names then).
// Throws workfolder::FailureError: a picture that cannot be read, pictures of different sizes
// (FrameSizesDiffer), or AnimationNotWritten.
// Throws workfolder::FailureError (SaveOntoClip) for the first output that names the clip file
// itself, by whatever path; empty names are passed over.
void refuseOutputsOntoClip(const std::string& clip, const std::vector<std::string>& outputs);

bool writeSeriesAnimations(const std::vector<std::string>& pictures, const std::string& gif,
                           const std::string& mp4, const Progress& progress = {});

}  // namespace strobo::stages
