// The whole road clicked through the windows, offscreen, with the dialogs answered by the test:
// extraction, contact sheet, build, finish, replay, save, reset. It must save the very bytes the
// command line's road saves, and leave the work folder as it found it.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QProcessEnvironment>
#include <QPushButton>
#include <QTest>
#include <algorithm>
#include <filesystem>

#include "cli_road.h"
#include "scripted_dialogs.h"
#include "windows/composition/composition_window.h"
#include "windows/contactsheet/contact_sheet_window.h"
#include "windows/extraction/playback_window.h"
#include "windows/main/main_window.h"
#include "windows/main/navigation.h"
#include "windows/main/window_set.h"
#include "windows/output/animation_window.h"
#include "windows/output/save_extras.h"
#include "windows/output/save_window.h"
#include "workfolder/file_names.h"
#include "workfolder/file_services.h"
#include "workfolder/media/video_decoder.h"
#include "workfolder/media_test_clips.h"

namespace strobo::cli::testing {

namespace fs = std::filesystem;
namespace wf = workfolder;
namespace mt = workfolder::media::testing;
using engine::PackedImage;
using windows::WindowSet;

namespace {

void prepareWorkFolder(wf::FileServices& services, const std::string& folder) {
    fs::create_directories(mt::u8(folder));
    PackedImage base(400, 300);
    for (int y = 0; y < 300; ++y)
        for (int x = 0; x < 400; ++x) base.set(x, y, engine::packColor(x % 51, y % 37, 60));
    services.savePicture(base, wf::baseStrobeImage(folder));
    services.savePicture(PackedImage(400, 300, engine::packColor(1, 2, 3)),
                         wf::pristineBaseImage(folder));
}

}  // namespace

TEST(WholeRoad, WindowsAndCommandLineSaveTheSameBytesAndLeaveTheFolderAsFound) {
    mt::TempFolder temp;
    const std::string clip = temp.file("ボール 投げ.avi");
    mt::writeClip(clip, mt::clipOptions(160, 120), 9);
    const std::string windowsWork = temp.file("窓の作業");
    const std::string cliWork = temp.file("cli-work");
    const std::string out = temp.file("out");
    fs::create_directories(mt::u8(out));

    wf::FileServices services;
    strobo::testing::ScriptedDialogs dialogs;
    prepareWorkFolder(services, windowsWork);
    prepareWorkFolder(services, cliWork);
    const auto windowsBefore = folderContents(windowsWork);
    const auto cliBefore = folderContents(cliWork);

    {
        WindowSet set;
        set.setDialogs(dialogs);
        windows::connectMainWindow(set);
        windows::MainWindow& form1 = set.form1();
        form1.show();

        dialogs.openAnswers = {clip};
        dialogs.inputAnswers = {windowsWork};
        form1.Command1->click();
        ASSERT_EQ(set.form2().Text1->text(), "9");
        EXPECT_FALSE(form1.Command1->isEnabled());

        form1.Command2->click();
        ASSERT_TRUE(set.form3().isVisible());
        // Thumbnail k shows frame file k + 1, the clip's frame k + 1 of 30 a second.
        const auto* time = set.form3().findChild<QLabel*>("Time_2");
        ASSERT_NE(time, nullptr);
        EXPECT_EQ(time->text(), "0.100秒");
        set.form3().Text1->setText("2");
        set.form3().Text2->setText("5");
        set.form3().Command1->click();
        ASSERT_TRUE(set.composition().isVisible());
        set.composition().Command1->click();
        ASSERT_TRUE(set.composition().Command2->isVisible());
        const auto* step = set.composition().findChild<QLabel*>("TimeStepLabel");
        ASSERT_NE(step, nullptr);
        EXPECT_TRUE(step->isVisible());
        EXPECT_EQ(step->text(), "Δt = 0.0333 秒");
        set.composition().Command2->click();
        EXPECT_FALSE(form1.Command2->isEnabled());

        form1.Command5->click();
        EXPECT_TRUE(set.form5().isPlaying());
        set.form5().Command1->click();
        EXPECT_EQ(set.form5().Command1->text(), "もう一度見る");
        set.form5().Command2->click();
        EXPECT_TRUE(form1.Command5->isEnabled()) << "stopped before a whole replay";

        form1.Command3->click();
        dialogs.saveAnswers = {out + "/win.bmp"};
        set.form4().extras().csv->setChecked(true);
        set.form4().extras().gif->setChecked(true);
        set.form4().Command1->click();
        EXPECT_EQ(set.form4().Command1->text(), "完了しました。");
        set.form4().Command2->click();
        EXPECT_FALSE(form1.Command3->isEnabled());
        EXPECT_TRUE(form1.isVisible());
    }
    // Only the completion of the extraction and the range understood were said: no failure on the
    // way.
    ASSERT_EQ(dialogs.messages.size(), 2u) << dialogs.messages.back();
    EXPECT_EQ(dialogs.messages[0], "出力が完了しました");
    EXPECT_NE(dialogs.messages[1].find("2 番から 5 番まで、4 枚"), std::string::npos);

    // The reset restored the background from its pristine copy; everything else is as found.
    auto expectedWindows = windowsBefore;
    expectedWindows["Sstrobe.bmp"] = windowsBefore.at("Stest0.bmp");
    EXPECT_EQ(folderContents(windowsWork), expectedWindows);

    const auto cliSaved = cliRoadSavedPictures(clip, cliWork, "2", "5", out + "/cli.bmp");
    EXPECT_EQ(folderContents(cliWork), cliBefore);
    ASSERT_EQ(cliSaved.size(), 4u);
    const auto saved = folderContents(out);
    // The table beside the pictures has one line for each of the four images, and the GIF one
    // picture each.
    ASSERT_TRUE(saved.count("win.csv"));
    EXPECT_EQ(std::count(saved.at("win.csv").begin(), saved.at("win.csv").end(), '\n'), 5);
    EXPECT_EQ(workfolder::media::VideoDecoder(out + "/win.gif").frameCount(), 4);
    for (int k = 1; k <= 4; ++k) {
        const std::string win = "win" + std::to_string(k) + ".bmp";
        const std::string cli = "cli" + std::to_string(k) + ".bmp";
        ASSERT_TRUE(saved.count(win)) << win;
        ASSERT_TRUE(cliSaved.count(cli)) << cli;
        EXPECT_TRUE(saved.at(win) == cliSaved.at(cli)) << win << " differs from " << cli;
    }
}

}  // namespace strobo::cli::testing

namespace strobo::cli::testing {

TEST(NoDisplay, OpeningTheWindowsWithoutADisplaySaysWhatToDoInsteadOfAborting) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        environment.remove(QString::fromLatin1(name));
    }
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(STROBO_EXECUTABLE), {});
    ASSERT_TRUE(process.waitForFinished(30000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 1);
    const QString err = QString::fromUtf8(process.readAllStandardError());
    EXPECT_TRUE(err.contains(QStringLiteral("strobo demo"))) << err.toStdString();
    EXPECT_TRUE(err.contains(QStringLiteral("画面"))) << err.toStdString();
}

}  // namespace strobo::cli::testing
