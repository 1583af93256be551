// A newcomer's road: a clip of a dark ball on a white wall and an empty work folder. The windows
// offer the background, take every third frame, choose the minimum by themselves and also save
// the picture at the clip's size; the command line makes the same pictures. On a bright ball the
// choice is the maximum, byte for byte.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <algorithm>
#include <chrono>
#include <filesystem>

#include "cli_road.h"
#include "manual_scheduler.h"
#include "scripted_dialogs.h"
#include "windows/composition/composition_window.h"
#include "windows/contactsheet/contact_sheet_window.h"
#include "windows/extraction/playback_window.h"
#include "windows/main/main_window.h"
#include "windows/main/navigation.h"
#include "windows/main/window_set.h"
#include "windows/output/animation_window.h"
#include "windows/output/save_window.h"
#include "workfolder/file_names.h"
#include "workfolder/file_services.h"
#include "workfolder/media_test_clips.h"

namespace strobo::cli::testing {

namespace fs = std::filesystem;
namespace wf = workfolder;
namespace mt = workfolder::media::testing;
using engine::PackedImage;
using namespace std::chrono_literals;

namespace {

constexpr int kWidth = 160;
constexpr int kHeight = 120;
constexpr int kFrames = 36;
constexpr int kBallRow = 60;

// A ball of side 10 at x = 10 + 4 i on row kBallRow, over a wall.
void writeBallClip(const std::string& path, engine::PackedColor wall, engine::PackedColor ball) {
    wf::media::ClipWriter writer(path, mt::clipOptions(kWidth, kHeight));
    for (int i = 0; i < kFrames; ++i) {
        PackedImage frame(kWidth, kHeight, wall);
        for (int y = kBallRow - 5; y < kBallRow + 5; ++y)
            for (int x = 10 + 4 * i; x < 20 + 4 * i; ++x) frame.set(x, y, ball);
        writer.addFrame(frame);
    }
    writer.finish();
}

bool dark(engine::PackedColor c) {
    return (c & 0xFF) < 100;
}

// Separate dark images of the ball: the most dark runs on one row. The black edges of a made
// background, beside the shrunk video, are not looked at, and rows dark all along (the strip
// below the shrunk frame) hold no ball.
int ballImages(const PackedImage& picture) {
    constexpr int kEdge = 3;
    int most = 0;
    for (int y = 0; y < picture.height; ++y) {
        int runs = 0;
        int darkPixels = 0;
        for (int x = kEdge; x < picture.width - kEdge; ++x) {
            if (!dark(picture.at(x, y))) continue;
            ++darkPixels;
            if (x == kEdge || !dark(picture.at(x - 1, y))) ++runs;
        }
        if (darkPixels < picture.width - 2 * kEdge) most = std::max(most, runs);
    }
    return most;
}

QString q(const std::string& text) {
    return QString::fromStdString(text);
}

}  // namespace

TEST(NewcomerRoad, DarkBallOnWhiteFromAnEmptyFolderEveryThirdFrameInWindowsAndCommandLine) {
    mt::TempFolder temp;
    const std::string clip = temp.file("ball.avi");
    writeBallClip(clip, engine::packColor(250, 250, 250), engine::packColor(30, 30, 30));
    const std::string work = temp.file("work");
    const std::string out = temp.file("out");
    for (const auto& folder : {work, out}) fs::create_directories(mt::u8(folder));
    wf::FileServices files;
    strobo::testing::ScriptedDialogs dialogs;
    strobo::testing::ManualScheduler clock;
    {
        windows::WindowSet set;
        set.setDialogs(dialogs);
        set.form5().useScheduler(clock);
        windows::connectMainWindow(set);
        windows::MainWindow& form1 = set.form1();
        form1.show();

        // The offer after the extraction is declined: nothing is written.
        dialogs.openAnswers = {clip};
        dialogs.inputAnswers = {work};
        dialogs.choiceAnswers = {std::nullopt, 0};
        form1.Command1->click();
        ASSERT_EQ(dialogs.choiceLists.size(), 1u);
        EXPECT_EQ(dialogs.choiceLists[0],
                  (std::vector<std::string>{"動画から自動で作る", "最初のフレーム", "黒"}));
        EXPECT_FALSE(files.fileExists(wf::baseStrobeImage(work)));
        EXPECT_FALSE(files.fileExists(wf::pristineBaseImage(work)));

        // Twenty-eight frames, every third: ten images. 自動 is the default.
        form1.Command2->click();
        windows::ContactSheetWindow& form3 = set.form3();
        EXPECT_EQ(form3.operationBox->currentText(), "自動");
        EXPECT_EQ(form3.intervalBox->value(), 1);
        form3.Text1->setText("0");
        form3.Text2->setText("27");
        form3.intervalBox->setValue(3);
        form3.Command1->click();

        // The build asks again; the background made from the clip is in both files.
        windows::CompositionWindow& composition = set.composition();
        composition.Command1->click();
        ASSERT_EQ(dialogs.choiceLists.size(), 2u);
        const PackedImage base = files.loadPicture(wf::baseStrobeImage(work));
        EXPECT_EQ(base.width, 400);
        EXPECT_EQ(base.height, 300);
        EXPECT_EQ(mt::readBytes(wf::pristineBaseImage(work)),
                  mt::readBytes(wf::baseStrobeImage(work)));
        EXPECT_EQ(ballImages(base), 0);
        ASSERT_TRUE(composition.Command2->isVisible());
        EXPECT_TRUE(composition.operationNote->isVisible());
        EXPECT_EQ(composition.operationNote->text(), "自動: 暗い物体 → 最小値");
        EXPECT_EQ(ballImages(files.loadPicture(wf::strobeFile(work, 10))), 10);
        EXPECT_FALSE(files.fileExists(wf::strobeFile(work, 11)));
        composition.Command2->click();

        // The replay runs through strobe files 0 .. 9 and on, never meeting a missing one.
        form1.Command5->click();
        clock.advance(1000ms + 12 * 300ms);
        EXPECT_TRUE(set.form5().isPlaying());
        EXPECT_TRUE(set.form5().noteText().isEmpty()) << set.form5().noteText().toStdString();
        set.form5().Command2->click();

        form1.Command3->click();
        set.form4().nativeSizeBox->setChecked(true);
        dialogs.saveAnswers = {out + "/win.bmp"};
        set.form4().Command1->click();
        EXPECT_EQ(set.form4().Command1->text(), "完了しました。");
        set.form4().Command2->click();
    }
    ASSERT_EQ(dialogs.messages.size(), 4u);
    EXPECT_EQ(dialogs.messages[0], "出力が完了しました");
    EXPECT_NE(dialogs.messages[1].find("0 番から 27 番までの 3 枚ごと、10 枚"), std::string::npos);
    EXPECT_NE(dialogs.messages[2].find(wf::pristineBaseImage(work)), std::string::npos);
    EXPECT_NE(dialogs.messages[3].find(out + "/win_full.bmp"), std::string::npos);
    EXPECT_FALSE(files.fileExists(out + "/win11.bmp"));
    const PackedImage full = files.loadPicture(out + "/win_full.bmp");
    EXPECT_EQ(full.width, kWidth);
    EXPECT_EQ(full.height, kHeight);
    EXPECT_EQ(ballImages(full), 10);

    // The command line makes the same series from the clip, and builds and saves it the same way
    // in a folder with the same background.
    const StroboRun make = runStrobo({"make", q(clip), "--first", "0", "--last", "27", "--every",
                                      "3", "--background", "median", "-o", q(out + "/make.bmp")});
    ASSERT_EQ(make.exitCode, 0) << make.err;
    EXPECT_NE(make.out.find("暗い物体"), std::string::npos) << make.out;
    const std::string cliWork = temp.file("cli");
    fs::create_directories(mt::u8(cliWork));
    fs::copy_file(mt::u8(wf::baseStrobeImage(work)), mt::u8(wf::baseStrobeImage(cliWork)));
    ASSERT_EQ(runStrobo({"extract", q(clip), q(cliWork)}).exitCode, 0);
    const StroboRun build = runStrobo({"build", q(cliWork), "0", "27", "--every", "3"});
    ASSERT_EQ(build.exitCode, 0) << build.err;
    const StroboRun save =
        runStrobo({"save", q(cliWork), "0", "27", q(out + "/cli.bmp"), "--every", "3"});
    ASSERT_EQ(save.exitCode, 0) << save.err;
    for (int k = 1; k <= 10; ++k) {
        const std::string window = mt::readBytes(out + "/win" + std::to_string(k) + ".bmp");
        ASSERT_FALSE(window.empty()) << k;
        EXPECT_EQ(mt::readBytes(out + "/make" + std::to_string(k) + ".bmp"), window) << k;
        EXPECT_EQ(mt::readBytes(out + "/cli" + std::to_string(k) + ".bmp"), window) << k;
    }
}

TEST(NewcomerRoad, AutomaticChoiceOnABrightBallIsTheMaximumByteForByte) {
    mt::TempFolder temp;
    const std::string clip = temp.file("bright.avi");
    writeBallClip(clip, engine::packColor(40, 50, 60), engine::packColor(250, 240, 120));
    for (const char* size : {"window", "native"}) {
        SCOPED_TRACE(size);
        const std::string automatic = temp.file(std::string("auto-") + size + ".bmp");
        const std::string maximum = temp.file(std::string("max-") + size + ".bmp");
        const StroboRun a = runStrobo(
            {"make", q(clip), "--first", "2", "--last", "9", "--size", size, "-o", q(automatic)});
        ASSERT_EQ(a.exitCode, 0) << a.err;
        EXPECT_NE(a.out.find("明るい物体"), std::string::npos) << a.out;
        ASSERT_EQ(runStrobo({"make", q(clip), "--first", "2", "--last", "9", "--size", size, "--op",
                             "max", "-o", q(maximum)})
                      .exitCode,
                  0);
        for (int k = 1; k <= 8; ++k) {
            const std::string made = mt::readBytes(wf::savedPicture(wf::savePrefix(automatic), k));
            ASSERT_FALSE(made.empty()) << k;
            EXPECT_EQ(made, mt::readBytes(wf::savedPicture(wf::savePrefix(maximum), k))) << k;
        }
    }
}

}  // namespace strobo::cli::testing
