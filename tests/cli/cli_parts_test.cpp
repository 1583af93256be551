#include <gtest/gtest.h>
#include <unistd.h>

#include <QDir>
#include <filesystem>
#include <sstream>
#include <string>

#include "cli/arguments.h"
#include "cli/batch_commands.h"
#include "cli/demo_clip.h"
#include "cli/demo_command.h"
#include "cli/make_command.h"
#include "cli/progress_bar.h"
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
    EXPECT_EQ(requireNumber("FIRST", " 05 "), 5);
    EXPECT_EQ(requireNumber("FIRST", "３"), 3);
    EXPECT_EQ(requireNumber("FIRST", "-1"), -1);
    EXPECT_THROW(requireNumber("FIRST", "5x"), InputError);
    EXPECT_THROW(requireNumber("FIRST", ""), InputError);
    EXPECT_THROW(requireNumber("FIRST", "1e999"), InputError);

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

TEST(MessageLineTest, LineBreaksBecomeBlanks) {
    EXPECT_EQ(oneLine("a\nb\r\nc\n"), "a b c");
}

TEST(MakeArgumentsTest, DefaultsAndChoices) {
    using stages::BackgroundKind;
    using stages::FrameSize;
    using stages::MakeRequest;
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
