#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <string>

#include "manual_scheduler.h"
#include "scripted_dialogs.h"
#include "windows/contactsheet/contact_sheet_window.h"
#include "windows/main/main_window.h"
#include "windows/main/picture_box.h"
#include "windows/main/window_set.h"
#include "windows/output/animation_window.h"
#include "windows/output/output_flow.h"
#include "windows/output/save_window.h"
#include "workfolder/file_names.h"
#include "workfolder/file_services.h"

namespace strobo::windows {

namespace wf = workfolder;

namespace {

using namespace std::chrono_literals;

bool exists(const std::string& path) {
    return QFile::exists(QString::fromStdString(path));
}

// The windows over a temporary work folder: strobe file n is a small picture whose red value is n.
class OutputWindowsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        m_work = m_dir.path().toStdString() + "/work";
        m_out = m_dir.path().toStdString() + "/out";
        QDir().mkpath(QString::fromStdString(m_work));
        QDir().mkpath(QString::fromStdString(m_out));
        m_files.savePicture(engine::PackedImage(4, 4, 0), wf::baseStrobeImage(m_work));
        m_files.savePicture(engine::PackedImage(4, 4, engine::packColor(9, 9, 9)),
                            wf::pristineBaseImage(m_work));
        chooseWorkFolder(m_work);
        setRange("3", "5");
        m_windows.setDialogs(m_dialogs);
        m_windows.form5().useScheduler(m_clock);
    }

    void makeSeries(int first, int last) {
        for (int n = first; n <= last; ++n) {
            m_files.savePicture(engine::PackedImage(4, 4, engine::packColor(n, 0, 0)),
                                wf::strobeFile(m_work, n));
        }
    }
    // What an extraction leaves in form1.
    void chooseWorkFolder(const std::string& folder) {
        m_windows.form1().workFolder = folder;
        m_windows.form1().Text1->setText(QString::fromStdString(folder));
    }
    void setRange(const char* first, const char* last) {
        m_windows.form3().Text1->setText(QString::fromUtf8(first));
        m_windows.form3().Text2->setText(QString::fromUtf8(last));
    }
    // The strobe number of the picture Form5 shows, -1 for none.
    int shownNumber() {
        const QImage& picture = m_windows.form5().Picture1->picture();
        return picture.isNull() ? -1 : qRed(picture.pixel(0, 0));
    }

    QTemporaryDir m_dir;
    std::string m_work;
    std::string m_out;
    wf::FileServices m_files;
    strobo::testing::ScriptedDialogs m_dialogs;
    // The replays' clock, moved by hand; it outlives the windows.
    strobo::testing::ManualScheduler m_clock;
    WindowSet m_windows;
};

TEST_F(OutputWindowsTest, SaveCompletesTheButtonOnlyAfterASuccessfulSave) {
    SaveWindow& form4 = m_windows.form4();
    form4.show();
    makeSeries(3, 6);

    // Cancelled, then a gap in the series: the button stays as it was.
    form4.Command1->click();
    QFile::remove(QString::fromStdString(wf::strobeFile(m_work, 5)));
    m_dialogs.saveAnswers.push_back(m_out + "/run.bmp");
    form4.Command1->click();
    EXPECT_TRUE(form4.Command1->isEnabled());
    EXPECT_EQ(form4.Command1->text(), QStringLiteral("ファイルを保存する"));
    EXPECT_EQ(m_dialogs.messages.size(), 1u);
    EXPECT_TRUE(exists(wf::strobeFile(m_work, 3)));
    ASSERT_EQ(m_dialogs.dialogRequests.size(), 2u);
    EXPECT_EQ(m_dialogs.dialogRequests[0].initialFolder, QDir::homePath().toStdString());
    EXPECT_EQ(m_dialogs.waitCursorDepth, 0);

    makeSeries(5, 5);
    m_dialogs.saveAnswers.push_back(m_out + "/run.bmp");
    form4.Command1->click();
    EXPECT_FALSE(form4.Command1->isEnabled());
    EXPECT_EQ(form4.Command1->text(), QStringLiteral("完了しました。"));
    EXPECT_TRUE(exists(m_out + "/run1.bmp"));
    EXPECT_TRUE(exists(m_out + "/run3.bmp"));
    EXPECT_FALSE(exists(m_out + "/run4.bmp"));
    for (int n = 3; n <= 6; ++n) EXPECT_FALSE(exists(wf::strobeFile(m_work, n)));
    EXPECT_TRUE(form4.isVisible());
    EXPECT_FALSE(m_windows.form1().Command3->isEnabled()) << "the save is done for the run";
}

