#include <gtest/gtest.h>
#include <unistd.h>

#include <QDir>
#include <filesystem>
#include <sstream>
#include <string>

#include "cli/arguments.h"
#include "cli/batch_commands.h"
#include "cli/demo_clip.h"
#include "cli/make_command.h"
#include "cli/median_background.h"
#include "cli/progress_bar.h"
#include "cli/scratch_folder.h"
#include "workfolder/file_names.h"
#include "workfolder/file_services.h"
#include "workfolder/media_test_clips.h"

namespace strobo::cli {

namespace fs = std::filesystem;
namespace mt = workfolder::media::testing;
using engine::PackedColor;
using engine::PackedImage;

namespace {

TEST(ParsedArgumentsTest, SplitsPositionalsOptionsAndFlags) {
    const ParsedArguments args({"clip.avi", "--op", "最大値", "--every=3", "-o", "out.bmp",
                                "--keep", "-2", "--", "--first"},
                               {"--op", "--every", "-o", "--first"}, {"--keep"});
    EXPECT_EQ(args.positional(), (std::vector<std::string>{"clip.avi", "-2", "--first"}));
    EXPECT_EQ(args.value("--op"), "最大値");
    EXPECT_EQ(args.value("--every"), "3");
    EXPECT_EQ(args.value("-o"), "out.bmp");
    EXPECT_FALSE(args.value("--first").has_value());
    EXPECT_TRUE(args.flag("--keep"));
    EXPECT_FALSE(args.helpRequested());
    EXPECT_TRUE(ParsedArguments({"x", "-h"}, {}).helpRequested());
}

TEST(ParsedArgumentsTest, RefusesMalformedLinesAsUsageErrors) {
    EXPECT_THROW(ParsedArguments({"--nope"}, {"--op"}), UsageError);
    EXPECT_THROW(ParsedArguments({"--op"}, {"--op"}), UsageError);
    EXPECT_THROW(ParsedArguments({"--op", "a", "--op=b"}, {"--op"}), UsageError);
    EXPECT_THROW(ParsedArguments({"--keep=yes"}, {}, {"--keep"}), UsageError);
    const ParsedArguments two({"a", "b"}, {});
    EXPECT_NO_THROW(two.expectPositional(2, 2));
    EXPECT_THROW(two.expectPositional(3, 3), UsageError);
    EXPECT_THROW(two.expectPositional(0, 1), UsageError);
}

TEST(NumberArgumentTest, FrameNumbersMustBeNumbersInFull) {
    EXPECT_EQ(requireNumberText("FIRST", " 05 "), " 05 ");
    EXPECT_EQ(requireNumberText("FIRST", "３"), "３");
    EXPECT_EQ(requireNumberText("FIRST", "-1"), "-1");
    EXPECT_THROW(requireNumberText("FIRST", "5x"), InputError);
    EXPECT_THROW(requireNumberText("FIRST", ""), InputError);
    EXPECT_THROW(requireNumberText("FIRST", "1e999"), InputError);

    EXPECT_EQ(requireWholeNumber("--every", "4", 1, 10), 4);
    EXPECT_THROW(requireWholeNumber("--every", "0", 1, 10), InputError);
    EXPECT_THROW(requireWholeNumber("--every", "11", 1, 10), InputError);
    EXPECT_THROW(requireWholeNumber("--every", "2.5", 1, 10), InputError);
    EXPECT_THROW(requireWholeNumber("--every", "nan", 1, 10), InputError);
    try {
        requireWholeNumber("--every", "zwei", 1, 10);
        FAIL();
    } catch (const InputError& error) {
        EXPECT_NE(std::string(error.what()).find("zwei"), std::string::npos);
    }
}

TEST(MessageLineTest, FailuresBecomeOneLineThatNamesTheFile) {
    EXPECT_EQ(oneLine("a\nb\r\nc\n"), "a b c");
    EXPECT_EQ(
        failureLine(
            "ストロボ写真の作成を中止しました。\n画像ファイルが見つかりません: 「/w/test5.bmp」\n"
            "「実　行」を押してください。"),
        "ストロボ写真の作成を中止しました。 画像ファイルが見つかりません: 「/w/test5.bmp」");
    EXPECT_EQ(failureLine("one line"), "one line");
}

TEST(MakeArgumentsTest, DefaultsAndChoices) {
    const MakeRequest plain =
        parseMakeArguments({"c.avi", "--first", "2", "--last", "9", "-o", "out.bmp"});
    EXPECT_EQ(plain.clip, "c.avi");
    EXPECT_EQ(plain.first, 2);
    EXPECT_EQ(plain.last, 9);
    EXPECT_EQ(plain.output, "out.bmp");
    EXPECT_EQ(plain.operation, engine::kOperationMax);
    EXPECT_EQ(plain.background, BackgroundKind::Black);
    EXPECT_EQ(plain.every, 1);
    EXPECT_EQ(plain.size, FrameSize::Window);

    const MakeRequest chosen =
        parseMakeArguments({"c.avi", "--first=0", "--last=3", "--output", "o", "--op", "min",
                            "--background", "bg.bmp", "--every", "2", "--size", "native"});
    EXPECT_EQ(chosen.operation, engine::kOperationMin);
    EXPECT_EQ(chosen.background, BackgroundKind::File);
    EXPECT_EQ(chosen.backgroundFile, "bg.bmp");
    EXPECT_EQ(chosen.every, 2);
    EXPECT_EQ(chosen.size, FrameSize::Native);
    EXPECT_EQ(parseMakeArguments(
                  {"c", "--first", "0", "--last", "0", "-o", "o", "--background", "median"})
                  .background,
              BackgroundKind::Median);

    EXPECT_THROW(parseMakeArguments({"c.avi", "--first", "2", "--last", "9"}), UsageError);
    EXPECT_THROW(parseMakeArguments({"--first", "2", "--last", "9", "-o", "o"}), UsageError);
    EXPECT_THROW(
        parseMakeArguments({"c", "--first", "1", "--last", "2", "-o", "a", "--output", "b"}),
        UsageError);
    EXPECT_THROW(parseMakeArguments({"c", "--first", "5", "--last", "2", "-o", "o"}), InputError);
    EXPECT_THROW(parseMakeArguments({"c", "--first", "-1", "--last", "2", "-o", "o"}), InputError);
}

TEST(ProgressBarTest, DrawsInPlaceOnlyWhenEnabled) {
    std::ostringstream quiet;
    {
        ProgressBar bar(quiet, false, "build", 4);
        bar.advance();
        bar.update(4);
    }
    EXPECT_TRUE(quiet.str().empty());

    std::ostringstream shown;
    {
        ProgressBar bar(shown, true, "build", 4);
        bar.advance();
        bar.advance();
        bar.update(2);  // unchanged: not drawn again
        bar.update(4);
    }
    const std::string text = shown.str();
    EXPECT_EQ(std::count(text.begin(), text.end(), '\r'), 3);
    EXPECT_EQ(text.back(), '\n');
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1);
    EXPECT_NE(text.find("[" + std::string(15, '#') + std::string(15, '.') + "] 2/4"),
              std::string::npos);
    EXPECT_NE(text.find("[" + std::string(30, '#') + "] 4/4"), std::string::npos);

