#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <QTest>
#include <algorithm>
#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include "cli_road.h"
#include "engine/packed_image.h"
#include "workfolder/file_names.h"
#include "workfolder/file_services.h"
#include "workfolder/media_test_clips.h"

namespace strobo::cli::testing {

namespace fs = std::filesystem;
namespace wf = workfolder;
namespace mt = workfolder::media::testing;
using engine::PackedColor;
using engine::PackedImage;

namespace {

constexpr int kClipWidth = 96;
constexpr int kClipHeight = 64;
constexpr int kClipFrames = 8;

QString q(const std::string& text) {
    return QString::fromStdString(text);
}

int lineCount(const std::string& text) {
    return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

PackedImage load(const std::string& path) {
    wf::FileServices services;
    return services.loadPicture(path);
}

// A work folder as the user prepares it, and a small lossless clip whose frames the test knows.
class CliEndToEndTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_work = m_temp.file("work");
        m_out = m_temp.file("out");
        m_scratch = m_temp.file("tmp");
        for (const auto& folder : {m_work, m_out, m_scratch})
            fs::create_directories(mt::u8(folder));
        PackedImage base(400, 300);
        for (int y = 0; y < 300; ++y) {
            for (int x = 0; x < 400; ++x) base.set(x, y, engine::packColor(x % 97, y % 61, 40));
        }
        wf::FileServices services;
        services.savePicture(base, wf::baseStrobeImage(m_work));
        services.savePicture(base, wf::pristineBaseImage(m_work));
        m_clip = m_temp.file("clip.avi");
        mt::writeClip(m_clip, mt::clipOptions(kClipWidth, kClipHeight), kClipFrames);
    }

    // Frame index j of the clip, as written.
    static PackedImage clipFrame(int index) {
        return mt::detailedFrame(index, kClipWidth, kClipHeight);
    }

    // Whether strobo left a file of its own behind in the temporary folder it was given (Qt may
    // keep a runtime folder of its own there) or beside the saved pictures.
    bool workFolderLeft() const {
        for (const auto& folder : {m_scratch, m_out}) {
            for (const auto& entry : fs::directory_iterator(mt::u8(folder))) {
                const std::string name = entry.path().filename().string();
                if (name.find("strobo") != std::string::npos) return true;
            }
        }
        return false;
    }

