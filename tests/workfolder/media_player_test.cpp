#include "workfolder/media/media_player.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <iterator>
#include <map>
#include <utility>
#include <vector>

#include "media_test_clips.h"

namespace strobo::workfolder::media {
namespace {

using namespace testing;

class RecordingTarget : public FrameTarget {
  public:
    void showVideoFrame(const engine::PackedImage& frame) override {
        shown.push_back(frame);
        visible = true;
    }
    void clearVideoFrame() override {
        visible = false;
        ++clears;
    }
    std::vector<engine::PackedImage> shown;
    bool visible = false;
    int clears = 0;
};

class MediaPlayerTest : public ::testing::Test {
  protected:
    // One clip for the whole suite: writing it is the slowest part of these tests.
    static void SetUpTestSuite() {
        shared = new TempFolder;
        sharedClip = shared->file("clip.avi");
        writeClip(sharedClip, clipOptions(kWidth, kHeight, ClipCodec::Lossless, 8), kFrames);
    }
    static void TearDownTestSuite() {
        delete shared;
        shared = nullptr;
    }
    void SetUp() override {
        player.setFrameTargetResolver([this](std::uint64_t handle) -> FrameTarget* {
            return handle == 12345 ? &target : nullptr;
        });
    }
    int send(const std::string& command) { return player.sendString(command, nullptr, 0); }
    void openClip() { ASSERT_EQ(send("open \"" + clip + "\" alias test"), kMediaOk); }

