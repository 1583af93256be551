#pragma once

#include <vector>

#include "engine/packed_image.h"
#include "stages/extraction/frame_facts.h"
#include "stages/measure/object_positions.h"

namespace strobo::stages {

// Where a point of the clip (in pixels of the clip as shown) lands on a strobe picture:
// picture = offset + scale * clip, for each axis.
struct PictureMapping {
    double scaleX = 1;
    double scaleY = 1;
    double offsetX = 0;
    double offsetY = 0;
};

// Where the playback picture shows a clip of this size (the player fits it into 640 x 480 at
// the top-left of the picture box, inside its border), for frame files that came without facts.
PictureArea playbackVideoArea(int clipWidth, int clipHeight);

// The window-size strobe picture: the clip stands in the frame file's videoArea, and the frame
// file is shrunk to 62 % and laid at the picture's top-left corner.
PictureMapping windowPictureMapping(const PictureArea& videoArea, int clipWidth, int clipHeight);

// Draws, for each position with an object, a cross on the object's centre and the image number
// beside it, in colours that stand out on light and dark pictures alike. A number that would
// cover an earlier one is left out. Marks that fall outside the picture are cut off.
void drawPositionMarks(engine::PackedImage& picture, const std::vector<ObjectPosition>& positions,
                       const PictureMapping& mapping);

}  // namespace strobo::stages
