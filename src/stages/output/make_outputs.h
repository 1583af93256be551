#pragma once

#include <string>
#include <vector>

#include "stages/make/make_strobe.h"
#include "stages/measure/object_positions.h"

namespace strobo::stages {

// What a class takes home besides the pictures: the table of positions, the series as an
// animation and a video, and marks on the pictures. Empty names are not written.
struct MakeExtras {
    std::string csv;
    std::string gif;
    std::string mp4;
    // A ring round the object and its image number on every picture.
    bool labels = false;
};

struct MakeAndShareResult {
    // The pictures under their final names (PNG when the output's name ends in ".png").
    MakeResult made;
    std::vector<ObjectPosition> positions;
    // The CSV, GIF and MP4 written, in that order.
    std::vector<std::string> shared;
};

// The whole road of makeStrobe and then the extras. The pictures take the format the output's
// name asks for; with marks or PNG they are composed in a private folder beside the output and
// written under their names afterwards. Positions are measured on the frames the native road
// decodes anyway, against its background when that is the clip's median or a picture file
// (scaled to the clip) and against the clip's median otherwise; the window road decodes the
// frames used a second time, at full size, and finds the object against the clip's median. Stops,
// failures and the progress are as makeStrobe's; Phase::Measure and Phase::Share follow it.
MakeAndShareResult makeAndShare(const MakeRequest& request, const MakeExtras& extras,
                                const Progress& progress = {});

}  // namespace strobo::stages
