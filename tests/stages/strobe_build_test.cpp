#include "stages/composition/strobe_build.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "engine/composition.h"
#include "engine/scaling.h"
#include "stages/extraction/media_playback.h"
#include "stages/make/make_strobe.h"
#include "workfolder/file_names.h"
#include "workfolder/file_services.h"
#include "workfolder/media_test_clips.h"

namespace strobo::stages {

namespace wf = workfolder;
namespace mt = workfolder::media::testing;
using engine::PackedImage;

namespace {

// A frame of the playback window's size with a bright square at a place that moves with n.
PackedImage frameWithBall(int n, int width = 653, int height = 480) {
    PackedImage frame(width, height, engine::packColor(20, 30, 40));
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 40; ++x) {
            const int px = 30 + n * 45 + x;
            const int py = 60 + n * 20 + y;
            if (frame.contains(px, py)) frame.set(px, py, engine::packColor(250, 200 - n, 10 * n));
        }
    return frame;
}

PackedImage background() {
    PackedImage base(kStrobeWidth, kStrobeHeight);
    for (int y = 0; y < base.height; ++y)
        for (int x = 0; x < base.width; ++x) base.set(x, y, engine::packColor(x % 64, y % 64, 90));
    return base;
}

// One step computed the straightforward way: the column-by-column composition over device
// images, C starting as the picture box's back colour and kept between steps.
PackedImage referenceStep(const PackedImage& a, const PackedImage& frame, PackedImage& c) {
    const int w = static_cast<int>(std::nearbyint(0.62 * frame.width));
    const int h = static_cast<int>(std::nearbyint(0.62 * frame.height));
    PackedImage b = engine::scaleImage(frame, w, h);
    PackedImage aCopy = a;
    engine::PackedImageDevice da(aCopy), db(b), dc(c);
    engine::ComposeImages(da, db, dc, a.width, a.height, engine::kOperationMax);
    PackedImage out(kStrobeWidth, kStrobeHeight);
    for (int y = 0; y < kStrobeHeight; ++y)
        for (int x = 0; x < kStrobeWidth; ++x) out.set(x, y, c.at(x, y));
    return out;
}

class StrobeBuildTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_folder = m_dir.path().toStdString();
        m_files.savePicture(background(), wf::baseStrobeImage(m_folder));
        for (int n = 1; n <= 9; ++n)
            m_files.savePicture(frameWithBall(n), wf::frameFile(m_folder, n));
    }
    std::string strobe(int n) const { return wf::strobeFile(m_folder, n); }
    QByteArray bytes(const std::string& path) const {
        QFile f(QString::fromStdString(path));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    QTemporaryDir m_dir;
    std::string m_folder;
    wf::FileServices m_files;
};

class RecordingView : public StrobeBuildView {
  public:
    void stepStarted() override { ++openSteps; }
    void showComposed(const PackedImage& composed) override { shown.push_back(composed); }
    void stepEnded() override { --openSteps; }
    std::vector<PackedImage> shown;
    int openSteps = 0;
};

}  // namespace

TEST(ScaledFrameSize, SixtyTwoPercentRoundsToNearest) {
    EXPECT_EQ(scaledFrameSize(640, 480, kScalePercent), std::make_pair(397, 298));
    EXPECT_EQ(scaledFrameSize(653, 480, kScalePercent), std::make_pair(405, 298));
    EXPECT_EQ(scaledFrameSize(0, 0, kScalePercent), std::make_pair(0, 0));
}

TEST_F(StrobeBuildTest, RangeThreeToFiveCopiesTheBaseAndAddsFramesFourToSix) {
    StrobeBuild build(m_files, m_folder);
    RecordingView view;
    const BuildResult report = build.run({3, 5}, &view);
    ASSERT_TRUE(report.completed);
    EXPECT_EQ(report.written,
              (std::vector<std::string>{strobe(3), strobe(4), strobe(5), strobe(6)}));
    EXPECT_EQ(bytes(strobe(3)), bytes(wf::baseStrobeImage(m_folder)));
    EXPECT_FALSE(m_files.fileExists(strobe(2)));
    EXPECT_FALSE(m_files.fileExists(strobe(7)));
    EXPECT_EQ(view.shown.size(), 3u);
    EXPECT_EQ(view.openSteps, 0);

    PackedImage c(kComposedSurfaceWidth, kComposedSurfaceHeight, kComposedBackColor);
    PackedImage expected = background();
    for (int i = 4; i <= 6; ++i) {
        expected = referenceStep(expected, frameWithBall(i), c);
        const PackedImage saved = m_files.loadPicture(strobe(i));
        EXPECT_EQ(saved.width, kStrobeWidth);
        EXPECT_EQ(saved.height, kStrobeHeight);
        EXPECT_EQ(saved, expected) << "strobe file " << i;
    }
}

