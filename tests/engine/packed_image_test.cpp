#include "engine/packed_image.h"

#include <gtest/gtest.h>

namespace strobo::engine {

TEST(PackedImage, PacksRedIntoTheLowByte) {
    EXPECT_EQ(packColor(255, 0, 0), 0x0000FF);
    EXPECT_EQ(packColor(0, 0, 1), 65536);
    PackedImage image(3, 2, packColor(1, 2, 3));
    image.set(2, 1, 7);
    EXPECT_EQ(image.at(2, 1), 7);
    EXPECT_EQ(image.at(0, 0), packColor(1, 2, 3));
}

}  // namespace strobo::engine