    // The size the player shows unscaled, so frames compare with the pixels written.
    static constexpr int kWidth = 640;
    static constexpr int kHeight = 480;
    static constexpr int kFrames = 12;
    static inline TempFolder* shared = nullptr;
    static inline std::string sharedClip;
    TempFolder folder;
    const std::string& clip = sharedClip;
    RecordingTarget target;
    MediaPlayer player;
};

TEST_F(MediaPlayerTest, ExtractionConversationShowsEveryFrameDecodingEachOnce) {
    std::vector<std::pair<std::string, int>> log;
    player.setCommandObserver([&log](const std::string& c, int r) { log.emplace_back(c, r); });
    openClip();
    ASSERT_EQ(send("window test handle  12345"), kMediaOk);
    ASSERT_EQ(target.shown.size(), 1u);
    EXPECT_EQ(target.shown.back(), detailedFrame(0, kWidth, kHeight));

    std::string reply;
    ASSERT_EQ(player.sendString("status test length", &reply, 255), kMediaOk);
    EXPECT_EQ(reply, "12");
    for (int i = 1; i <= kFrames; ++i) {
        ASSERT_EQ(send("seek test to " + std::to_string(i)), kMediaOk) << i;
        // Position p shows frame p; the position just past the last frame shows the last.
        EXPECT_EQ(target.shown.back(), detailedFrame(std::min(i, kFrames - 1), kWidth, kHeight))
            << i;
        EXPECT_EQ(player.currentFrame("test"), target.shown.back());
    }
    EXPECT_EQ(player.decodedPictureCount("test"), kFrames);
    EXPECT_EQ(send("stop test"), kMediaOk);
    EXPECT_TRUE(target.visible);
    EXPECT_EQ(send("close test"), kMediaOk);
    EXPECT_FALSE(target.visible);
    EXPECT_FALSE(player.isOpen("test"));
    ASSERT_EQ(log.size(), 3u + kFrames + 2u);
    EXPECT_EQ(log[1].first, "window test handle  12345");
    EXPECT_EQ(log.back(), std::make_pair(std::string("close test"), 0));
}

TEST_F(MediaPlayerTest, SeekBackwardAndOutsideTheClip) {
    openClip();
    ASSERT_EQ(send("seek test to 10"), kMediaOk);
    ASSERT_EQ(send("seek test to 2"), kMediaOk);
    EXPECT_EQ(player.currentFrame("test"), detailedFrame(2, kWidth, kHeight));
    ASSERT_EQ(send("seek test to 0"), kMediaOk);
    EXPECT_EQ(player.currentFrame("test"), detailedFrame(0, kWidth, kHeight));
    EXPECT_EQ(send("seek test to 13"), kMediaOutOfRange);
    EXPECT_EQ(send("seek test to -1"), kMediaOutOfRange);
    EXPECT_EQ(send("seek test to 99999999999999999999"), kMediaBadParameter);
    EXPECT_EQ(send("seek test to 7x"), kMediaBadParameter);
    EXPECT_EQ(send("seek test 7"), kMediaMissingParameter);
    EXPECT_EQ(send("seek test from 7"), kMediaBadParameter);
    // A failed seek leaves the picture where it was.
    EXPECT_EQ(player.currentFrame("test"), detailedFrame(0, kWidth, kHeight));
    std::string reply;
    ASSERT_EQ(player.sendString("status test position", &reply, 255), kMediaOk);
    EXPECT_EQ(reply, "0");
    ASSERT_EQ(send("seek test to end"), kMediaOk);
    EXPECT_EQ(player.currentFrame("test"), detailedFrame(kFrames - 1, kWidth, kHeight));
}

TEST_F(MediaPlayerTest, ReplyIsCutLikeACBuffer) {
    openClip();
    std::string reply = "old";
    EXPECT_EQ(player.sendString("status test length", &reply, 2), kMediaOk);
    EXPECT_EQ(reply, "1");
    EXPECT_EQ(player.sendString("status test length", &reply, 1), kMediaOk);
    EXPECT_EQ(reply, "");
    reply = "old";
    EXPECT_EQ(player.sendString("status test length", &reply, 0), kMediaOk);
    EXPECT_EQ(reply, "");
    EXPECT_EQ(player.sendString("status test length", nullptr, 255), kMediaOk);
    reply = "old";
    EXPECT_EQ(player.sendString("seek test to 3", &reply, 255), kMediaOk);
    EXPECT_EQ(reply, "");
}

TEST_F(MediaPlayerTest, CommandSpellings) {
    // Unquoted path, repeated blanks, tabs, any case for keywords and aliases.
    ASSERT_EQ(send("OPEN   " + clip + "\talias  Clip1"), kMediaOk);
    std::string reply;
    EXPECT_EQ(player.sendString("Status CLIP1   Length", &reply, 255), kMediaOk);
    EXPECT_EQ(reply, "12");
    EXPECT_EQ(send("open \"" + clip + "\" type avivideo alias second"), kMediaOk);
    EXPECT_EQ(send("window clip1 handle 12345"), kMediaOk);
    EXPECT_EQ(send("seek second to 5"), kMediaOk);
    EXPECT_EQ(player.currentFrame("second"), detailedFrame(5, kWidth, kHeight));
    EXPECT_EQ(target.shown.size(), 1u);  // "second" has no window
    EXPECT_EQ(send("close all"), kMediaOk);
    EXPECT_FALSE(player.isOpen("clip1"));
    EXPECT_FALSE(player.isOpen("second"));
}

TEST_F(MediaPlayerTest, ErrorsHaveCodesAndJapaneseTexts) {
    const std::pair<const char*, int> before[] = {
        {"", kMediaUnknownCommand},
        {"   ", kMediaUnknownCommand},
        {"play test", kMediaUnknownCommand},
        {"status test length", kMediaUnknownAlias},
        {"seek test to 1", kMediaUnknownAlias},
        {"close test", kMediaUnknownAlias},
        {"open", kMediaMissingParameter},
        {"open \"unclosed alias test", kMediaBadParameter},
        {"open clip.avi alias", kMediaMissingParameter},
        {"open clip.avi as test", kMediaBadParameter},
        {"window", kMediaMissingParameter},
    };
    for (const auto& [command, code] : before) EXPECT_EQ(send(command), code) << command;
    openClip();
    const std::pair<const char*, int> after[] = {
        {"status test", kMediaMissingParameter},
        {"status test colour", kMediaBadParameter},
        {"status test length now", kMediaBadParameter},
        {"window test handle", kMediaMissingParameter},
        {"window test handle 99", kMediaBadWindow},
        {"window test handle abc", kMediaBadParameter},
        {"window test hwnd 12345", kMediaBadParameter},
        {"stop test now", kMediaBadParameter},
        {"open clip.avi alias TEST", kMediaAliasInUse},
        {"open clip.avi alias all", kMediaAliasInUse},
    };
    for (const auto& [command, code] : after) EXPECT_EQ(send(command), code) << command;
    // The device still works after all that.
    EXPECT_TRUE(player.isOpen("test"));
    EXPECT_EQ(send("seek test to 1"), kMediaOk);

    for (int code :
         std::initializer_list<int>{kMediaUnknownCommand, kMediaBadParameter, kMediaUnknownAlias,
                                    kMediaMissingParameter, kMediaCannotOpen, kMediaOutOfRange,
                                    kMediaBadWindow, kMediaAliasInUse, kMediaReadFailed, 9999}) {
        const std::string text = MediaPlayer::errorText(code);
        EXPECT_FALSE(text.empty());
        EXPECT_NE(text, MediaPlayer::errorText(kMediaOk));
        EXPECT_GT(static_cast<unsigned char>(text[0]), 0x7F) << code;  // Japanese, not ASCII
    }
}

TEST_F(MediaPlayerTest, WindowWithoutResolverIsAnError) {
    MediaPlayer bare;
    ASSERT_EQ(bare.sendString("open \"" + clip + "\" alias test"), kMediaOk);
    EXPECT_EQ(bare.sendString("window test handle  12345"), kMediaBadWindow);
}

TEST_F(MediaPlayerTest, UnopenableFilesReportTheFileAndWhatIsWrong) {
    const auto text = folder.file("メモ 1.avi");
    writeBytes(text, "plain text, not a video\n");
    EXPECT_EQ(send("open \"" + text + "\" alias test"), kMediaCannotOpen);
    EXPECT_NE(player.lastErrorDetail().find(text), std::string::npos);
    ASSERT_NE(player.lastError(), nullptr);
    EXPECT_EQ(player.lastError()->kind(), MediaErrorKind::Unsupported);
    EXPECT_EQ(player.lastError()->file(), text);
    EXPECT_FALSE(player.isOpen("test"));
    std::string reply = "x";
    EXPECT_EQ(player.sendString("status test length", &reply, 255), kMediaUnknownAlias);
    EXPECT_EQ(reply, "");
    EXPECT_EQ(player.lastError(), nullptr);
    const auto fifo = folder.file("pipe.avi");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(send("open \"" + fifo + "\" alias test"), kMediaCannotOpen);
    ASSERT_NE(player.lastError(), nullptr);
    EXPECT_EQ(player.lastError()->kind(), MediaErrorKind::Fifo);
    // The alias stays free for a file that opens.
    openClip();
    EXPECT_TRUE(player.lastErrorDetail().empty());
    EXPECT_EQ(player.lastError(), nullptr);
}

// The quoted path runs to the last quote, so a name may hold quotes and words of the command.
TEST_F(MediaPlayerTest, QuotesInsideTheFileName) {
    const std::string names[] = {"say \"hi\".avi", "a\" alias b.avi", "-i \"x\".avi"};
    for (std::size_t i = 0; i < std::size(names); ++i) {
        SCOPED_TRACE(names[i]);
        const auto path = folder.file(names[i]);
        writeClip(path, clipOptions(16, 16), static_cast<int>(i) + 2);
        ASSERT_EQ(send("open \"" + path + "\" alias q"), kMediaOk) << player.lastErrorDetail();
        std::string reply;
        EXPECT_EQ(player.sendString("status q length", &reply, 255), kMediaOk);
        EXPECT_EQ(reply, std::to_string(i + 2));
        EXPECT_EQ(send("close q"), kMediaOk);
    }
    EXPECT_EQ(send("open \"" + folder.file("x.avi") + "\"alias q"), kMediaBadParameter);
}

TEST_F(MediaPlayerTest, StopRequestEndsAnOpenOrASeekAndTheDeviceReadsOn) {
    bool stop = true;
    player.setStopRequest([&stop] { return stop; });
    EXPECT_EQ(send("open \"" + clip + "\" alias test"), kMediaCannotOpen);
    ASSERT_NE(player.lastError(), nullptr);
    EXPECT_EQ(player.lastError()->kind(), MediaErrorKind::Interrupted);
    stop = false;
    openClip();
    stop = true;
    EXPECT_EQ(send("seek test to 5"), kMediaReadFailed);
    ASSERT_NE(player.lastError(), nullptr);
    EXPECT_EQ(player.lastError()->kind(), MediaErrorKind::Interrupted);
    stop = false;
    ASSERT_EQ(send("seek test to 5"), kMediaOk);
    EXPECT_EQ(player.currentFrame("test"), detailedFrame(5, kWidth, kHeight));
}

// The value of a numbered frame whose bit columns are `column` pixels wide.
int frameNumberAtScale(const engine::PackedImage& frame, int column) {
    int value = 0;
    for (int bit = 0; bit < 8; ++bit) {
        value = (value << 1) | ((frame.at(bit * column + column / 2, column / 4) & 0xFF) > 127);
    }
    return value;
}

TEST_F(MediaPlayerTest, VideoIsFittedTo640x480UpOrDownUprightAndSquare) {
    const auto show = [this](const std::string& path) {
        EXPECT_EQ(send("open \"" + path + "\" alias v"), kMediaOk) << player.lastErrorDetail();
        EXPECT_EQ(send("window v handle 12345"), kMediaOk);
        EXPECT_EQ(send("seek v to 1"), kMediaOk);
        const VideoRect rect = player.videoRect("v");
        EXPECT_EQ(rect.width, target.shown.back().width);
        EXPECT_EQ(rect.height, target.shown.back().height);
        EXPECT_EQ(send("close v"), kMediaOk);
        return rect;
    };
    const auto hd = folder.file("hd 映像.avi");
    writeClip(hd, clipOptions(1280, 720, ClipCodec::Mjpeg, 1), 2, Content::Numbered);
    EXPECT_EQ(show(hd), (VideoRect{0, 0, 640, 360}));
    EXPECT_EQ(frameNumberAtScale(target.shown.back(), 8), 1);

    const auto small = folder.file("small.avi");
    writeClip(small, clipOptions(320, 200), 2, Content::Numbered);
    EXPECT_EQ(show(small), (VideoRect{0, 0, 640, 400}));
    EXPECT_EQ(frameNumberAtScale(target.shown.back(), 32), 1);

    // Pixels twice as wide as high: 320 stored columns are 640 wide on screen.
    const auto wide = folder.file("wide pixels.mp4");
    ASSERT_TRUE(
        runFfmpeg("-f lavfi -i testsrc2=size=320x240 -frames:v 2 -vf setsar=2 "
                  "-c:v libx264 " +
                  shellWord(wide)));
    EXPECT_EQ(show(wide), (VideoRect{0, 0, 640, 240}));

    // A portrait phone clip stands upright and fills the height.
    const auto landscape = folder.file("landscape.mp4");
    ASSERT_TRUE(runFfmpeg("-f lavfi -i testsrc2=size=64x48 -frames:v 2 -c:v libx264 " +
                          shellWord(landscape)));
    const auto portrait = folder.file("portrait.mp4");
    ASSERT_TRUE(runFfmpeg("-i " + shellWord(landscape) + " -c copy -metadata:s:v:0 rotate=90 " +
                          shellWord(portrait)));
    EXPECT_EQ(show(portrait), (VideoRect{0, 0, 360, 480}));

    EXPECT_TRUE(player.videoRect("v").isEmpty());
    openClip();
    EXPECT_EQ(player.videoRect("test"), (VideoRect{0, 0, kWidth, kHeight}));
    EXPECT_NEAR(*player.frameTime("test", 3), 0.1, 1e-9);
    EXPECT_FALSE(player.frameTime("test", kFrames));
}

}  // namespace
}  // namespace strobo::workfolder::media
