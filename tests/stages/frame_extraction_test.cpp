#include "stages/extraction/frame_extraction.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "stages/extraction/media_playback.h"
#include "stages/extraction/playback_picture.h"
#include "workfolder/bitmap_file.h"
#include "workfolder/file_names.h"
#include "workfolder/file_services.h"
#include "workfolder/media_test_clips.h"

namespace strobo::stages {

namespace wf = workfolder;
using wf::media::testing::TempFolder;

namespace {

constexpr std::uint64_t kHandle = 4242;

// A playback surface without a player: it records the commands, answers the length query with
// a scripted reply, and "shows" a picture whose colour carries the position last sought.
class FakeSurface : public PlaybackSurface {
  public:
    int sendMediaCommand(const std::string& command, std::string* reply,
                         std::size_t replyLength) override {
        commands.push_back(command);
        if (command.rfind("open", 0) == 0 && !openable) return 265;
        if (command == "status test length" && reply != nullptr) {
            replyLengths.push_back(replyLength);
            *reply = lengthReply;
        }
        if (command.rfind("seek test to ", 0) == 0) {
            shown = std::stoi(command.substr(13));
            if (shown == failingSeek) return 269;
        }
        return 0;
    }
    std::string mediaFailure(int code) const override { return "code " + std::to_string(code); }
    std::uint64_t videoWindowHandle() override { return kHandle; }
    engine::PackedImage capturePlayback() override {
        ++captures;
        return engine::PackedImage(3, 2, engine::packColor(shown, 7, 9));
    }

    bool openable = true;
    std::string lengthReply = "3";
    int failingSeek = -1;
    int shown = 0;
    int captures = 0;
    std::vector<std::string> commands;
    std::vector<std::size_t> replyLengths;
};

class ExtractionLoopTest : public ::testing::Test {
  protected:
    std::string prefix() const { return wf::framePrefix(m_folder.file("")); }
    std::string frame(int n) const { return wf::frameFileFromPrefix(prefix(), n); }
    bool exists(int n) { return m_files.fileExists(frame(n)); }
    int shownIn(int n) { return m_files.loadPicture(frame(n)).at(0, 0) & 0xFF; }

