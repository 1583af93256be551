#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <string>

#include "stages/make/make_strobe.h"
#include "stages/make/median_background.h"
#include "stages/make/worker_thread.h"
#include "workfolder/media/clip_writer.h"
#include "workfolder/media_test_clips.h"

namespace strobo::stages {

namespace fs = std::filesystem;
namespace mt = workfolder::media::testing;
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

// Odd and even counts, ties and the full range, sizes that end part-way through the pieces the
// median is worked out in, and more samples than byte counters hold.
TEST(MedianBackgroundTest, EqualsSortingOnRandomSamples) {
    std::mt19937 random(7);
    for (const int count : {1, 2, 3, 22, 23, 64, 255, 256}) {
        for (const int spread : {4, 256}) {
            SCOPED_TRACE(std::to_string(count) + " samples of " + std::to_string(spread));
            const int width = 37;
            const int height = 11;
            MedianAccumulator median(width, height, count);
            std::vector<PackedImage> frames;
            for (int k = 0; k < count; ++k) {
                PackedImage frame(width, height);
                for (auto& pixel : frame.pixels) {
                    pixel = engine::packColor(static_cast<int>(random() % spread),
                                              static_cast<int>(random() % spread),
                                              static_cast<int>(random() % spread));
                }
                median.add(frame);
                frames.push_back(std::move(frame));
            }
            const PackedImage result = median.median();
            std::vector<int> values(static_cast<std::size_t>(count));
            for (std::size_t p = 0; p < result.pixels.size(); ++p) {
                for (int shift = 0; shift < 24; shift += 8) {
                    for (int k = 0; k < count; ++k) {
                        values[static_cast<std::size_t>(k)] =
                            (frames[static_cast<std::size_t>(k)].pixels[p] >> shift) & 0xFF;
                    }
                    const auto middle = values.begin() + (count - 1) / 2;
                    std::nth_element(values.begin(), middle, values.end());
                    ASSERT_EQ((result.pixels[p] >> shift) & 0xFF, *middle) << p << " " << shift;
                }
                ASSERT_EQ(result.pixels[p] >> 24, 0) << p;
            }
        }
    }
}

// A failure on the worker's thread is never lost: the caller receives it, and nothing handed
// over after the failed picture is worked on.
TEST(WorkerThreadTest, TheWorksFirstFailureReachesTheCallerAndEndsTheWork) {
    std::vector<int> worked;
    WorkerThread worker([&worked](PackedImage picture) {
        if (picture.width == 2) throw std::runtime_error("cannot");
        worked.push_back(picture.width);
    });
    worker.add(PackedImage(1, 1));
    worker.add(PackedImage(2, 1));
    EXPECT_THROW(
        {
            for (int width = 3; width < 10; ++width) worker.add(PackedImage(width, 1));
            worker.finish();
        },
        std::runtime_error);
    EXPECT_EQ(worked, std::vector<int>{1});
}

// A make saves all its pictures or none: one that fails leaves the files it would have replaced
// as they were, and nothing of its own beside them.
TEST(MakeStrobeTest, AFailedMakeReplacesNothingAndLeavesNothing) {
    mt::TempFolder temp;
    const std::string clip = temp.file("clip.avi");
    mt::writeClip(clip, mt::clipOptions(32, 24), 5);
    const std::string out = temp.file("out");
    fs::create_directories(mt::u8(out));
    mt::writeBytes(out + "/s1.bmp", "the user's own");
    // The second picture's name is taken by a folder.
    fs::create_directories(mt::u8(out + "/s2.bmp"));
    MakeRequest request;
    request.clip = clip;
    request.last = 2;
    request.output = out + "/s.bmp";
    for (const FrameSize size : {FrameSize::Window, FrameSize::Native}) {
        request.size = size;
        const MakeResult result = makeStrobe(request);
        ASSERT_TRUE(result.failure);
        EXPECT_EQ(result.failure->file, out + "/s2.bmp");
        EXPECT_TRUE(result.saved.empty());
        EXPECT_EQ(mt::readBytes(out + "/s1.bmp"), "the user's own");
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(mt::u8(out))) {
            names.push_back(entry.path().filename().string());
        }
        EXPECT_EQ(names.size(), 2u) << names.back();
    }
}

// A make that chooses its operation composes both candidates in its one pass: it must save the
// very pictures the chosen operation gives on its own, and nothing of the other.
TEST(MakeStrobeTest, AChoosingMakeSavesTheChosenOperationsPicturesAndNothingElse) {
    mt::TempFolder temp;
    const PackedColor light = engine::packColor(240, 240, 230);
    const PackedColor dark = engine::packColor(20, 25, 30);
    for (const bool darkObject : {true, false}) {
        const std::string clip = temp.file(darkObject ? "dark.avi" : "bright.avi");
        {
            workfolder::media::ClipWriter writer(clip, mt::clipOptions(64, 48));
            for (int i = 0; i < 8; ++i) {
                PackedImage frame(64, 48, darkObject ? light : dark);
                for (int y = 16; y < 28; ++y)
                    for (int x = 4 + 6 * i; x < 14 + 6 * i; ++x)
                        frame.set(x, y, darkObject ? dark : light);
                writer.addFrame(frame);
            }
            writer.finish();
        }
        for (const FrameSize size : {FrameSize::Window, FrameSize::Native}) {
            const std::string label = std::string(darkObject ? "dark " : "bright ") +
                                      (size == FrameSize::Window ? "window" : "native");
            MakeRequest request;
            request.clip = clip;
            request.first = 1;
            request.last = 6;
            request.size = size;
            request.background = BackgroundKind::Median;
            const std::string chosenFolder = temp.file("chosen");
            const std::string givenFolder = temp.file("given");
            for (const auto& folder : {chosenFolder, givenFolder}) {
                fs::remove_all(mt::u8(folder));
                fs::create_directories(mt::u8(folder));
            }
            request.chooseOperation = true;
            request.output = chosenFolder + "/s.bmp";
            const MakeResult chosen = makeStrobe(request);
            ASSERT_FALSE(chosen.failure) << label << ": " << chosen.failure->detail;
            EXPECT_EQ(chosen.tone, darkObject ? ObjectTone::Darker : ObjectTone::Brighter) << label;
            EXPECT_EQ(chosen.operation, darkObject ? engine::kOperationMin : engine::kOperationMax)
                << label;

            request.chooseOperation = false;
            request.operation = chosen.operation;
            request.output = givenFolder + "/s.bmp";
            const MakeResult given = makeStrobe(request);
            ASSERT_EQ(chosen.saved.size(), 6u) << label;
            ASSERT_EQ(given.saved.size(), 6u) << label;
            for (std::size_t k = 0; k < 6; ++k) {
                EXPECT_EQ(mt::readBytes(chosen.saved[k]), mt::readBytes(given.saved[k]))
                    << label << " " << k;
            }
            std::size_t files = 0;
            for ([[maybe_unused]] const auto& entry : fs::directory_iterator(mt::u8(chosenFolder)))
                ++files;
            EXPECT_EQ(files, 6u) << label << ": the other operation's pictures are left behind";

            if (size == FrameSize::Native) {
                request.chooseOperation = true;
                request.finalPicture = temp.file("final.bmp");
                const MakeResult last = makeStrobe(request);
                ASSERT_EQ(last.saved, std::vector<std::string>{request.finalPicture}) << label;
                EXPECT_EQ(mt::readBytes(request.finalPicture), mt::readBytes(given.saved.back()))
                    << label;
            }
        }
    }
}

}  // namespace

}  // namespace strobo::stages