TEST_F(StrobeBuildTest, LastBeforeFirstOnlyCopiesTheBase) {
    StrobeBuild build(m_files, m_folder);
    const BuildResult report = build.run({5, 3});
    EXPECT_TRUE(report.completed);
    EXPECT_EQ(report.written, std::vector<std::string>{strobe(5)});
    EXPECT_FALSE(m_files.fileExists(strobe(6)));
}

TEST_F(StrobeBuildTest, WholeColourMaximumKeepsTheLargerPackedValue) {
    // Red 255 packs to 255, blue 1 to 65536: the blue pixel wins although it is darker.
    PackedImage base(kStrobeWidth, kStrobeHeight, engine::packColor(255, 0, 0));
    m_files.savePicture(base, wf::baseStrobeImage(m_folder));
    m_files.savePicture(PackedImage(100, 100, engine::packColor(0, 0, 1)),
                        wf::frameFile(m_folder, 2));
    StrobeBuild build(m_files, m_folder);
    ASSERT_TRUE(build.run({1, 1}).completed);
    const PackedImage saved = m_files.loadPicture(strobe(2));
    EXPECT_EQ(saved.at(10, 10), engine::packColor(0, 0, 1));
    EXPECT_EQ(saved.at(61, 61), engine::packColor(0, 0, 1));  // 62 x 62 covers 0..61
    EXPECT_EQ(saved.at(62, 62), engine::packColor(255, 0, 0));
}

TEST_F(StrobeBuildTest, MissingBaseStopsBeforeWritingAnything) {
    m_files.deleteFile(wf::baseStrobeImage(m_folder));
    StrobeBuild build(m_files, m_folder);
    const BuildResult report = build.run({3, 5});
    EXPECT_FALSE(report.completed);
    ASSERT_TRUE(report.failure);
    EXPECT_EQ(report.failure->kind, wf::FailureKind::BackgroundMissing);
    EXPECT_EQ(report.failure->file, wf::baseStrobeImage(m_folder));
    EXPECT_TRUE(report.written.empty());
    EXPECT_FALSE(m_files.fileExists(strobe(3)));
}

TEST_F(StrobeBuildTest, MissingFrameStopsAndKeepsWhatWasWritten) {
    m_files.deleteFile(wf::frameFile(m_folder, 6));
    StrobeBuild build(m_files, m_folder);
    RecordingView view;
    const BuildResult report = build.run({3, 7}, &view);
    EXPECT_FALSE(report.completed);
    ASSERT_TRUE(report.failure);
    EXPECT_NE(wf::japaneseText(*report.failure).find(wf::frameFile(m_folder, 6)),
              std::string::npos);
    EXPECT_TRUE(m_files.fileExists(strobe(5)));
    EXPECT_FALSE(m_files.fileExists(strobe(6)));
    EXPECT_EQ(view.openSteps, 0) << "every step the window was told of has ended";
    // Once the frame is back the same build can run again.
    m_files.savePicture(frameWithBall(6), wf::frameFile(m_folder, 6));
    EXPECT_TRUE(build.run({3, 7}).completed);
}

TEST_F(StrobeBuildTest, RangeBeyondIntegersIsReportedNotCrashed) {
    StrobeBuild build(m_files, m_folder);
    const BuildResult report = build.run({3, 1e20});
    EXPECT_FALSE(report.completed);
    ASSERT_TRUE(report.failure);
    EXPECT_EQ(report.failure->kind, wf::FailureKind::NumberOutOfRange);
}

