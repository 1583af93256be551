#include "engine/scaling.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace strobo::engine {
namespace {

TEST(ScaleImage, UniformImagesStayUniformAtAnySize) {
    const PackedColor colour = packColor(201, 7, 99);
    PackedImage src(653, 480, colour | static_cast<PackedColor>(0x5A000000));
    for (auto [w, h] : {std::pair{405, 298}, {653, 480}, {1, 1}, {1000, 700}, {300, 900}}) {
        const PackedImage out = scaleImage(src, w, h);
        ASSERT_EQ(out.width, w);
        ASSERT_EQ(out.height, h);
        ASSERT_EQ(out.pixels.size(), static_cast<std::size_t>(w) * h);
        for (PackedColor p : out.pixels) ASSERT_EQ(p, colour) << w << "x" << h;
    }
}

TEST(ScaleImage, HalvingAveragesBlocksWithRoundingAndDropsHighBits) {
    PackedImage src(4, 2);
    src.set(0, 0, packColor(10, 0, 255));
    src.set(1, 0, packColor(20, 1, 255));
    src.set(0, 1, packColor(30, 0, 255) | static_cast<PackedColor>(0xFF000000));
    src.set(1, 1, packColor(41, 0, 254));
    src.set(2, 0, -1);
    src.set(3, 0, 0);
    src.set(2, 1, 0);
    src.set(3, 1, 0);
    const PackedImage out = scaleImage(src, 2, 1);
    // (10+20+30+41)/4 = 25.25, (0+1+0+0)/4 = 0.25, (255*3+254)/4 = 254.75; -1 counts as white.
    EXPECT_EQ(out.at(0, 0), packColor(25, 0, 255));
    EXPECT_EQ(out.at(1, 0), packColor(64, 64, 64));

    PackedImage row(6, 1);
    for (int x = 0; x < 6; ++x) row.set(x, 0, packColor(x * 10, 0, 0));
    const PackedImage pairs = scaleImage(row, 3, 1);
    EXPECT_EQ(pairs.at(0, 0), packColor(5, 0, 0));
    EXPECT_EQ(pairs.at(1, 0), packColor(25, 0, 0));
    EXPECT_EQ(pairs.at(2, 0), packColor(45, 0, 0));
}

TEST(ScaleImage, FractionalCoverageWeighsPartialPixels) {
    // Three pixels into two: each output covers one and a half source pixels.
    PackedImage src(3, 1);
    src.set(0, 0, packColor(0, 0, 0));
    src.set(1, 0, packColor(90, 0, 0));
    src.set(2, 0, packColor(180, 0, 0));
    const PackedImage out = scaleImage(src, 2, 1);
    EXPECT_EQ(out.at(0, 0), packColor(30, 0, 0));   // (2*0 + 1*90) / 3
    EXPECT_EQ(out.at(1, 0), packColor(150, 0, 0));  // (1*90 + 2*180) / 3
}

TEST(ScaleImage, EnlargingInterpolatesBetweenNeighbours) {
    PackedImage src(2, 1);
    src.set(0, 0, packColor(0, 0, 0));
    src.set(1, 0, packColor(200, 0, 0));
    const PackedImage out = scaleImage(src, 4, 1);
    EXPECT_EQ(out.at(0, 0), packColor(0, 0, 0));
    EXPECT_EQ(out.at(1, 0), packColor(50, 0, 0));
    EXPECT_EQ(out.at(2, 0), packColor(150, 0, 0));
    EXPECT_EQ(out.at(3, 0), packColor(200, 0, 0));
}

TEST(ScaleImage, EmptySizesOrSourceGiveAnEmptyImage) {
    PackedImage src(4, 4, 1);
    EXPECT_TRUE(scaleImage(src, 0, 3).pixels.empty());
    EXPECT_TRUE(scaleImage(src, 3, 0).isNull());
    EXPECT_TRUE(scaleImage(src, -5, 3).isNull());
    EXPECT_TRUE(scaleImage(PackedImage(), 3, 3).isNull());
}

TEST(ScaleImage, ResultStaysWithinTheSourceRangeForRandomPictures) {
    std::mt19937 rng(3);
    PackedImage src(653, 480);
    std::uniform_int_distribution<int> channel(40, 200);
    for (PackedColor& p : src.pixels) p = packColor(channel(rng), channel(rng), channel(rng));
    const PackedImage out = scaleImage(src, 405, 298);
    for (PackedColor p : out.pixels) {
        ASSERT_EQ(p & ~0xFFFFFF, 0);
        for (int shift : {0, 8, 16}) {
            ASSERT_GE((p >> shift) & 255, 40);
            ASSERT_LE((p >> shift) & 255, 200);
        }
    }
    EXPECT_EQ(scaleImage(src, 405, 298), out) << "deterministic";
}

}  // namespace
}  // namespace strobo::engine

