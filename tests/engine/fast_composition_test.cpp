#include "engine/fast_composition.h"

#include <gtest/gtest.h>

#include <limits>
#include <random>

#include "engine/composition.h"

namespace strobo::engine {
namespace {

PackedImage randomImage(std::mt19937& rng, int width, int height) {
    PackedImage image(width, height);
    std::uniform_int_distribution<int> kind(0, 9);
    std::uniform_int_distribution<std::uint32_t> bits;
    std::uniform_int_distribution<int> channel(0, 255);
    for (PackedColor& p : image.pixels) {
        switch (kind(rng)) {
            case 0:
                p = -1;
                break;
            case 1:
                p = static_cast<PackedColor>(bits(rng));
                break;
            case 2:
                p = packColor(channel(rng) & 1, 0, 255 * (channel(rng) & 1));
                break;
            default:
                p = packColor(channel(rng), channel(rng), channel(rng));
        }
    }
    return image;
}

int around(std::mt19937& rng, int size) {
    std::uniform_int_distribution<int> pick(0, 5);
    switch (pick(rng)) {
        case 0:
            return 0;
        case 1:
            return size;
        case 2:
            return std::max(0, size - 3);
        default:
            return std::uniform_int_distribution<int>(0, size + 6)(rng);
    }
}

TEST(ComposeImagesFast, MatchesTheReferenceForEveryOperationAndSize) {
    std::mt19937 rng(20240611);
    for (int round = 0; round < 120; ++round) {
        const int width = std::uniform_int_distribution<int>(0, 40)(rng);
        const int height = std::uniform_int_distribution<int>(0, 12)(rng);
        const PackedImage a = randomImage(rng, around(rng, width), around(rng, height));
        const PackedImage b = randomImage(rng, around(rng, width), around(rng, height));
        const PackedImage c0 = randomImage(rng, around(rng, width), around(rng, height));
        for (int op = -2; op <= 9; ++op) {
            PackedImage expectedA = a, expectedB = b, expected = c0;
            PackedImageDevice da(expectedA), db(expectedB), dc(expected);
            ComposeImages(da, db, dc, width, height, static_cast<CompositionOperation>(op));

            PackedImage actual = c0;
            composeImagesFast(a, b, actual, width, height, static_cast<CompositionOperation>(op));
            ASSERT_EQ(actual, expected)
                << "round " << round << " op " << op << " rect " << width << "x" << height << " A "
                << a.width << "x" << a.height << " B " << b.width << "x" << b.height << " C "
                << c0.width << "x" << c0.height;
        }
    }
}

TEST(ComposeImagesFast, MatchesTheReferenceOnRowsLongerThanOneProcessingPiece) {
    std::mt19937 rng(99);
    const PackedImage a = randomImage(rng, 1300, 3);
    const PackedImage b = randomImage(rng, 700, 4);
    const PackedImage c0 = randomImage(rng, 1200, 4);
    for (int op = -1; op <= 8; ++op) {
        PackedImage expectedA = a, expectedB = b, expected = c0;
        PackedImageDevice da(expectedA), db(expectedB), dc(expected);
        ComposeImages(da, db, dc, 1250, 4, static_cast<CompositionOperation>(op));
        PackedImage actual = c0;
        composeImagesFast(a, b, actual, 1250, 4, static_cast<CompositionOperation>(op));
        ASSERT_EQ(actual, expected) << "op " << op;
    }
}

TEST(ComposeImagesFast, CoversEveryChannelPairExhaustively) {
    // All 65536 pairs of channel values, laid out once per channel, for the channel operations.
    PackedImage a(256, 256), b(256, 256);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) {
            a.set(x, y, packColor(x, y, x ^ y));
            b.set(x, y, packColor(y, x, 255 - x));
        }
    for (int op = kOperationAdd; op < kOperationCount; ++op) {
        PackedImage expected(256, 256), actual(256, 256);
        PackedImageDevice da(a), db(b), dc(expected);
        ComposeImages(da, db, dc, 256, 256, static_cast<CompositionOperation>(op));
        composeImagesFast(a, b, actual, 256, 256, static_cast<CompositionOperation>(op));
        ASSERT_EQ(actual, expected) << "op " << op;
    }
}

TEST(ComposeImagesFast, NegativeSizesAndOverflowBehaveLikeTheReference) {
    PackedImage a(3, 3, 5), b(3, 3, 6), c(3, 3, 7);
    const PackedImage untouched = c;
    for (auto [w, h] : {std::pair{-1, 3}, {3, -1}, {-4, -4}, {-2, 5}, {0, 3}}) {
        composeImagesFast(a, b, c, w, h, kOperationAdd);
        EXPECT_EQ(c, untouched);
    }
    constexpr int kMax = std::numeric_limits<std::int32_t>::max();
    for (auto [w, h] : {std::pair{65536, 65536}, {kMax, 1}, {-100000, 100000}}) {
        EXPECT_THROW(composeImagesFast(a, b, c, w, h, kOperationAdd), EngineError);
    }
    EXPECT_EQ(c, untouched);
}

TEST(ComposeImagesFast, ResultMayReplaceAnOperand) {
    std::mt19937 rng(7);
    const PackedImage a = randomImage(rng, 33, 9);
    const PackedImage b = randomImage(rng, 20, 12);
    for (int op = -1; op <= 8; ++op) {
        PackedImage expected(33, 9);
        composeImagesFast(a, b, expected, 33, 9, static_cast<CompositionOperation>(op));
        PackedImage inPlace = a;
        composeImagesFast(inPlace, b, inPlace, 33, 9, static_cast<CompositionOperation>(op));
        EXPECT_EQ(inPlace, expected) << "op " << op;
    }
}

}  // namespace
}  // namespace strobo::engine