    mt::TempFolder m_temp;
    std::string m_work;
    std::string m_out;
    std::string m_scratch;
    std::string m_clip;
};

TEST_F(CliEndToEndTest, RoadSavesTheSeriesAndLeavesTheWorkFolderAsFound) {
    const auto before = folderContents(m_work);
    const auto saved = cliRoadSavedPictures(m_clip, m_work, "2", "5", m_out + "/run.bmp");

    ASSERT_EQ(saved.size(), 4u);
    for (const char* name : {"run1.bmp", "run2.bmp", "run3.bmp", "run4.bmp"}) {
        ASSERT_TRUE(saved.count(name)) << name;
    }
    EXPECT_EQ(folderContents(m_work), before);

    // Each step keeps the larger packed colour, so no pixel ever gets smaller along the series,
    // and every step adds a frame that changes something.
    std::vector<PackedImage> series;
    for (int k = 1; k <= 4; ++k)
        series.push_back(load(m_out + "/run" + std::to_string(k) + ".bmp"));
    for (const PackedImage& picture : series) {
        ASSERT_EQ(picture.width, 400);
        ASSERT_EQ(picture.height, 300);
    }
    for (std::size_t k = 1; k < series.size(); ++k) {
        bool grew = false;
        for (std::size_t p = 0; p < series[k].pixels.size(); ++p) {
            ASSERT_GE(series[k].pixels[p], series[k - 1].pixels[p])
                << "step " << k << " pixel " << p;
            grew = grew || series[k].pixels[p] > series[k - 1].pixels[p];
        }
        EXPECT_TRUE(grew) << "step " << k;
    }
}

TEST_F(CliEndToEndTest, MakeInWindowSizeWritesTheRoadsBytesAndNoWorkFiles) {
    const auto road = cliRoadSavedPictures(m_clip, m_work, "2", "5", m_out + "/run.bmp");
    const StroboRun make =
        runStrobo({"make", q(m_clip), "--first", "2", "--last", "5", "-o", q(m_out + "/made.bmp"),
                   "--background", q(wf::baseStrobeImage(m_work))},
                  {}, q(m_scratch));
    ASSERT_EQ(make.exitCode, 0) << make.err;
    EXPECT_TRUE(make.err.empty()) << make.err;
    ASSERT_EQ(road.size(), 4u);
    for (int k = 1; k <= 4; ++k) {
        const std::string made = mt::readBytes(m_out + "/made" + std::to_string(k) + ".bmp");
        EXPECT_EQ(made, road.at("run" + std::to_string(k) + ".bmp")) << "picture " << k;
    }
    EXPECT_FALSE(fs::exists(mt::u8(m_out + "/made5.bmp")));
    EXPECT_FALSE(workFolderLeft());
}

TEST_F(CliEndToEndTest, MakeEveryKthFrameInWindowSizeUsesOnlyThoseFrames) {
    const StroboRun every = runStrobo({"make", q(m_clip), "--first", "1", "--last", "5", "--every",
                                       "2", "-o", q(m_out + "/e.bmp")},
                                      {}, q(m_scratch));
    ASSERT_EQ(every.exitCode, 0) << every.err;
    // Frames 2, 4 and 6 of the range 2..6: three pictures.
    EXPECT_TRUE(fs::exists(mt::u8(m_out + "/e3.bmp")));
    EXPECT_FALSE(fs::exists(mt::u8(m_out + "/e4.bmp")));
    // Its second picture is the plain range's first two frames skipping one: compare with a
    // run over the single frames it should hold.
    const StroboRun one =
        runStrobo({"make", q(m_clip), "--first", "3", "--last", "3", "-o", q(m_out + "/one.bmp")},
                  {}, q(m_scratch));
    ASSERT_EQ(one.exitCode, 0) << one.err;
    const PackedImage second = load(m_out + "/e2.bmp");
    const PackedImage onlyFrame4 = load(m_out + "/one1.bmp");
    const PackedImage first = load(m_out + "/e1.bmp");
    for (std::size_t p = 0; p < second.pixels.size(); ++p) {
        ASSERT_EQ(second.pixels[p], std::max(first.pixels[p], onlyFrame4.pixels[p])) << p;
    }
    EXPECT_FALSE(workFolderLeft());
}

// Frame file n shows clip frame n; the last frame file repeats the last frame.
int clipIndexOfFrameFile(int n) {
    return std::min(n, kClipFrames - 1);
}

TEST_F(CliEndToEndTest, MakeInNativeSizeIsTheRunningMaximumOfTheClipsFrames) {
    const StroboRun run = runStrobo({"make", q(m_clip), "--first", "1", "--last", "7", "--size",
                                     "native", "-o", q(m_out + "/n.bmp")});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    PackedImage expected(kClipWidth, kClipHeight, 0);
    for (int k = 1; k <= 7; ++k) {
        const PackedImage frame = clipFrame(clipIndexOfFrameFile(k + 1));
        for (std::size_t p = 0; p < expected.pixels.size(); ++p) {
            expected.pixels[p] = std::max(expected.pixels[p], frame.pixels[p]);
        }
        const PackedImage saved = load(m_out + "/n" + std::to_string(k) + ".bmp");
        ASSERT_EQ(saved.width, kClipWidth);
        ASSERT_EQ(saved.height, kClipHeight);
        for (std::size_t p = 0; p < expected.pixels.size(); ++p) {
            ASSERT_EQ(saved.pixels[p], expected.pixels[p]) << "picture " << k << " pixel " << p;
        }
    }
    EXPECT_FALSE(fs::exists(mt::u8(m_out + "/n8.bmp")));
}

TEST_F(CliEndToEndTest, MakeInNativeSizeTakesChannelMaximumEveryKthFrameAndABackgroundFile) {
    PackedImage background(kClipWidth, kClipHeight);
    for (int y = 0; y < kClipHeight; ++y) {
        for (int x = 0; x < kClipWidth; ++x) {
            background.set(x, y, engine::packColor(128, (x * 3) & 255, (y * 4) & 255));
        }
    }
    wf::FileServices services;
    services.savePicture(background, m_temp.file("bg.bmp"));
    const StroboRun run = runStrobo(
        {"make", q(m_clip), "--first", "0", "--last", "6", "--every", "3", "--op", "rgbmax",
         "--background", q(m_temp.file("bg.bmp")), "--size", "native", "-o", q(m_out + "/c")});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const auto channelMax = [](PackedColor a, PackedColor b) {
        PackedColor out = 0;
        for (int shift = 0; shift < 24; shift += 8) {
            out |= std::max((a >> shift) & 255, (b >> shift) & 255) << shift;
        }
        return out;
    };
    PackedImage expected = background;
    int k = 0;
    for (int n = 1; n <= 7; n += 3) {
        const PackedImage frame = clipFrame(clipIndexOfFrameFile(n));
        for (std::size_t p = 0; p < expected.pixels.size(); ++p) {
            expected.pixels[p] = channelMax(expected.pixels[p], frame.pixels[p]);
        }
        const PackedImage saved = load(m_out + "/c" + std::to_string(++k) + ".bmp");
        ASSERT_EQ(saved.pixels, expected.pixels) << "picture " << k;
    }
    EXPECT_EQ(k, 3);
    EXPECT_FALSE(fs::exists(mt::u8(m_out + "/c4.bmp")));
}

TEST_F(CliEndToEndTest, MedianBackgroundLeavesOutTheMovingObject) {
    // A still wall with a bright square crossing it, each pixel covered in at most two frames.
    const auto wall = [](int x, int y) { return engine::packColor(60 + x, 40 + y, 30); };
    const std::string clip = m_temp.file("moving.avi");
    {
        wf::media::ClipWriter writer(clip, mt::clipOptions(64, 48));
        for (int i = 0; i < 9; ++i) {
            PackedImage frame(64, 48);
            for (int y = 0; y < 48; ++y) {
                for (int x = 0; x < 64; ++x) {
                    const bool square = x >= i * 7 && x < i * 7 + 7 && y >= 20 && y < 28;
                    frame.set(x, y, square ? engine::packColor(250, 250, 250) : wall(x, y));
                }
            }
            writer.addFrame(frame);
        }
        writer.finish();
    }
    // The smaller of background and frame 1: only a clean background gives the bare wall.
    const StroboRun run =
        runStrobo({"make", q(clip), "--first", "0", "--last", "0", "--background", "median", "--op",
                   "最小値", "--size", "native", "-o", q(m_out + "/m.bmp")});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const PackedImage saved = load(m_out + "/m1.bmp");
    for (int y = 0; y < 48; ++y) {
        for (int x = 0; x < 64; ++x) ASSERT_EQ(saved.at(x, y), wall(x, y)) << x << "," << y;
    }
}

TEST_F(CliEndToEndTest, WrongUsageAndBadInputEndWithTheirCodesAndAOneLineMessage) {
    const std::string broken = m_temp.file("broken.avi");
    mt::writeBytes(broken, std::string(4096, '\x5a'));
    const std::string missing = m_temp.file("missing.avi");
    struct Case {
        QStringList arguments;
        int exitCode;
        std::string named;
    };
    const std::vector<Case> cases = {
        {{"extract", q(missing), q(m_work)}, 1, "missing.avi"},
        {{"extract", q(broken), q(m_work)}, 1, "broken.avi"},
        {{"extract", q(m_clip), q(m_temp.file("nowhere"))}, 1, "nowhere"},
        {{"make", q(missing), "--first", "1", "--last", "2", "-o", q(m_out + "/x")},
         1,
         "missing.avi"},
        {{"make", q(broken), "--first", "1", "--last", "2", "--size", "native", "-o",
          q(m_out + "/x")},
         1,
         "broken.avi"},
        {{"make", q(broken), "--first", "1", "--last", "2", "-o", q(m_out + "/x")},
         1,
         "broken.avi"},
        {{"make", q(m_clip), "--first", "1", "--last", "8", "-o", q(m_out + "/x")}, 1, "8"},
        {{"make", q(m_clip), "--first", "one", "--last", "2", "-o", q(m_out + "/x")}, 1, "one"},
        {{"make", q(m_clip), "--first", "1", "--last", "2", "--every", "0", "-o", q(m_out + "/x")},
         1,
         "--every"},
        {{"make", q(m_clip), "--first", "1", "--last", "2", "--size", "huge", "-o",
          q(m_out + "/x")},
         1,
         "huge"},
        {{"make", q(m_clip), "--first", "1", "--last", "2", "--op", "blend", "-o", q(m_out + "/x")},
         1,
         "blend"},
        {{"make", q(m_clip), "--first", "1", "--last", "2", "--background", q(missing), "-o",
          q(m_out + "/x")},
         1,
         "missing.avi"},
        {{"build", q(m_work), "x3", "5"}, 1, "x3"},
        {{"build", q(m_work), "1", "5", "--op", "blend"}, 1, "blend"},
        {{"build", q(m_temp.file("nowhere")), "1", "5"}, 1, "nowhere"},
        {{"build", q(m_work), "1", "2"}, 1, "test2.bmp"},
        {{"save", q(m_work), "1", "2", q(m_out + "/s.bmp")}, 1, "Sstrobe2.bmp"},
        {{"save", q(m_work), "1", "zwei", q(m_out + "/s.bmp")}, 1, "zwei"},
        {{"save", q(m_work), "4", "0", q(m_out + "/s.bmp")}, 1, "nothing to save"},
        {{"save", q(m_work), "0", "3", q(m_work + "/test")}, 1, "test1.bmp"},
        {{"build"}, 2, ""},
        {{"build", q(m_work), "1", "2", "3"}, 2, "3"},
        {{"build", q(m_work), "1", "2", "--op"}, 2, "--op"},
        {{"save", q(m_work), "1", "2"}, 2, ""},
        {{"extract", q(m_clip)}, 2, ""},
        {{"make", q(m_clip), "--first", "1", "-o", q(m_out + "/x")}, 2, "--last"},
        {{"make", q(m_clip), "--first", "1", "--last", "2", "-o", "x", "--fast"}, 2, "--fast"},
        {{"make", q(m_clip), "--first", "1", "--first", "2", "--last", "2", "-o", "x"},
         2,
         "--first"},
        {{"demo", "a", "b"}, 2, "b"},
        {{"frobnicate"}, 2, "frobnicate"},
    };
    const auto before = folderContents(m_work);
    for (const Case& c : cases) {
        const StroboRun run = runStrobo(c.arguments, {}, q(m_scratch));
        const std::string shown = c.arguments.join(' ').toStdString();
        EXPECT_EQ(run.exitCode, c.exitCode) << shown << "\n" << run.err;
        EXPECT_EQ(lineCount(run.err), 1) << shown << "\n" << run.err;
        EXPECT_NE(run.err.find(c.named), std::string::npos) << shown << "\n" << run.err;
        EXPECT_TRUE(run.out.empty()) << shown << "\n" << run.out;
    }
    // The failed build copied the base strobe image to strobe file 1 before it found no frame;
    // everything else is as it was.
    auto after = folderContents(m_work);
    after.erase("Sstrobe1.bmp");
    EXPECT_EQ(after, before);
    EXPECT_FALSE(workFolderLeft());
    EXPECT_TRUE(fs::is_empty(mt::u8(m_out)));
}

TEST(CliHelpTest, HelpInJapaneseAndEnglishForTheProgramAndEachCommand) {
    const StroboRun general = runStrobo({"--help"});
    EXPECT_EQ(general.exitCode, 0);
    for (const char* command : {"extract", "build", "save", "make", "demo", "--render-window"}) {
        EXPECT_NE(general.out.find(command), std::string::npos) << command;
    }
    EXPECT_NE(general.out.find("ストロボ写真"), std::string::npos);
    EXPECT_NE(general.out.find("strobe photographs"), std::string::npos);

    const std::vector<std::pair<QString, std::vector<std::string>>> commands = {
        {"extract", {"653×480", "フレーム", "frame"}},
        {"build", {"--op", "最大値", "rgbmax", "--keep-frames", "重ね方"}},
        {"save", {"PATH", "保存", "deletes"}},
        {"make",
         {"--every", "median", "native", "背景", "background", "--csv", "--gif", "--mp4",
          "--labels", "授業での例", "an example for a class"}},
        {"demo", {"FOLDER", "見本", "sample clip"}},
    };
    for (const auto& [command, words] : commands) {
        const StroboRun help = runStrobo({command, "--help"});
        EXPECT_EQ(help.exitCode, 0) << command.toStdString();
        EXPECT_TRUE(help.err.empty()) << help.err;
        for (const std::string& word : words) {
            EXPECT_NE(help.out.find(word), std::string::npos)
                << command.toStdString() << ": " << word;
        }
    }
}

TEST(CliDemoTest, DemoMakesTheSampleClipAndAStrobePictureInANewFolder) {
    mt::TempFolder temp;
    const std::string current = temp.file("here");
    fs::create_directories(mt::u8(current));
    const StroboRun run = runStrobo({"demo"}, q(current));
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(run.err.empty()) << run.err;
    const std::string folder = current + "/strobo-demo";
    EXPECT_NE(run.out.find(folder), std::string::npos) << run.out;
    EXPECT_TRUE(fs::is_regular_file(mt::u8(folder + "/ball.avi")));

    // The ball is the only thing bright in blue inside the playback window's grey edges: the
    // finished picture holds fifteen of them (a few overlapping at the top), the first one.
    const auto ballPixels = [](const PackedImage& picture) {
        int count = 0;
        for (int y = 2; y < picture.height; ++y) {
            for (int x = 2; x < 390; ++x) count += ((picture.at(x, y) >> 16) & 255) > 120;
        }
        return count;
    };
    const PackedImage first = load(folder + "/strobe1.bmp");
    const PackedImage last = load(folder + "/strobe15.bmp");
    EXPECT_EQ(last.width, 400);
    EXPECT_EQ(last.height, 300);
    EXPECT_GT(ballPixels(first), 100);
    EXPECT_GT(ballPixels(last), 11 * ballPixels(first));
    EXPECT_LT(ballPixels(last), 16 * ballPixels(first));
    EXPECT_FALSE(fs::exists(mt::u8(folder + "/strobe16.bmp")));

    // A second demo in the same place goes to a folder of its own.
    const StroboRun again = runStrobo({"demo"}, q(current));
    ASSERT_EQ(again.exitCode, 0) << again.err;
    EXPECT_NE(again.out.find(current + "/strobo-demo-2"), std::string::npos) << again.out;
}

}  // namespace

}  // namespace strobo::cli::testing

