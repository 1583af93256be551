#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <numeric>
#include <optional>
#include <random>
#include <stdexcept>
#include <vector>

#include "media_test_clips.h"
#include "workfolder/failure.h"
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

// Each name opens exactly its own file: nothing in it is read as a protocol, an option or a
// pattern. The clips differ in length to tell them apart.
TEST(VideoDecoderTest, AnyFileNameOpensThatFile) {
    TempFolder folder;
    const std::string names[] = {"ストロボ 動画 テスト.avi",
                                 "say \"hi\".avi",
                                 "-i.avi",
                                 "http:x.avi",
                                 "100%d.avi",
                                 "#1?.avi"};
    for (std::size_t i = 0; i < std::size(names); ++i) {
        writeClip(folder.file(names[i]), clipOptions(32, 24), static_cast<int>(i) + 2);
    }
    const auto here = std::filesystem::current_path();
    // Relative names too, where "http:x.avi" looks most like an address.
    std::filesystem::current_path(u8(folder.file("")));
    for (std::size_t i = 0; i < std::size(names); ++i) {
        for (const auto& path : {folder.file(names[i]), names[i]}) {
            SCOPED_TRACE(path);
            try {
                VideoDecoder decoder(path);
                EXPECT_EQ(decoder.frameCount(), static_cast<std::int64_t>(i) + 2);
                EXPECT_EQ(decoder.frame(1), detailedFrame(1, 32, 24));
            } catch (const MediaError& e) {
                ADD_FAILURE() << e.what();
            }
        }
    }
    std::filesystem::current_path(here);
}

// A stop request or a passed time limit ends the work at once; a stopped frame() leaves the
// decoder ready to read again.
TEST(VideoDecoderTest, StopRequestAndTimeLimitEndWorkAtOnce) {
    TempFolder folder;
    const auto path = folder.file("clip.avi");
    writeClip(path, clipOptions(32, 24), 20);
    const auto kindOf = [](const auto& work) -> std::optional<MediaErrorKind> {
        try {
            work();
        } catch (const MediaError& e) {
            return e.kind();
        }
        return std::nullopt;
    };
    DecoderOptions stopped;
    stopped.stopRequested = [] { return true; };
    EXPECT_EQ(kindOf([&] { VideoDecoder(path, stopped); }), MediaErrorKind::Interrupted);
    DecoderOptions late;
    late.timeLimit = std::chrono::milliseconds(0);
    EXPECT_EQ(kindOf([&] { VideoDecoder(path, late); }), MediaErrorKind::TimedOut);
    // Stopped part-way through opening.
    int asked = 0;
    DecoderOptions scanning;
    scanning.stopRequested = [&asked] { return ++asked > 12; };
    EXPECT_EQ(kindOf([&] { VideoDecoder(path, scanning); }), MediaErrorKind::Interrupted);

    bool stop = false;
    DecoderOptions options;
    options.stopRequested = [&stop] { return stop; };
    VideoDecoder decoder(path, options);
    EXPECT_EQ(decoder.frame(3), detailedFrame(3, 32, 24));
    stop = true;
    EXPECT_EQ(kindOf([&] { decoder.frame(15); }), MediaErrorKind::Interrupted);
    stop = false;
    EXPECT_EQ(decoder.frame(15), detailedFrame(15, 32, 24));
    EXPECT_EQ(decoder.frame(4), detailedFrame(4, 32, 24));
}