    TempFolder m_folder;
    wf::FileServices m_files;
    FakeSurface m_surface;
};

}  // namespace

TEST(ExtractionCommandTexts, CarryNumbersWithOneLeadingBlank) {
    EXPECT_EQ(openCommand("/home/u/my clip.avi"), "open \"/home/u/my clip.avi\" alias test");
    EXPECT_EQ(windowCommand(123), "window test handle  123");
    EXPECT_EQ(lengthCommand(), "status test length");
    EXPECT_EQ(seekCommand(1), "seek test to 1");
    EXPECT_EQ(seekCommand(150), "seek test to 150");
    EXPECT_EQ(stopCommand(), "stop test");
    EXPECT_EQ(closeCommand(), "close test");
}

TEST(PlaybackBitmap, HoldsThePaintedPictureByteForByte) {
    std::mt19937 random(11);
    const auto frameOf = [&random](int width, int height) {
        engine::PackedImage frame(width, height);
        for (engine::PackedColor& c : frame.pixels) {
            c = static_cast<engine::PackedColor>(random() & 0xFFFFFF);
        }
        return frame;
    };
    // No frame yet, small ones, one that just fills the box, wider or taller ones that are cut,
    // with and without the border; one buffer throughout, as the saver keeps it.
    std::vector<std::uint8_t> bytes;
    for (const auto& [width, height] :
         {std::pair{0, 0}, {7, 5}, {640, 480}, {651, 478}, {653, 480}, {700, 500}, {5, 479}}) {
        const engine::PackedImage frame = frameOf(width, height);
        for (const bool border : {true, false}) {
            encodePlaybackBitmap(frame, border, kHeadlessPlaybackBackColor, bytes);
            EXPECT_EQ(bytes, wf::encodeBitmap24(
                                 paintPlaybackPicture(frame, border, kHeadlessPlaybackBackColor)))
                << width << "x" << height << (border ? " with border" : "");
        }
    }
}

TEST(PlaybackBitmap, AFrameFileWrittenLaterHoldsTheFrameCapturedThen) {
    TempFolder folder;
    const std::string clip = folder.file("clip.avi");
    wf::media::testing::writeClip(clip, wf::media::testing::clipOptions(32, 24), 4);
    HeadlessPlayback playback;
    ASSERT_EQ(playback.sendMediaCommand(openCommand(clip)), 0);
    ASSERT_EQ(playback.sendMediaCommand(windowCommand(playback.videoWindowHandle())), 0);
    std::vector<engine::PackedImage> pictures;
    std::vector<wf::BackgroundSaver::BitmapEncoder> frameFiles;
    for (int i = 1; i <= 3; ++i) {
        ASSERT_EQ(playback.sendMediaCommand(seekCommand(i)), 0);
        pictures.push_back(playback.capturePlayback());
        frameFiles.push_back(playback.captureFrameFile());
    }
    playback.sendMediaCommand(closeCommand());
    for (std::size_t i = 0; i < frameFiles.size(); ++i) {
        std::vector<std::uint8_t> bytes;
        frameFiles[i](bytes);
        EXPECT_EQ(bytes, wf::encodeBitmap24(pictures[i])) << i + 1;
    }
    EXPECT_NE(pictures[0], pictures[2]);
}

TEST_F(ExtractionLoopTest, ConversationRunsInOrderAndClosesOnlyWhenAsked) {
    FrameExtraction extraction(m_surface, m_files);
    const ExtractionResult report = extraction.run("/v/clip one.avi", prefix());
    EXPECT_TRUE(report.completed);
    EXPECT_TRUE(report.opened);
    EXPECT_EQ(report.frameCount, 3);
    EXPECT_EQ(report.written, 3);
    EXPECT_FALSE(report.failure);
    EXPECT_TRUE(extraction.isOpen());
    const std::vector<std::string> beforeClose = {"open \"/v/clip one.avi\" alias test",
                                                  "window test handle  4242",
                                                  "status test length",
                                                  "seek test to 1",
                                                  "seek test to 2",
                                                  "seek test to 3"};
    EXPECT_EQ(m_surface.commands, beforeClose);
    EXPECT_EQ(m_surface.replyLengths, std::vector<std::size_t>{255});

    extraction.close();
    extraction.close();
    std::vector<std::string> all = beforeClose;
    all.push_back("stop test");
    all.push_back("close test");
    EXPECT_EQ(m_surface.commands, all);
}

TEST_F(ExtractionLoopTest, LengthOf150SeeksOneTo150AndNeverCapturesPositionZero) {
    m_surface.lengthReply = "150";
    {
        FrameExtraction extraction(m_surface, m_files);
        EXPECT_TRUE(extraction.run("c.avi", prefix()).completed);
    }
    EXPECT_EQ(m_surface.captures, 150);
    int seeks = 0;
    for (const std::string& c : m_surface.commands) {
        if (c.rfind("seek", 0) == 0) {
            EXPECT_EQ(c, seekCommand(++seeks));
        }
    }
    EXPECT_EQ(seeks, 150);
    for (int n : {1, 2, 75, 150}) EXPECT_EQ(shownIn(n), n) << n;
    EXPECT_FALSE(exists(0));
    EXPECT_FALSE(exists(151));
    // Leaving scope closed the device.
    EXPECT_EQ(m_surface.commands.back(), "close test");
}

TEST_F(ExtractionLoopTest, ReplyWithoutANumberMeansNoFrames) {
    for (const char* reply : {"", "abc", "-4"}) {
        FakeSurface surface;
        surface.lengthReply = reply;
        FrameExtraction extraction(surface, m_files);
        const ExtractionResult report = extraction.run("c.avi", prefix());
        EXPECT_TRUE(report.completed) << reply;
        EXPECT_EQ(report.written, 0);
        EXPECT_EQ(surface.captures, 0);
        EXPECT_EQ(surface.commands.size(), 3u);
    }
    FakeSurface huge;
    huge.lengthReply = "99999999999";
    FrameExtraction extraction(huge, m_files);
    const ExtractionResult report = extraction.run("c.avi", prefix());
    EXPECT_FALSE(report.completed);
    ASSERT_TRUE(report.failure);
    EXPECT_EQ(report.failure->kind, wf::FailureKind::ClipFrameCountUnusable);
}

TEST_F(ExtractionLoopTest, UnopenableClipIsAFailureNamingTheFile) {
    m_surface.openable = false;
    FrameExtraction extraction(m_surface, m_files);
    const ExtractionResult report = extraction.run("/v/broken.avi", prefix());
    EXPECT_FALSE(report.opened);
    EXPECT_FALSE(report.completed);
    ASSERT_TRUE(report.failure);
    EXPECT_EQ(report.failure->kind, wf::FailureKind::ClipNotOpened);
    EXPECT_EQ(report.failure->file, "/v/broken.avi");
    EXPECT_FALSE(extraction.isOpen());
    extraction.close();
    EXPECT_EQ(m_surface.commands, std::vector<std::string>{openCommand("/v/broken.avi")});
    EXPECT_FALSE(exists(1));
}

TEST_F(ExtractionLoopTest, UnwritableFrameStopsTheLoopAndKeepsEarlierFrames) {
    m_surface.lengthReply = "5";
    std::filesystem::create_directory(wf::media::testing::u8(frame(3)));
    FrameExtraction extraction(m_surface, m_files);
    const ExtractionResult report = extraction.run("c.avi", prefix());
    EXPECT_FALSE(report.completed);
    EXPECT_EQ(report.written, 2);
    ASSERT_TRUE(report.failure);
    EXPECT_NE(wf::japaneseText(*report.failure).find(frame(3)), std::string::npos);
    EXPECT_TRUE(exists(1));
    EXPECT_TRUE(exists(2));
    EXPECT_FALSE(exists(4));
    EXPECT_FALSE(exists(5));
}

TEST_F(ExtractionLoopTest, UnreadableFrameStopsTheLoop) {
    m_surface.lengthReply = "5";
    m_surface.failingSeek = 4;
    FrameExtraction extraction(m_surface, m_files);
    const ExtractionResult report = extraction.run("c.avi", prefix());
    EXPECT_FALSE(report.completed);
    EXPECT_EQ(report.written, 3);
    ASSERT_TRUE(report.failure);
    EXPECT_EQ(report.failure->kind, wf::FailureKind::FrameNotShown);
    EXPECT_EQ(report.failure->detail, "code 269");
    EXPECT_EQ(report.failedFrame, 4);
    EXPECT_FALSE(exists(4));
}

TEST_F(ExtractionLoopTest, ProgressSeesEveryFrameAndCanStopTheLoop) {
    m_surface.lengthReply = "6";
    std::vector<std::pair<int, int>> calls;
    FrameExtraction extraction(m_surface, m_files);
    const ExtractionResult report =
        extraction.run("c.avi", prefix(), [&](Phase, std::int64_t saved, std::int64_t total) {
            calls.emplace_back(saved, total);
            return saved < 2;
        });
    EXPECT_TRUE(report.stopped);
    EXPECT_FALSE(report.completed);
    EXPECT_FALSE(report.failure);
    EXPECT_EQ(report.written, 2);
    EXPECT_EQ(calls, (std::vector<std::pair<int, int>>{{0, 6}, {1, 6}, {2, 6}}));
    // Stopped means written: the frames reported are on disk, no later one is.
    EXPECT_TRUE(exists(1));
    EXPECT_TRUE(exists(2));
    EXPECT_FALSE(exists(3));

    FakeSurface before;
    FrameExtraction none(before, m_files);
    const ExtractionResult stoppedAtOnce =
        none.run("c.avi", prefix(), [](Phase, std::int64_t, std::int64_t) { return false; });
    EXPECT_TRUE(stoppedAtOnce.stopped);
    EXPECT_EQ(stoppedAtOnce.written, 0);
    EXPECT_EQ(before.captures, 0);
}

TEST_F(ExtractionLoopTest, YieldsOncePerFrameBeforeTheCapture) {
    m_surface.lengthReply = "4";
    std::vector<int> shownAtYield;
    FrameExtraction extraction(m_surface, m_files,
                               [&] { shownAtYield.push_back(m_surface.shown); });
    extraction.run("c.avi", prefix());
    EXPECT_EQ(shownAtYield, (std::vector<int>{1, 2, 3, 4}));
}

// Through the real media layer: a stop asked for while the clip is opened and read through, or
// while a frame is read, ends the extraction as stopped, never as a failure; a clip the layer
// cannot read is a failure told in the layer's own words, naming the file once.
TEST_F(ExtractionLoopTest, MediaLayerStopsAndFailuresReachTheResult) {
    const std::string clip = m_folder.file("clip.avi");
    wf::media::testing::writeClip(clip, wf::media::testing::clipOptions(32, 24), 60);
    const std::string folder = m_folder.file("");

    int asked = 0;
    const ExtractionResult duringOpen =
        extractClip(clip, folder, m_files, {}, [&asked] { return ++asked > 20; });
    EXPECT_TRUE(duringOpen.stopped);
    EXPECT_FALSE(duringOpen.opened);
    EXPECT_FALSE(duringOpen.failure);
    EXPECT_FALSE(exists(1));

    bool stop = false;
    const ExtractionResult duringSeek = extractClip(
        clip, folder, m_files,
        [&stop](Phase, std::int64_t saved, std::int64_t) {
            stop = saved == 2;
            return true;
        },
        [&stop] { return stop; });
    EXPECT_TRUE(duringSeek.stopped);
    EXPECT_FALSE(duringSeek.failure);
    EXPECT_EQ(duringSeek.written, 2);
    EXPECT_TRUE(exists(2));
    EXPECT_FALSE(exists(3));

    const auto occurrences = [](const std::string& text, const std::string& part) {
        int n = 0;
        for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
        return n;
    };
    const std::string broken = m_folder.file("broken \"clip\".avi");
    wf::media::testing::writeBytes(broken, std::string(4096, '\x5a'));
    const std::string pipe = m_folder.file("pipe.avi");
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    std::vector<std::string> texts;
    for (const std::string& bad : {broken, pipe, m_folder.file("missing.avi")}) {
        const ExtractionResult result = extractClip(bad, folder, m_files);
        ASSERT_TRUE(result.failure) << bad;
        EXPECT_EQ(result.failure->kind, wf::FailureKind::ClipNotOpened);
        texts.push_back(wf::japaneseText(*result.failure));
        EXPECT_EQ(occurrences(texts.back(), bad), 1) << texts.back();
    }
    // The pipe is not taken for a missing file.
    EXPECT_NE(texts[1].find("FIFO"), std::string::npos) << texts[1];
}

}  // namespace strobo::stages
