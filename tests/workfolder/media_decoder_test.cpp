#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <numeric>
#include <random>
#include <stdexcept>
#include <vector>

#include "media_test_clips.h"
#include "workfolder/media/video_decoder.h"

namespace strobo::workfolder::media {
namespace {

using namespace testing;

std::vector<std::uint64_t> sequentialHashes(const std::string& path) {
    VideoDecoder decoder(path);
    std::vector<std::uint64_t> hashes;
    for (std::int64_t i = 0; i < decoder.frameCount(); ++i) {
        hashes.push_back(imageHash(decoder.frame(i)));
    }
    return hashes;
}

// Reads the frames in reverse, then shuffled, and compares with a sequential pass.
void expectRandomAccessMatchesSequential(const std::string& path) {
    const auto golden = sequentialHashes(path);
    VideoDecoder decoder(path);
    ASSERT_EQ(decoder.frameCount(), static_cast<std::int64_t>(golden.size()));
    std::vector<std::int64_t> order(golden.size());
    std::iota(order.rbegin(), order.rend(), 0);
    for (const auto i : order) EXPECT_EQ(imageHash(decoder.frame(i)), golden[i]) << "frame " << i;
    std::mt19937 random(12345);
    std::shuffle(order.begin(), order.end(), random);
    for (const auto i : order) EXPECT_EQ(imageHash(decoder.frame(i)), golden[i]) << "frame " << i;
}

TEST(VideoDecoderTest, LosslessClipGivesEveryFrameExactlyDecodingEachOnce) {
    TempFolder folder;
    const auto path = folder.file("clip.avi");
    writeClip(path, clipOptions(64, 48), 37);
    VideoDecoder decoder(path);
    ASSERT_EQ(decoder.frameCount(), 37);
    EXPECT_EQ(decoder.sourceWidth(), 64);
    EXPECT_EQ(decoder.outputHeight(), 48);
    for (int i = 0; i < 37; ++i) ASSERT_EQ(decoder.frame(i), detailedFrame(i, 64, 48)) << i;
    EXPECT_EQ(decoder.decodedPictureCount(), 37);
    EXPECT_EQ(decoder.seekCount(), 0);
    // Asking for the frame on show again costs nothing.
    decoder.frame(36);
    EXPECT_EQ(decoder.decodedPictureCount(), 37);
}

TEST(VideoDecoderTest, PackedColourHasRedInTheLowByteAndZeroTopByte) {
    TempFolder folder;
    const auto path = folder.file("colour.avi");
    ClipWriter writer(path, clipOptions(8, 8));
    writer.addFrame(engine::PackedImage(8, 8, engine::packColor(200, 100, 50)));
    writer.finish();
    const auto frame = VideoDecoder(path).frame(0);
    EXPECT_EQ(frame.at(3, 3), 200 | (100 << 8) | (50 << 16));

    // Through full-range YUV and back: a wrong range or matrix shifts levels by far more.
    for (const auto codec : {ClipCodec::Mjpeg, ClipCodec::Mpeg4}) {
        const auto lossy = folder.file(codec == ClipCodec::Mjpeg ? "flat.avi" : "flat.mkv");
        ClipWriter w(lossy, clipOptions(32, 32, codec, 1));
        for (const auto c : {engine::packColor(200, 100, 50), engine::packColor(255, 255, 255),
                             engine::packColor(0, 0, 0)}) {
            w.addFrame(engine::PackedImage(32, 32, c));
        }
        w.finish();
        VideoDecoder decoder(lossy);
        const int expected[3][3] = {{200, 100, 50}, {255, 255, 255}, {0, 0, 0}};
        for (int i = 0; i < 3; ++i) {
            const auto p = decoder.frame(i).at(16, 16);
            EXPECT_EQ(p >> 24, 0);
            for (int ch = 0; ch < 3; ++ch) {
                EXPECT_NEAR((p >> (8 * ch)) & 0xFF, expected[i][ch], 4) << i << " " << ch;
            }
        }
    }
}

TEST(VideoDecoderTest, BackwardAndShuffledReadsMatchSequentialPass) {
    TempFolder folder;
    struct Case {
        const char* name;
        ClipWriterOptions options;
    };
    const Case cases[] = {
        {"lossless.avi", clipOptions(64, 48, ClipCodec::Lossless, 7)},
        {"mjpeg.avi", clipOptions(64, 48, ClipCodec::Mjpeg, 1)},
        {"bframes.avi", clipOptions(160, 120, ClipCodec::Mpeg4, 9, 2)},
        {"bframes.mkv", clipOptions(160, 120, ClipCodec::Mpeg4, 9, 2)},
        {"bframes.mp4", clipOptions(160, 120, ClipCodec::Mpeg4, 9, 2)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto path = folder.file(c.name);
        writeClip(path, c.options, 40, Content::Numbered);
        expectRandomAccessMatchesSequential(path);
    }
}

TEST(VideoDecoderTest, FarJumpAheadSkipsDecodingTheFramesBetween) {
    TempFolder folder;
    const auto path = folder.file("long.mkv");
    writeClip(path, clipOptions(32, 16, ClipCodec::Lossless, 10), 700, Content::Numbered);
    VideoDecoder decoder(path);
    EXPECT_EQ(decoder.frame(0), numberedFrame(0, 32, 16));
    EXPECT_EQ(decoder.frame(655), numberedFrame(655, 32, 16));
    EXPECT_LT(decoder.decodedPictureCount(), 30);
    EXPECT_EQ(decoder.frame(3), numberedFrame(3, 32, 16));
}

TEST(VideoDecoderTest, Mpeg4WithBFramesCountsExactlyAndDeliversPresentationOrder) {
    TempFolder folder;
    for (const char* name : {"b.avi", "b.mkv"}) {
        SCOPED_TRACE(name);
        const auto path = folder.file(name);
        writeClip(path, clipOptions(320, 240, ClipCodec::Mpeg4, 12, 2), 75, Content::Numbered);
        VideoDecoder decoder(path);
        ASSERT_EQ(decoder.frameCount(), 75);
        for (int i = 0; i < 75; ++i) ASSERT_EQ(readFrameNumber(decoder.frame(i)), i);
        EXPECT_EQ(decoder.decodedPictureCount(), 75);
        for (int i : {74, 30, 12, 11, 0, 50}) EXPECT_EQ(readFrameNumber(decoder.frame(i)), i);
    }
}

TEST(VideoDecoderTest, FrameCountIgnoresMissingOrWrongHeaderCount) {
    TempFolder folder;
    for (std::uint32_t header : {0u, 3u, 999u}) {
        SCOPED_TRACE(header);
        const auto path = folder.file("header" + std::to_string(header) + ".avi");
        auto options = clipOptions(32, 24);
        options.headerFrameCount = header;
        writeClip(path, options, 25);
        // The patch must really have landed, or the test proves nothing.
        const std::string bytes = readBytes(path);
        const auto avih = bytes.find("avih");
        ASSERT_NE(avih, std::string::npos);
        std::uint32_t stored = 0;
        std::memcpy(&stored, bytes.data() + avih + 8 + 16, 4);
        ASSERT_EQ(stored, header);

        VideoDecoder decoder(path);
        EXPECT_EQ(decoder.frameCount(), 25);
        EXPECT_EQ(decoder.frame(24), detailedFrame(24, 32, 24));
    }
    const auto mkv = folder.file("nocount.mkv");
    writeClip(mkv, clipOptions(32, 24), 19);
    EXPECT_EQ(VideoDecoder(mkv).frameCount(), 19);
}

TEST(VideoDecoderTest, PathWithBlanksAndJapaneseCharacters) {
    TempFolder folder;
    const auto path = folder.file("ストロボ 動画 テスト.avi");
    writeClip(path, clipOptions(32, 24), 5);
    VideoDecoder decoder(path);
    EXPECT_EQ(decoder.frameCount(), 5);
    EXPECT_EQ(decoder.frame(4), detailedFrame(4, 32, 24));
}

TEST(VideoDecoderTest, LargeVideoIsScaledDownKeepingAspectRatio) {
    TempFolder folder;
    const auto path = folder.file("hd.avi");
    writeClip(path, clipOptions(1280, 720, ClipCodec::Mjpeg, 1), 3, Content::Numbered);
    VideoDecoder decoder(path, DecoderOptions{640, 480, 0});
    EXPECT_EQ(decoder.sourceWidth(), 1280);
    const auto frame = decoder.frame(2);
    EXPECT_EQ(frame.width, 640);
    EXPECT_EQ(frame.height, 360);
    // The bit columns are 8 pixels wide after halving.
    int value = 0;
    for (int bit = 0; bit < 8; ++bit)
        value = (value << 1) | ((frame.at(bit * 8 + 4, 4) & 0xFF) > 127);
    EXPECT_EQ(value, 2);
}

TEST(VideoDecoderTest, FitWithinKeepsAspectAndNeverEnlarges) {
    struct Case {
        int w, h, ow, oh;
    };
    for (const auto c :
         {Case{1280, 720, 640, 360}, Case{640, 480, 640, 480}, Case{320, 240, 320, 240},
          Case{1920, 1440, 640, 480}, Case{800, 1200, 320, 480}, Case{10000, 1, 640, 1}}) {
        int w = 0, h = 0;
        fitWithin(c.w, c.h, 640, 480, &w, &h);
        EXPECT_EQ(w, c.ow) << c.w << "x" << c.h;
        EXPECT_EQ(h, c.oh) << c.w << "x" << c.h;
    }
}

TEST(VideoDecoderTest, IndexOutsideTheClipThrowsOutOfRange) {
    TempFolder folder;
    const auto path = folder.file("clip.avi");
    writeClip(path, clipOptions(16, 16), 4);
    VideoDecoder decoder(path);
    EXPECT_THROW(decoder.frame(-1), std::out_of_range);
    EXPECT_THROW(decoder.frame(4), std::out_of_range);
    EXPECT_NO_THROW(decoder.frame(3));
}

// Every damaged or foreign input ends in a MediaError naming the file, or in a shorter clip
// whose frames all decode, quickly.
class BadInputTest : public ::testing::Test {
  protected:
    void expectRejected(const std::string& path) {
        const auto start = std::chrono::steady_clock::now();
        try {
            VideoDecoder decoder(path);
            FAIL() << "opened " << path;
        } catch (const MediaError& e) {
            EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
        }
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
    }
    TempFolder folder;
};

TEST_F(BadInputTest, MissingFileEmptyFileAndFolder) {
    expectRejected(folder.file("nowhere.avi"));
    const auto empty = folder.file("empty.avi");
    writeBytes(empty, "");
    expectRejected(empty);
    std::filesystem::create_directory(u8(folder.file("folder.avi")));
    expectRejected(folder.file("folder.avi"));
}

TEST_F(BadInputTest, TextFileRenamedAvi) {
    const auto path = folder.file("notes.avi");
    std::string text;
    for (int i = 0; i < 200; ++i)
        text += "これは動画ではありません。 line " + std::to_string(i) + "\n";
    writeBytes(path, text);
    expectRejected(path);
}

TEST_F(BadInputTest, AudioOnlyFile) {
    const auto path = folder.file("sound.wav");
    writeWav(path);
    expectRejected(path);
    const auto renamed = folder.file("sound.avi");
    writeWav(renamed);
    expectRejected(renamed);
}

TEST_F(BadInputTest, ClipWithoutFrames) {
    const auto path = folder.file("zero.avi");
    writeClip(path, clipOptions(32, 24), 0);
    expectRejected(path);
}

TEST_F(BadInputTest, AbsurdDeclaredDimensions) {
    const auto path = folder.file("huge.avi");
    writeClip(path, clipOptions(32, 24), 3);
    std::string bytes = readBytes(path);
    const auto setLe32 = [&bytes](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    };
    const auto avih = bytes.find("avih");
    const auto strf = bytes.find("strf");
    ASSERT_NE(avih, std::string::npos);
    ASSERT_NE(strf, std::string::npos);
    setLe32(avih + 8 + 32, 40000);
    setLe32(avih + 8 + 36, 30000);
    setLe32(strf + 8 + 4, 40000);  // BITMAPINFOHEADER biWidth
    setLe32(strf + 8 + 8, 30000);  // biHeight
    writeBytes(path, bytes);
    expectRejected(path);
}

TEST_F(BadInputTest, TruncatedClipGivesFewerFramesThatAllDecode) {
    const auto path = folder.file("cut.avi");
    writeClip(path, clipOptions(160, 120, ClipCodec::Mpeg4, 10, 2), 30, Content::Numbered);
    const std::string bytes = readBytes(path);
    for (const double share : {0.8, 0.5, 0.1}) {
        SCOPED_TRACE(share);
        const auto cut = folder.file("cut" + std::to_string(share) + ".avi");
        writeBytes(cut, bytes.substr(0, static_cast<std::size_t>(bytes.size() * share)));
        try {
            VideoDecoder decoder(cut);
            EXPECT_LT(decoder.frameCount(), 30);
            // B-frames cut off at the end leave gaps in the numbering near the cut; what is
            // left still comes in presentation order.
            int previous = -1;
            for (std::int64_t i = 0; i < decoder.frameCount(); ++i) {
                const int number = readFrameNumber(decoder.frame(i));
                EXPECT_GT(number, previous);
                previous = number;
            }
        } catch (const MediaError&) {
        }
    }
}

}  // namespace
}  // namespace strobo::workfolder::media