TEST_F(OutputWindowsTest, NothingToSaveOrANameOnTheWorkFilesIsSaidAndNeverCompletes) {
    makeSeries(3, 6);
    SaveWindow& form4 = m_windows.form4();
    form4.show();
    setRange("20", "10");
    form4.Command1->click();
    ASSERT_EQ(m_dialogs.messages.size(), 1u);
    EXPECT_NE(m_dialogs.messages[0].find("20 番から 10 番"), std::string::npos);
    EXPECT_TRUE(m_dialogs.dialogRequests.empty()) << "no name is asked for nothing";

    setRange("3", "5");
    m_dialogs.saveAnswers.push_back(m_work + "/test.bmp");
    form4.Command1->click();
    ASSERT_EQ(m_dialogs.messages.size(), 2u);
    EXPECT_NE(m_dialogs.messages[1].find(m_work + "/test1.bmp"), std::string::npos);
    EXPECT_TRUE(form4.Command1->isEnabled());
    EXPECT_EQ(form4.Command1->text(), QStringLiteral("ファイルを保存する"));
    for (int n = 3; n <= 6; ++n) EXPECT_TRUE(exists(wf::strobeFile(m_work, n)));
    EXPECT_TRUE(m_windows.form1().Command3->isEnabled());
}

TEST_F(OutputWindowsTest, BeforeAnySeriesTheOutputWindowsRefuseAndLaterUseTheFolderOfTheMoment) {
    chooseWorkFolder("");
    // Shown once before any extraction, as a user could with the close box, and left.
    m_windows.form4().show();
    m_windows.form4().close();
    for (void (*open)(WindowSet&) : {openSaveWindow, openAnimation}) open(m_windows);
    ASSERT_EQ(m_dialogs.messages.size(), 2u);
    for (const std::string& message : m_dialogs.messages)
        EXPECT_EQ(message.find("Text1"), std::string::npos) << message;
    EXPECT_FALSE(m_windows.form4().isVisible());
    EXPECT_FALSE(m_windows.form5().isVisible());
    EXPECT_TRUE(m_windows.form1().isVisible());

    // Extracted and built, but the series not there: refused with its real name.
    chooseWorkFolder(m_work);
    openAnimation(m_windows);
    ASSERT_EQ(m_dialogs.messages.size(), 3u);
    EXPECT_NE(m_dialogs.messages[2].find(wf::strobeFile(m_work, 4)), std::string::npos);

    makeSeries(3, 6);
    openSaveWindow(m_windows);
    EXPECT_TRUE(m_windows.form4().isVisible());
    m_dialogs.saveAnswers.push_back(m_out + "/run.bmp");
    m_windows.form4().Command1->click();
    EXPECT_TRUE(exists(m_out + "/run3.bmp"));
    EXPECT_FALSE(exists(wf::strobeFile(m_work, 6)));
}

TEST_F(OutputWindowsTest, ResetRestoresTheBaseImageAndReturnsToTheMainWindow) {
    SaveWindow& form4 = m_windows.form4();
    MainWindow& form1 = m_windows.form1();
    form1.hide();
    form4.show();
    form4.Command2->click();
    EXPECT_EQ(m_files.loadPicture(wf::baseStrobeImage(m_work)).at(0, 0),
              engine::packColor(9, 9, 9));
    EXPECT_FALSE(form4.isVisible());
    EXPECT_TRUE(form1.Command3->isEnabled()) << "left without a save, the save stays open";
    EXPECT_TRUE(form1.isVisible());
}

TEST_F(OutputWindowsTest, ResetWithoutThePristineImageStaysInTheWindow) {
    QFile::remove(QString::fromStdString(wf::pristineBaseImage(m_work)));
    SaveWindow& form4 = m_windows.form4();
    MainWindow& form1 = m_windows.form1();
    form1.hide();
    form4.show();
    form4.Command2->click();
    EXPECT_EQ(m_dialogs.messages.size(), 1u);
    EXPECT_TRUE(form4.isVisible());
    EXPECT_TRUE(form1.Command3->isEnabled());
    EXPECT_FALSE(form1.isVisible());
}

TEST_F(OutputWindowsTest, PlaybackShowsTheSeriesInPicture1AtItsStoredSize) {
    makeSeries(3, 6);
    AnimationWindow& form5 = m_windows.form5();
    const QSize stored = form5.Picture1->size();
    form5.show();
    form5.startPlayback();
    EXPECT_TRUE(form5.isPlaying());
    EXPECT_EQ(form5.Command1->text(), QStringLiteral("停止"));
    m_clock.advance(999ms);
    EXPECT_EQ(shownNumber(), -1);
    m_clock.advance(1ms);
    EXPECT_EQ(shownNumber(), 3);
    m_clock.advance(300ms);
    EXPECT_EQ(shownNumber(), 4);
    m_clock.advance(300ms);
    EXPECT_EQ(shownNumber(), 5);
    // The next replay begins one interval after the previous one.
    m_clock.advance(400ms);
    EXPECT_EQ(shownNumber(), 3);
    EXPECT_EQ(form5.Picture1->size(), stored);
}