TEST(VideoDecoderTest, LargeVideoIsScaledDownKeepingAspectRatio) {
    TempFolder folder;
    const auto path = folder.file("hd.avi");
    writeClip(path, clipOptions(1280, 720, ClipCodec::Mjpeg, 1), 3, Content::Numbered);
    DecoderOptions fitted;
    fitted.maxWidth = 640;
    fitted.maxHeight = 480;
    VideoDecoder decoder(path, fitted);
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

TEST(VideoDecoderTest, FitWithinNeverEnlargesScaleToFitDoes) {
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
    for (const auto c : {Case{320, 240, 640, 480}, Case{1280, 720, 640, 360},
                         Case{640, 480, 640, 480}, Case{640, 48, 640, 48}, Case{48, 64, 360, 480},
                         Case{100, 10, 640, 64}, Case{1, 10000, 1, 480}, Case{1, 1, 480, 480}}) {
        int w = 0, h = 0;
        scaleToFit(c.w, c.h, 640, 480, &w, &h);
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

// Every frame as ffmpeg's own decode of the clip gives it, with one decoder thread and with as
// many as FFmpeg likes, read backward (each picture converted as soon as it is decoded) and
// forward (each converted on the conversion thread while the next is decoded): neither threads
// nor the overlap may change a byte.
void expectFramesAsFfmpegShowsThem(const std::string& clip, const std::string& raw,
                                   const std::string& ffmpegOutputOptions = "",
                                   const std::string& ffmpegInputOptions = "") {
    std::vector<engine::PackedImage> golden;
    for (const int threads : {1, 0}) {
        SCOPED_TRACE(threads);
        DecoderOptions options;
        options.threads = threads;
        VideoDecoder decoder(clip, options);
        if (golden.empty()) {
            golden = ffmpegFrames(clip, decoder.outputWidth(), decoder.outputHeight(), raw,
                                  ffmpegOutputOptions, ffmpegInputOptions);
        }
        ASSERT_EQ(decoder.frameCount(), static_cast<std::int64_t>(golden.size()));
        for (std::int64_t i = decoder.frameCount() - 1; i >= 0; --i) {
            ASSERT_EQ(decoder.frame(i), golden[static_cast<std::size_t>(i)]) << "frame " << i;
        }
        for (std::int64_t i = 0; i < decoder.frameCount(); ++i) {
            ASSERT_EQ(decoder.frame(i), golden[static_cast<std::size_t>(i)]) << "frame " << i;
        }
    }
}

TEST(VideoDecoderTest, CameraClipsGiveTheFramesTimesAndColoursShown) {
    TempFolder folder;
    const auto source = folder.file("numbered.avi");
    writeClip(source, clipOptions(160, 120), 60, Content::Numbered);
    // B-frames in every group, so that decode and display order differ throughout.
    const auto full = folder.file("full.mp4");
    ASSERT_TRUE(runFfmpeg("-i " + shellWord(source) +
                          " -c:v libx264 -bf 2 -x264-params b-adapt=0 -g 30 -pix_fmt yuv420p " +
                          shellWord(full)));

    // Cut without re-encoding: the copy starts at the keyframe before 0.5 s, and an edit list
    // hides the 15 frames before it.
    const auto trimmed = folder.file("trimmed.mp4");
    ASSERT_TRUE(runFfmpeg("-ss 0.5 -i " + shellWord(full) + " -c copy " + shellWord(trimmed)));
    {
        VideoDecoder decoder(trimmed);
        ASSERT_EQ(decoder.frameCount(), 45);
        for (std::int64_t k = 0; k < 45; ++k) {
            EXPECT_EQ(readFrameNumber(decoder.frame(k)), 15 + k) << k;
            EXPECT_NEAR(decoder.frameTime(k), k / 30.0, 1e-6) << k;
        }
        EXPECT_THROW(decoder.frameTime(45), std::out_of_range);

        // Opened for its first frames, it is read no further than they need (B-frames and the
        // edit list notwithstanding) and gives the same pictures at the same times; asked for
        // more than it has, it is read to the end.
        DecoderOptions head;
        head.framesWanted = 12;
        VideoDecoder start(trimmed, head);
        ASSERT_GE(start.frameCount(), 12);
        EXPECT_LT(start.frameCount(), 45);
        for (std::int64_t k = start.frameCount() - 1; k >= 0; --k) {
            EXPECT_EQ(start.frame(k), decoder.frame(k)) << k;
            EXPECT_EQ(start.frameTime(k), decoder.frameTime(k)) << k;
        }
        EXPECT_THROW(start.frame(start.frameCount()), std::out_of_range);
        head.framesWanted = 1000;
        EXPECT_EQ(VideoDecoder(trimmed, head).frameCount(), 45);
    }
    expectFramesAsFfmpegShowsThem(trimmed, folder.file("trimmed.raw"));

    // Ten bits and the BT.2020 matrix, as phones record.
    const auto wide = folder.file("bt2020.mp4");
    ASSERT_TRUE(runFfmpeg("-i " + shellWord(source) +
                          " -frames:v 3 -c:v libx264 -pix_fmt yuv420p10le -colorspace bt2020nc " +
                          shellWord(wide)));
    expectFramesAsFfmpegShowsThem(wide, folder.file("bt2020.raw"));

    // A pause of six frame times after frame 9: times follow the stream, the count the frames.
    const auto variable = folder.file("variable.mp4");
    ASSERT_TRUE(runFfmpeg("-i " + shellWord(source) +
                          " -vf \"setpts='(N+6*gte(N,10))/30/TB'\" -frames:v 30 "
                          "-fps_mode passthrough -c:v libx264 -bf 2 " +
                          shellWord(variable)));
    VideoDecoder decoder(variable);
    ASSERT_EQ(decoder.frameCount(), 30);
    for (std::int64_t k = 0; k < 30; ++k) {
        EXPECT_EQ(readFrameNumber(decoder.frame(k)), k);
        EXPECT_NEAR(decoder.frameTime(k), (k + (k >= 10 ? 6 : 0)) / 30.0, 1e-6) << k;
    }

    // Two recordings put end to end, each restarting its clock: their frames follow one
    // another rather than interleave by time stamp, and the times run on across the join.
    const auto part = folder.file("part.ts");
    ASSERT_TRUE(runFfmpeg("-i " + shellWord(source) + " -frames:v 10 -c:v libx264 -bf 0 " +
                          shellWord(part)));
    const auto joined = folder.file("joined.ts");
    writeBytes(joined, readBytes(part) + readBytes(part));
    VideoDecoder twice(joined);
    // The packet cut at the join may be dropped as damaged.
    ASSERT_GE(twice.frameCount(), 19);
    int restarts = 0;
    for (std::int64_t k = 1; k < twice.frameCount(); ++k) {
        EXPECT_GT(twice.frameTime(k), twice.frameTime(k - 1)) << k;
        if (readFrameNumber(twice.frame(k)) < readFrameNumber(twice.frame(k - 1))) ++restarts;
    }
    EXPECT_EQ(restarts, 1);
}

// Sets the transformation matrix of the first track header of an MP4 file to a, b / c, d (each
// -1, 0 or 1), as a camera or phone writes it.
void setTrackMatrix(const std::string& path, int a, int b, int c, int d) {
    std::string bytes = readBytes(path);
    const auto tkhd = bytes.find("tkhd");
    ASSERT_NE(tkhd, std::string::npos);
    ASSERT_EQ(bytes[tkhd + 4], 0);  // version 0: 32-bit times
    const auto put = [&bytes](std::size_t at, int value) {
        const std::uint32_t fixed = static_cast<std::uint32_t>(value * 65536);
        for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(fixed >> (24 - 8 * i));
    };
    const std::size_t matrix = tkhd + 4 + 40;
    put(matrix, a);
    put(matrix + 4, b);
    put(matrix + 12, c);
    put(matrix + 16, d);
    writeBytes(path, bytes);
}

TEST(VideoDecoderTest, StoredRotationsAndFlipsComeOutUpright) {
    TempFolder folder;
    const auto plain = folder.file("plain.mp4");
    ASSERT_TRUE(runFfmpeg("-f lavfi -i testsrc2=size=64x48:rate=10 -frames:v 3 -c:v libx264 " +
                          shellWord(plain)));
    for (const char* degrees : {"90", "180", "270"}) {
        SCOPED_TRACE(degrees);
        const auto turned = folder.file(std::string("turned") + degrees + ".mp4");
        ASSERT_TRUE(runFfmpeg("-i " + shellWord(plain) + " -c copy -metadata:s:v:0 rotate=" +
                              degrees + " " + shellWord(turned)));
        const VideoDecoder decoder(turned);
        const bool quarter = std::string(degrees) != "180";
        EXPECT_EQ(decoder.displayWidth(), quarter ? 48 : 64);
        EXPECT_EQ(decoder.outputHeight(), quarter ? 64 : 48);
        expectFramesAsFfmpegShowsThem(turned, folder.file("turned.raw"));
    }
    struct Matrix {
        int a, b, c, d;
    };
    // Mirrored, and mirrored across the diagonal.
    for (const Matrix m : {Matrix{-1, 0, 0, 1}, Matrix{0, 1, 1, 0}}) {
        SCOPED_TRACE(std::to_string(m.a) + " " + std::to_string(m.b) + " " + std::to_string(m.c) +
                     " " + std::to_string(m.d));
        const auto flipped = folder.file("flipped.mp4");
        std::filesystem::copy_file(u8(plain), u8(flipped),
                                   std::filesystem::copy_options::overwrite_existing);
        setTrackMatrix(flipped, m.a, m.b, m.c, m.d);
        expectFramesAsFfmpegShowsThem(flipped, folder.file("flipped.raw"));
    }
    // Matroska keeps the older tag, degrees clockwise. (ffmpeg's own "rotate" option would
    // turn into a matrix, which Matroska does not store.)
    const auto tagged = folder.file("tagged.mkv");
    ASSERT_TRUE(runFfmpeg("-i " + shellWord(plain) + " -c copy -metadata:s:v:0 ROTATE=90 " +
                          shellWord(tagged)));
    expectFramesAsFfmpegShowsThem(tagged, folder.file("tagged.raw"), "-vf transpose=clock",
                                  "-autorotate 0");
}

// The full-size frames are those of a decoder without a box, whichever way the reading goes:
// forward (the next frame converted ahead), with and without them in turn, back and again.
TEST(VideoDecoderTest, FullSizeTooGivesTheFramesOfADecoderWithoutABox) {
    TempFolder folder;
    const auto plain = folder.file("plain.mp4");
    const auto turned = folder.file("turned.mp4");
    ASSERT_TRUE(runFfmpeg("-f lavfi -i testsrc2=size=64x48:rate=10 -frames:v 16 -c:v libx264 " +
                          shellWord(plain)));
    ASSERT_TRUE(runFfmpeg("-i " + shellWord(plain) + " -c copy -metadata:s:v:0 rotate=90 " +
                          shellWord(turned)));
    VideoDecoder unboxed(turned);
    DecoderOptions fitted;
    fitted.maxWidth = 640;
    fitted.maxHeight = 480;
    fitted.enlargeToFit = true;
    VideoDecoder boxed(turned, fitted);
    fitted.fullSizeToo = true;
    VideoDecoder both(turned, fitted);
    engine::PackedImage fullSize;
    EXPECT_THROW(boxed.frame(0, fullSize), std::logic_error);
    const auto expectBoth = [&](std::int64_t index) {
        SCOPED_TRACE(index);
        EXPECT_EQ(both.frame(index, fullSize), boxed.frame(index));
        EXPECT_EQ(fullSize, unboxed.frame(index));
    };
    for (int i = 0; i < 6; ++i) expectBoth(i);
    EXPECT_EQ(both.frame(6), boxed.frame(6));
    for (const int i : {7, 8, 3, 3, 15}) expectBoth(i);

    DecoderOptions plainSize;
    plainSize.fullSizeToo = true;
    VideoDecoder same(turned, plainSize);
    EXPECT_EQ(same.frame(2, fullSize), unboxed.frame(2));
    EXPECT_EQ(fullSize, unboxed.frame(2));
}

// Every damaged or foreign input ends in a MediaError of its kind whose message names the file
// in Japanese first, or in a shorter clip whose frames all decode, quickly.
class BadInputTest : public ::testing::Test {
  protected:
    void expectRejected(const std::string& path, MediaErrorKind kind, DecoderOptions options = {}) {
        SCOPED_TRACE(path);
        const auto start = std::chrono::steady_clock::now();
        try {
            VideoDecoder decoder(path, std::move(options));
            FAIL() << "opened " << path;
        } catch (const MediaError& e) {
            const std::string text = e.what();
            EXPECT_EQ(e.kind(), kind) << text;
            EXPECT_EQ(e.file(), path);
            const auto named = text.find(workfolder::quoted(path));
            ASSERT_NE(named, std::string::npos) << text;
            EXPECT_EQ(text.find(workfolder::quoted(path), named + 1), std::string::npos) << text;
            EXPECT_GT(static_cast<unsigned char>(text[0]), 0x7F) << text;  // Japanese first
            if (!e.detail().empty()) {
                const auto detail = text.find(e.detail());
                EXPECT_GT(detail, named) << text;
                EXPECT_EQ(text.find(e.detail(), detail + 1), std::string::npos) << text;
            }
        }
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
    }
    TempFolder folder;
};

TEST_F(BadInputTest, OnlyPlainFilesAreRead) {
    expectRejected(folder.file("nowhere.avi"), MediaErrorKind::NotFound);
    const auto empty = folder.file("empty.avi");
    writeBytes(empty, "");
    expectRejected(empty, MediaErrorKind::Damaged);
    std::filesystem::create_directory(u8(folder.file("folder.avi")));
    expectRejected(folder.file("folder.avi"), MediaErrorKind::NotAFile);
    // Reading either would wait for data that may never come.
    const auto fifo = folder.file("pipe.avi");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    expectRejected(fifo, MediaErrorKind::Fifo);
    expectRejected("/dev/zero", MediaErrorKind::Device);
}

TEST_F(BadInputTest, TextFileRenamedAvi) {
    const auto path = folder.file("notes.avi");
    std::string text;
    for (int i = 0; i < 200; ++i)
        text += "これは動画ではありません。 line " + std::to_string(i) + "\n";
    writeBytes(path, text);
    expectRejected(path, MediaErrorKind::Unsupported);
}

TEST_F(BadInputTest, AudioOnlyFile) {
    const auto path = folder.file("sound.wav");
    writeWav(path);
    expectRejected(path, MediaErrorKind::NotVideo);
    const auto renamed = folder.file("sound.avi");
    writeWav(renamed);
    expectRejected(renamed, MediaErrorKind::NotVideo);
}

TEST_F(BadInputTest, ClipWithoutFrames) {
    const auto path = folder.file("zero.avi");
    writeClip(path, clipOptions(32, 24), 0);
    expectRejected(path, MediaErrorKind::NoFrames);
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
    expectRejected(path, MediaErrorKind::TooLarge);
}

// Playlists, file lists and image patterns would read other files (and a live playlist waits
// for more forever); each is refused at once, whatever its name, and the files it names stay
// unread.
TEST_F(BadInputTest, FilesThatReadOtherFilesAreRefused) {
    const auto segment = folder.file("segment0.ts");
    ASSERT_TRUE(runFfmpeg("-f lavfi -i testsrc2=size=32x24:rate=10 -frames:v 10 -c:v mpeg2video " +
                          shellWord(segment)));
    DecoderOptions bounded;
    bounded.timeLimit = std::chrono::seconds(3);
    const auto live = folder.file("live.avi");
    writeBytes(live, "#EXTM3U\n#EXT-X-TARGETDURATION:1\n#EXTINF:1.0,\nsegment0.ts\n");
    expectRejected(live, MediaErrorKind::Refused, bounded);
    const auto list = folder.file("list.avi");
    writeBytes(list, "ffconcat version 1.0\nfile segment0.ts\nfile segment0.ts\n");
    expectRejected(list, MediaErrorKind::Refused, bounded);
    const auto pattern = folder.file("frame%03d.png");
    ASSERT_TRUE(runFfmpeg("-f lavfi -i testsrc2=size=32x24 -frames:v 1 " +
                          shellWord(folder.file("frame001.png"))));
    std::filesystem::copy_file(u8(folder.file("frame001.png")), u8(pattern));
    expectRejected(pattern, MediaErrorKind::Refused, bounded);
}

TEST_F(BadInputTest, TruncatedClipGivesFewerFramesThatAllDecode) {
    const auto path = folder.file("cut.avi");
    writeClip(path, clipOptions(160, 120, ClipCodec::Mpeg4, 10, 2), 30, Content::Numbered);
    const std::string bytes = readBytes(path);
    for (const double share : {0.8, 0.5}) {
        SCOPED_TRACE(share);
        const auto cut = folder.file("cut" + std::to_string(share) + ".avi");
        writeBytes(cut, bytes.substr(0, static_cast<std::size_t>(bytes.size() * share)));
        VideoDecoder decoder(cut);
        EXPECT_LT(decoder.frameCount(), 30);
        EXPECT_GT(decoder.frameCount(), 30 * share - 6);
        // B-frames cut off at the end leave gaps in the numbering near the cut; what is left
        // still comes in presentation order.
        int previous = -1;
        for (std::int64_t i = 0; i < decoder.frameCount(); ++i) {
            const int number = readFrameNumber(decoder.frame(i));
            EXPECT_GT(number, previous);
            previous = number;
        }
    }
    // Cut inside the headers: nothing to show.
    const auto stub = folder.file("stub.avi");
    writeBytes(stub, bytes.substr(0, 200));
    expectRejected(stub, MediaErrorKind::Damaged);
}

}  // namespace
}  // namespace strobo::workfolder::media
