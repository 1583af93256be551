#include "workfolder/media/media_player.h"

#include <gtest/gtest.h>

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
    void SetUp() override {
        clip = folder.file("clip.avi");
        writeClip(clip, clipOptions(48, 32, ClipCodec::Lossless, 8), kFrames);
        player.setFrameTargetResolver([this](std::uint64_t handle) -> FrameTarget* {
            return handle == 12345 ? &target : nullptr;
        });
    }
    int send(const std::string& command) { return player.sendString(command, nullptr, 0); }
    void openClip() { ASSERT_EQ(send("open \"" + clip + "\" alias test"), kMediaOk); }

    static constexpr int kFrames = 23;
    TempFolder folder;
    std::string clip;
    RecordingTarget target;
    MediaPlayer player;
};

TEST_F(MediaPlayerTest, ExtractionConversationShowsEveryFrameDecodingEachOnce) {
    std::vector<std::pair<std::string, int>> log;
    player.setCommandObserver([&log](const std::string& c, int r) { log.emplace_back(c, r); });
    openClip();
    ASSERT_EQ(send("window test handle  12345"), kMediaOk);
    ASSERT_EQ(target.shown.size(), 1u);
    EXPECT_EQ(target.shown.back(), detailedFrame(0, 48, 32));

    std::string reply;
    ASSERT_EQ(player.sendString("status test length", &reply, 255), kMediaOk);
    EXPECT_EQ(reply, "23");
    for (int i = 1; i <= kFrames; ++i) {
        ASSERT_EQ(send("seek test to " + std::to_string(i)), kMediaOk) << i;
        // Position p shows frame p; the position just past the last frame shows the last.
        EXPECT_EQ(target.shown.back(), detailedFrame(std::min(i, kFrames - 1), 48, 32)) << i;
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
    ASSERT_EQ(send("seek test to 20"), kMediaOk);
    ASSERT_EQ(send("seek test to 2"), kMediaOk);
    EXPECT_EQ(player.currentFrame("test"), detailedFrame(2, 48, 32));
    ASSERT_EQ(send("seek test to 0"), kMediaOk);
    EXPECT_EQ(player.currentFrame("test"), detailedFrame(0, 48, 32));
    EXPECT_EQ(send("seek test to 24"), kMediaOutOfRange);
    EXPECT_EQ(send("seek test to -1"), kMediaOutOfRange);
    EXPECT_EQ(send("seek test to 99999999999999999999"), kMediaBadParameter);
    EXPECT_EQ(send("seek test to 7x"), kMediaBadParameter);
    EXPECT_EQ(send("seek test 7"), kMediaMissingParameter);
    EXPECT_EQ(send("seek test from 7"), kMediaBadParameter);
    // A failed seek leaves the picture where it was.
    EXPECT_EQ(player.currentFrame("test"), detailedFrame(0, 48, 32));
    std::string reply;
    ASSERT_EQ(player.sendString("status test position", &reply, 255), kMediaOk);
    EXPECT_EQ(reply, "0");
    ASSERT_EQ(send("seek test to end"), kMediaOk);
    EXPECT_EQ(player.currentFrame("test"), detailedFrame(kFrames - 1, 48, 32));
}

TEST_F(MediaPlayerTest, ReplyIsCutLikeACBuffer) {
    openClip();
    std::string reply = "old";
    EXPECT_EQ(player.sendString("status test length", &reply, 2), kMediaOk);
    EXPECT_EQ(reply, "2");
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
    EXPECT_EQ(reply, "23");
    EXPECT_EQ(send("open \"" + clip + "\" type avivideo alias second"), kMediaOk);
    EXPECT_EQ(send("window clip1 handle 12345"), kMediaOk);
    EXPECT_EQ(send("seek second to 5"), kMediaOk);
    EXPECT_EQ(player.currentFrame("second"), detailedFrame(5, 48, 32));
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

TEST_F(MediaPlayerTest, UnopenableFilesReportTheFile) {
    const auto text = folder.file("メモ 1.avi");
    writeBytes(text, "plain text, not a video\n");
    EXPECT_EQ(send("open \"" + text + "\" alias test"), kMediaCannotOpen);
    EXPECT_NE(player.lastErrorDetail().find(text), std::string::npos);
    EXPECT_FALSE(player.isOpen("test"));
    std::string reply = "x";
    EXPECT_EQ(player.sendString("status test length", &reply, 255), kMediaUnknownAlias);
    EXPECT_EQ(reply, "");
    // The alias stays free for a file that opens.
    openClip();
    EXPECT_TRUE(player.lastErrorDetail().empty());
}

TEST_F(MediaPlayerTest, LargeVideoIsDeliveredScaledToFit) {
    const auto hd = folder.file("hd 映像.avi");
    writeClip(hd, clipOptions(1280, 720, ClipCodec::Mjpeg, 1), 2, Content::Numbered);
    ASSERT_EQ(send("open \"" + hd + "\" alias hd"), kMediaOk);
    ASSERT_EQ(send("window hd handle  12345"), kMediaOk);
    ASSERT_EQ(send("seek hd to 1"), kMediaOk);
    EXPECT_EQ(target.shown.back().width, 640);
    EXPECT_EQ(target.shown.back().height, 360);
    const auto small = folder.file("small.avi");
    writeClip(small, clipOptions(320, 200), 1);
    ASSERT_EQ(send("open " + small + " alias small"), kMediaOk);
    ASSERT_EQ(send("window small handle 12345"), kMediaOk);
    EXPECT_EQ(target.shown.back(), detailedFrame(0, 320, 200));
}

}  // namespace
}  // namespace strobo::workfolder::media
