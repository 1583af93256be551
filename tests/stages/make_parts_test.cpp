#include <gtest/gtest.h>

#include <string>

#include "stages/make/median_background.h"

namespace strobo::stages {

using engine::PackedColor;
using engine::PackedImage;

namespace {

TEST(MedianBackgroundTest, EvenlySpacedIndexesCoverTheClipWithoutRepeats) {
    EXPECT_EQ(evenlySpacedIndexes(5, 64), (std::vector<std::int64_t>{0, 1, 2, 3, 4}));
    EXPECT_EQ(evenlySpacedIndexes(0, 64), std::vector<std::int64_t>{});
    EXPECT_EQ(evenlySpacedIndexes(10, 1), std::vector<std::int64_t>{0});
    EXPECT_EQ(evenlySpacedIndexes(9, 3), (std::vector<std::int64_t>{0, 4, 8}));
    for (const std::int64_t count : {65LL, 150LL, 1500LL, 1000000LL}) {
        const auto indexes = evenlySpacedIndexes(count, 64);
        ASSERT_EQ(indexes.size(), 64u) << count;
        EXPECT_EQ(indexes.front(), 0);
        EXPECT_EQ(indexes.back(), count - 1);
        for (std::size_t i = 1; i < indexes.size(); ++i) ASSERT_LT(indexes[i - 1], indexes[i]);
    }
    EXPECT_EQ(medianSampleLimit(640, 480), kMaxMedianSamples);
    EXPECT_LT(medianSampleLimit(1920, 1080), kMaxMedianSamples);
    EXPECT_LE(3LL * 1920 * 1080 * medianSampleLimit(1920, 1080), kMedianSampleBytes);
    EXPECT_EQ(medianSampleLimit(16384, 16384), 3);
}

TEST(MedianBackgroundTest, EachChannelTakesItsMiddleValue) {
    MedianAccumulator median(2, 1, 5);
    const PackedColor values[5][2] = {
        {engine::packColor(10, 200, 3), engine::packColor(0, 0, 0)},
        {engine::packColor(250, 100, 5), engine::packColor(9, 9, 9)},
        {engine::packColor(20, 150, 4), engine::packColor(9, 9, 9)},
        {engine::packColor(30, 0, 255), engine::packColor(255, 255, 255)},
        {engine::packColor(40, 90, 1), engine::packColor(9, 9, 9)},
    };
    for (const auto& pixels : values) {
        PackedImage frame(2, 1);
        frame.pixels = {pixels[0], pixels[1]};
        median.add(frame);
    }
    const PackedImage result = median.median();
    EXPECT_EQ(result.at(0, 0), engine::packColor(30, 100, 4));
    EXPECT_EQ(result.at(1, 0), engine::packColor(9, 9, 9));
    EXPECT_THROW(median.add(PackedImage(2, 1)), std::invalid_argument);
    EXPECT_THROW(MedianAccumulator(2, 1, 2).add(PackedImage(1, 2)), std::invalid_argument);
    EXPECT_THROW(MedianAccumulator(2, 1, 2).median(), std::logic_error);

    // An even count takes the lower of the two middle values.
    MedianAccumulator even(1, 1, 2);
    even.add(PackedImage(1, 1, engine::packColor(10, 10, 10)));
    even.add(PackedImage(1, 1, engine::packColor(20, 20, 20)));
    EXPECT_EQ(even.median().at(0, 0), engine::packColor(10, 10, 10));
}

}  // namespace

}  // namespace strobo::stages