TEST_F(OutputWindowsTest, ClickDuringAReplayLetsItFinishThenStops) {
    makeSeries(3, 6);
    AnimationWindow& form5 = m_windows.form5();
    form5.show();
    form5.startPlayback();
    m_clock.advance(1000ms);
    ASSERT_TRUE(form5.isReplaying());
    ASSERT_EQ(shownNumber(), 3);

    // The click is handled at once, while the replay goes on: the window stays responsive.
    form5.Command1->click();
    EXPECT_EQ(form5.Command1->text(), QStringLiteral("もう一度見る"));
    EXPECT_TRUE(form5.isReplaying());
    m_clock.advance(900ms);
    EXPECT_FALSE(form5.isReplaying());
    EXPECT_EQ(shownNumber(), 5);
    EXPECT_FALSE(m_clock.hasPending()) << "no further replay is due";

    // Clicked again: Playing, and the next replay starts from strobe file s.
    form5.Command1->click();
    EXPECT_EQ(form5.Command1->text(), QStringLiteral("停止"));
    m_clock.advance(1000ms);
    EXPECT_TRUE(form5.isReplaying());
    EXPECT_EQ(shownNumber(), 3);
}

TEST_F(OutputWindowsTest, RangeChangedWhilePlayingIsUsedByTheNextReplay) {
    makeSeries(3, 9);
    setRange("5", "5");
    AnimationWindow& form5 = m_windows.form5();
    form5.show();
    form5.startPlayback();
    m_clock.advance(1000ms);
    EXPECT_EQ(shownNumber(), 5);
    setRange("8", "8");
    m_clock.advance(1000ms);
    EXPECT_EQ(shownNumber(), 8);
}

TEST_F(OutputWindowsTest, MainWindowStartsPlaybackWithoutTouchingTheCaption) {
    makeSeries(3, 6);
    AnimationWindow& form5 = m_windows.form5();
    form5.show();
    form5.startPlayback();
    form5.Command1->click();
    EXPECT_FALSE(form5.isPlaying());
    EXPECT_EQ(form5.Command1->text(), QStringLiteral("もう一度見る"));

    form5.startPlayback();
    EXPECT_TRUE(form5.isPlaying());
    EXPECT_EQ(form5.Command1->text(), QStringLiteral("もう一度見る"));
    m_clock.advance(1000ms);
    EXPECT_EQ(shownNumber(), 3);

    form5.Command1->click();
    EXPECT_FALSE(form5.isPlaying());
    EXPECT_EQ(form5.Command1->text(), QStringLiteral("もう一度見る"));
}

TEST_F(OutputWindowsTest, BackStopsThePlaybackAndReturnsToTheMainWindow) {
    makeSeries(3, 6);
    AnimationWindow& form5 = m_windows.form5();
    MainWindow& form1 = m_windows.form1();
    form5.show();
    form5.startPlayback();
    m_clock.advance(1000ms);
    ASSERT_TRUE(form5.isReplaying());
    form5.Command2->click();
    EXPECT_FALSE(form5.isVisible());
    EXPECT_FALSE(form5.isPlaying());
    EXPECT_FALSE(form5.isReplaying());
    EXPECT_FALSE(m_clock.hasPending());
    EXPECT_TRUE(form1.Command5->isEnabled()) << "left before the end of a replay";
    EXPECT_TRUE(form1.isVisible());

    // Watched to the end of a replay, the animation is done for the run.
    openAnimation(m_windows);
    m_clock.advance(1900ms);
    form5.Command2->click();
    EXPECT_FALSE(form1.Command5->isEnabled());
}

TEST_F(OutputWindowsTest, ClosingTheWindowStopsThePlayback) {
    makeSeries(3, 6);
    AnimationWindow& form5 = m_windows.form5();
    form5.show();
    form5.startPlayback();
    form5.close();
    EXPECT_FALSE(form5.isPlaying());
    EXPECT_FALSE(m_clock.hasPending());
}

TEST_F(OutputWindowsTest, MissingStrobeFileStopsWithANoteInTheWindow) {
    makeSeries(3, 3);
    AnimationWindow& form5 = m_windows.form5();
    form5.show();
    form5.startPlayback();
    m_clock.advance(1300ms);
    EXPECT_FALSE(form5.isPlaying());
    EXPECT_EQ(form5.noteText(), QStringLiteral("ストロボ写真がありません: ") +
                                    QString::fromStdString(wf::strobeFile(m_work, 4)));
    EXPECT_EQ(form5.Command1->text(), QStringLiteral("もう一度見る"));
    EXPECT_TRUE(m_dialogs.messages.empty());
    EXPECT_TRUE(form5.isVisible());

    // Once the series is complete, a click plays it again and the note goes.
    makeSeries(4, 5);
    form5.Command1->click();
    m_clock.advance(1000ms);
    EXPECT_EQ(shownNumber(), 3);
    EXPECT_TRUE(form5.noteText().isEmpty());
}

}  // namespace

}  // namespace strobo::windows