TEST_F(StrobeBuildTest, SmallerBaseLimitsTheComposedArea) {
    m_files.savePicture(PackedImage(100, 80, engine::packColor(1, 1, 1)),
                        wf::baseStrobeImage(m_folder));
    StrobeBuild build(m_files, m_folder);
    ASSERT_TRUE(build.run({1, 1}).completed);
    const PackedImage saved = m_files.loadPicture(strobe(2));
    EXPECT_EQ(saved.width, kStrobeWidth);
    EXPECT_EQ(saved.at(150, 150), kComposedBackColor);
}

TEST_F(StrobeBuildTest, FinishDeletesFramesAndSkipsThoseAlreadyGone) {
    m_files.deleteFile(wf::frameFile(m_folder, 4));
    const FinishResult report = deleteFrameFiles(m_files, m_folder, 12);
    EXPECT_EQ(report.deleted, 8);
    EXPECT_EQ(report.missing, 4);  // 4, and 10 to 12 never existed
    EXPECT_TRUE(report.failures.empty());
    for (int n = 1; n <= 9; ++n) EXPECT_FALSE(m_files.fileExists(wf::frameFile(m_folder, n)));
    EXPECT_TRUE(m_files.fileExists(wf::baseStrobeImage(m_folder)));
}

// No pixel of a strobe picture comes from beside the video (the playback picture's border, its
// back colour, the empty space beside a video of another shape than the window's), whatever the
// operation, on the windows' road (extraction and build) and on make's. The clips are black with
// a moving blue square and the base is black, so everything the video gives has red and green
// near 0, while the window's greys, and what they mix into, have all three channels well above.
TEST(CleanPictureTest, StrobePicturesHoldNothingFromBesideTheVideo) {
    const auto fromBeside = [](const PackedImage& picture) {
        int count = 0;
        for (const engine::PackedColor p : picture.pixels) {
            count += (p & 255) > 4 && ((p >> 8) & 255) > 4 && ((p >> 16) & 255) > 4;
        }
        return count;
    };
    mt::TempFolder temp;
    wf::FileServices files;
    for (const auto& [width, height] : {std::pair(320, 240), std::pair(1280, 720)}) {
        const std::string name = std::to_string(width) + "x" + std::to_string(height);
        const std::string clip = temp.file(name + ".avi");
        {
            wf::media::ClipWriter writer(clip, mt::clipOptions(width, height));
            for (int i = 0; i < 4; ++i) {
                PackedImage frame(width, height, 0);
                for (int y = height / 3; y < height / 2; ++y)
                    for (int x = width / 8 * (i + 1); x < width / 8 * (i + 2); ++x)
                        frame.set(x, y, engine::packColor(0, 0, 255));
                writer.addFrame(frame);
            }
            writer.finish();
        }
        const std::string folder = temp.file(name);
        files.createFolder(folder);
        files.savePicture(PackedImage(kStrobeWidth, kStrobeHeight, 0), wf::baseStrobeImage(folder));
        ASSERT_TRUE(extractClip(clip, folder, files).completed) << name;
        for (const engine::CompositionOperation op :
             {engine::kOperationMax, engine::kOperationAdd}) {
            StrobeBuild build(files, folder);
            build.setOperation(op);
            ASSERT_TRUE(build.run({0, 2}).completed) << name;
            MakeRequest request;
            request.clip = clip;
            request.last = 2;
            request.operation = op;
            request.output = temp.file(name + "-made.bmp");
            const MakeResult made = makeStrobe(request);
            ASSERT_FALSE(made.failure) << name << ": " << wf::japaneseText(*made.failure);
            ASSERT_EQ(made.saved.size(), 3u);
            for (int k = 1; k <= 3; ++k) {
                const PackedImage built = files.loadPicture(wf::strobeFile(folder, k));
                EXPECT_EQ(fromBeside(built), 0) << name << " op " << op << " strobe file " << k;
                EXPECT_EQ(files.loadPicture(made.saved[k - 1]), built)
                    << name << " op " << op << " picture " << k;
            }
            const PackedImage last = files.loadPicture(wf::strobeFile(folder, 3));
            EXPECT_TRUE(std::any_of(last.pixels.begin(), last.pixels.end(),
                                    [](engine::PackedColor p) { return (p >> 16) > 200; }))
                << name << ": the squares are composed";
        }
    }
}

}  // namespace strobo::stages
