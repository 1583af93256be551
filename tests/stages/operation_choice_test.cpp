#include "stages/composition/operation_choice.h"

#include <gtest/gtest.h>

namespace strobo::stages {

using engine::PackedImage;

namespace {

// A small background with a square of another colour on it, as a frame shows a moving object.
PackedImage withSquare(PackedImage background, engine::PackedColor object, int at) {
    for (int y = at; y < at + 4; ++y)
        for (int x = at; x < at + 4; ++x) background.set(x, y, object);
    return background;
}

}  // namespace

TEST(ToneVote, ADarkObjectOnWhiteTakesTheMinimumABrightOneOnDarkTheMaximum) {
    const PackedImage white(16, 12, engine::packColor(250, 250, 250));
    ToneVote dark(white);
    for (int at = 0; at < 8; at += 4)
        dark.add(withSquare(white, engine::packColor(20, 20, 30), at));
    EXPECT_EQ(dark.tone(), ObjectTone::Darker);
    EXPECT_EQ(dark.operation(), engine::kOperationMin);

    // Blue weighs least in brightness but most in the packed colour: the tone follows brightness.
    const PackedImage night(16, 12, engine::packColor(10, 10, 60));
    ToneVote bright(night);
    bright.add(withSquare(night, engine::packColor(240, 220, 0), 2));
    // Small noise below a clear difference does not count either way.
    bright.add(PackedImage(16, 12, engine::packColor(20, 20, 60)));
    EXPECT_EQ(bright.tone(), ObjectTone::Brighter);
    EXPECT_EQ(bright.operation(), engine::kOperationMax);
}

}  // namespace strobo::stages