namespace strobo::engine {

namespace {

// The area average written out directly: each output pixel is the sum of every source pixel
// times the area they share, over the output pixel's area, rounded half up.
PackedImage referenceShrink(const PackedImage& src, int width, int height) {
    PackedImage out(width, height);
    const std::int64_t sw = src.width, sh = src.height;
    for (int oy = 0; oy < height; ++oy) {
        for (int ox = 0; ox < width; ++ox) {
            std::int64_t sums[3] = {0, 0, 0};
            for (std::int64_t y = oy * sh / height; y < sh && y * height < (oy + 1) * sh; ++y) {
                const std::int64_t cy = std::max<std::int64_t>(
                    0, std::min((y + 1) * height, (oy + 1) * sh) - std::max(y * height, oy * sh));
                if (cy == 0) continue;
                for (std::int64_t x = ox * sw / width; x < sw && x * width < (ox + 1) * sw; ++x) {
                    const std::int64_t cx = std::max<std::int64_t>(
                        0, std::min((x + 1) * width, (ox + 1) * sw) - std::max(x * width, ox * sw));
                    if (cx == 0) continue;
                    const auto c = static_cast<std::uint32_t>(
                        src.at(static_cast<int>(x), static_cast<int>(y)));
                    for (int ch = 0; ch < 3; ++ch) sums[ch] += cx * cy * ((c >> (8 * ch)) & 255);
                }
            }
            const std::int64_t area = sw * sh;
            PackedColor colour = 0;
            for (int ch = 0; ch < 3; ++ch) {
                colour |= static_cast<PackedColor>((sums[ch] + area / 2) / area) << (8 * ch);
            }
            out.set(ox, oy, colour);
        }
    }
    return out;
}

}  // namespace

TEST(ScaleImage, ShrinkingMatchesTheAreaAverageExactlyOnRandomPictures) {
    std::mt19937 rng(7);
    for (int round = 0; round < 40; ++round) {
        const int sw = 1 + static_cast<int>(rng() % 70);
        const int sh = 1 + static_cast<int>(rng() % 50);
        PackedImage src(sw, sh);
        for (auto& p : src.pixels) p = static_cast<PackedColor>(rng());
        const int w = 1 + static_cast<int>(rng() % sw);
        const int h = 1 + static_cast<int>(rng() % sh);
        const PackedImage reference = referenceShrink(src, w, h);
        EXPECT_EQ(scaleImage(src, w, h), reference) << sw << "x" << sh << " -> " << w << "x" << h;
        // A part alone: the same pixels inside it, black beside it.
        const OutputPart part{static_cast<int>(rng() % w), static_cast<int>(rng() % h),
                              static_cast<int>(rng() % (w + 1)), static_cast<int>(rng() % (h + 1))};
        const PackedImage inPart = scaleImagePart(src, w, h, part);
        ASSERT_EQ(inPart.width, w);
        ASSERT_EQ(inPart.height, h);
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                const bool inside =
                    x >= part.left && x < part.right && y >= part.top && y < part.bottom;
                ASSERT_EQ(inPart.at(x, y), inside ? reference.at(x, y) : 0)
                    << sw << "x" << sh << " -> " << w << "x" << h << " at " << x << "," << y;
            }
        }
    }
    // The strobe build's own case, whose sums need more than the float mantissa.
    PackedImage frame(653, 480);
    for (auto& p : frame.pixels) p = static_cast<PackedColor>(rng());
    const PackedImage reference = referenceShrink(frame, 405, 298);
    EXPECT_EQ(scaleImage(frame, 405, 298), reference);
    const PackedImage video = scaleImagePart(frame, 405, 298, {2, 38, 398, 262});
    for (int y = 38; y < 262; ++y) {
        ASSERT_TRUE(std::equal(video.row(y) + 2, video.row(y) + 398, reference.row(y) + 2)) << y;
    }
    for (auto& p : frame.pixels) p |= 0xFFFFFF;
    EXPECT_EQ(scaleImage(frame, 405, 298), PackedImage(405, 298, 0xFFFFFF));
}

}  // namespace strobo::engine