    std::ostringstream unknownTotal;
    {
        ProgressBar bar(unknownTotal, true, "extract", 0);
        bar.update(7);
    }
    EXPECT_NE(unknownTotal.str().find("7/0"), std::string::npos);
}

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

TEST(DemoClipTest, BallWinsEveryWholeColourMaximumAndFollowsAParabola) {
    const DemoClipShape shape;
    const PackedImage wallOnly = [&] {
        // Where the ball never goes: the top rows.
        return demoFrame(0, shape);
    }();
    PackedColor brightestWall = 0;
    for (int y = 0; y < 40; ++y) {
        for (int x = 0; x < shape.width; ++x)
            brightestWall = std::max(brightestWall, wallOnly.at(x, y));
    }
    for (const int index : {0, shape.frames / 2, shape.frames - 1}) {
        const PackedImage frame = demoFrame(index, shape);
        ASSERT_EQ(frame.width, shape.width);
        ASSERT_EQ(frame.height, shape.height);
        const BallPosition ball = ballPosition(index, shape);
        const PackedColor centre = frame.at(static_cast<int>(ball.x), static_cast<int>(ball.y));
        EXPECT_GT(centre, brightestWall) << index;
    }
    const BallPosition start = ballPosition(0, shape);
    const BallPosition top = ballPosition((shape.frames - 1) / 2, shape);
    const BallPosition end = ballPosition(shape.frames - 1, shape);
    EXPECT_LT(start.x, top.x);
    EXPECT_LT(top.x, end.x);
    EXPECT_LT(top.y, start.y - shape.height / 2);
    EXPECT_NEAR(start.y, end.y, 1e-9);
    EXPECT_GE(start.y + kBallRadius, 0);
    EXPECT_LE(start.y + kBallRadius, shape.height);
}

TEST(DemoFolderTest, NewFolderInTheCurrentFolderOrElseHome) {
    mt::TempFolder temp;
    const std::string here = temp.file("here");
    const std::string home = temp.file("home");
    fs::create_directories(mt::u8(here));
    fs::create_directories(mt::u8(home));
    EXPECT_EQ(defaultDemoFolder(here, home), here + "/strobo-demo");
    fs::create_directories(mt::u8(here + "/strobo-demo"));
    fs::create_directories(mt::u8(here + "/strobo-demo-2"));
    EXPECT_EQ(defaultDemoFolder(here, home), here + "/strobo-demo-3");
    if (geteuid() != 0) {
        fs::permissions(mt::u8(here), fs::perms::owner_read | fs::perms::owner_exec);
        EXPECT_EQ(defaultDemoFolder(here, home), home + "/strobo-demo");
        fs::permissions(mt::u8(here), fs::perms::owner_all);
    }
    EXPECT_EQ(defaultDemoFolder("", home), home + "/strobo-demo");
}

TEST(ScratchFolderTest, PrivateAndGoneAfterwards) {
    std::string path;
    {
        ScratchFolder scratch;
        path = scratch.path();
        ASSERT_TRUE(fs::is_directory(path));
        EXPECT_EQ(fs::status(path).permissions() & (fs::perms::group_all | fs::perms::others_all),
                  fs::perms::none);
        mt::writeBytes(path + "/test1.bmp", "x");
        fs::create_directories(path + "/inner");
        ScratchFolder other;
        EXPECT_NE(other.path(), path);
    }
    EXPECT_FALSE(fs::exists(path));
}

TEST(FrameFileCountTest, CountsTheUnbrokenRunFromOne) {
    mt::TempFolder temp;
    const std::string folder = temp.file("w");
    fs::create_directories(mt::u8(folder));
    EXPECT_EQ(countFrameFiles(folder), 0);
    for (const int n : {1, 2, 3, 5}) mt::writeBytes(workfolder::frameFile(folder, n), "x");
    EXPECT_EQ(countFrameFiles(folder), 3);
}

}  // namespace

}  // namespace strobo::cli