namespace strobo::cli::testing {
namespace {

TEST(CliInterruptTest, AStoppedMakeSavesNoPictureAndLeavesNothingBehind) {
    mt::TempFolder temp;
    const std::string out = temp.file("out");
    fs::create_directories(mt::u8(out));
    const std::string clip = temp.file("long.avi");
    mt::writeClip(clip, mt::clipOptions(32, 24), 1500);
    // The pictures wait in a private folder beside their names until the series is whole.
    const auto pendingPicture = [&] {
        for (const auto& entry : fs::directory_iterator(mt::u8(out))) {
            if (entry.is_directory() && !fs::is_empty(entry.path())) return true;
        }
        return false;
    };
    QProcess process;
    process.start(STROBO_EXECUTABLE, {"make", QString::fromStdString(clip), "--first", "0",
                                      "--last", "1499", "-o", QString::fromStdString(out + "/s")});
    ASSERT_TRUE(process.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(pendingPicture(), 30000);
    process.terminate();
    ASSERT_TRUE(process.waitForFinished(30000));
    const std::string err = process.readAllStandardError().toStdString();
    EXPECT_EQ(process.exitCode(), 128 + SIGTERM) << err;
    EXPECT_NE(err.find("interrupted"), std::string::npos) << err;
    EXPECT_TRUE(fs::is_empty(mt::u8(out)));
}

}  // namespace
}  // namespace strobo::cli::testing
