#include "windows/composition/composition_window.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "scripted_dialogs.h"
#include "windows/contactsheet/contact_sheet_window.h"
#include "windows/extraction/playback_window.h"
#include "windows/main/desktop_dialogs.h"
#include "windows/main/main_window.h"
#include "windows/main/navigation.h"
#include "windows/main/picture_box.h"
#include "windows/main/window_set.h"
#include "windows/output/animation_window.h"
#include "windows/output/save_window.h"
#include "workfolder/file_names.h"
#include "workfolder/file_services.h"
#include "workfolder/qt_image.h"

namespace strobo::windows {

namespace wf = workfolder;
using engine::PackedImage;

namespace {

PackedImage frame(int n) {
    PackedImage image(653, 480, engine::packColor(10, 10, 10));
    for (int y = 100; y < 150; ++y)
        for (int x = 40 * n; x < 40 * n + 50; ++x)
            image.set(x, y, engine::packColor(200, 50 * (n % 5), 30));
    return image;
}

class CompositionWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        m_folder = m_dir.path().toStdString();
        m_files.savePicture(PackedImage(400, 300, engine::packColor(0, 0, 40)),
                            wf::baseStrobeImage(m_folder));
        for (int n = 1; n <= 8; ++n) m_files.savePicture(frame(n), wf::frameFile(m_folder, n));
        m_windows.setDialogs(m_dialogs);
        connectMainWindow(m_windows);
        MainWindow& form1 = m_windows.form1();
        form1.Text1->setText(QString::fromStdString(m_folder));
        form1.show();
        m_windows.form2().Text1->setText("8");
        m_windows.form3().Text1->setText("3");
        m_windows.form3().Text2->setText("5");
    }
    bool exists(const std::string& path) { return m_files.fileExists(path); }

    QTemporaryDir m_dir;
    std::string m_folder;
    wf::FileServices m_files;
    strobo::testing::ScriptedDialogs m_dialogs;
    WindowSet m_windows;
};

}  // namespace

TEST_F(CompositionWindowTest, LoadFillsTheHiddenOperationListAndSelectsTheWholeColourMaximum) {
    CompositionWindow& window = m_windows.composition();
    window.show();
    ASSERT_EQ(window.List1->count(), 8);
    const QStringList expected = {"A + B = C", "A - B = C", "A * B = C", "A / B = C",
                                  "RGB最大値", "RGB最小値", "最大値",    "最小値"};
    for (int k = 0; k < 8; ++k) EXPECT_EQ(window.List1->item(k)->text(), expected[k]);
    EXPECT_EQ(window.List1->currentRow(), 6);
    EXPECT_FALSE(window.List1->isVisible());
    EXPECT_FALSE(window.Command2->isVisible());
    EXPECT_TRUE(window.Command1->isVisible());
    EXPECT_EQ(window.Picture3->borderStyle(), PictureBox::kBorderNone);
    EXPECT_EQ(window.workFolder(), m_folder);
}

TEST_F(CompositionWindowTest, ScalePictureShrinksTheFrameToSixtyTwoPercent) {
    CompositionWindow& window = m_windows.composition();
    window.show();
    std::int16_t percent = 62;
    window.Picture4->setPicture(QImage(640, 480, QImage::Format_RGB32));
    window.ScalePicture(percent);
    EXPECT_EQ(window.Picture2->picture().size(), QSize(397, 298));
    window.Picture4->setPicture(QImage(653, 480, QImage::Format_RGB32));
    window.ScalePicture(percent);
    EXPECT_EQ(window.Picture2->picture().size(), QSize(405, 298));
}

TEST_F(CompositionWindowTest, BuildSavesExactlyWhatTheWindowShows) {
    CompositionWindow& window = m_windows.composition();
    window.show();
    std::vector<PackedImage> shown;
    bool stageButtonsRested = true;
    m_windows.setYield([&] {
        shown.push_back(captureWindow(window));
        MainWindow& form1 = m_windows.form1();
        for (QPushButton* b : {form1.Command1, form1.Command2, form1.Command3, form1.Command5})
            stageButtonsRested = stageButtonsRested && !b->isEnabled();
        EXPECT_EQ(m_dialogs.waitCursorDepth, 1);
    });
    QSignalSpy finished(&window, &CompositionWindow::buildFinished);
    QTest::mouseClick(window.Command1, Qt::LeftButton);
    ASSERT_EQ(finished.count(), 1);
    EXPECT_TRUE(finished.front().front().toBool());
    m_windows.setYield({});
    EXPECT_EQ(m_dialogs.waitCursorDepth, 0);

    ASSERT_EQ(shown.size(), 3u);
    for (int i = 4; i <= 6; ++i) {
        const PackedImage saved = m_files.loadPicture(wf::strobeFile(m_folder, i));
        EXPECT_EQ(saved.width, 400);
        EXPECT_EQ(saved.height, 300);
        EXPECT_EQ(saved, shown[static_cast<std::size_t>(i - 4)]) << "strobe file " << i;
    }
    EXPECT_TRUE(stageButtonsRested);
    EXPECT_TRUE(m_windows.form1().Command2->isEnabled());
    EXPECT_FALSE(window.Command1->isVisible());
    EXPECT_TRUE(window.Command2->isVisible());
    EXPECT_TRUE(m_dialogs.messages.empty());
}

TEST_F(CompositionWindowTest, FailureShowsAMessageAndLeavesBothWaysOn) {
    m_files.deleteFile(wf::baseStrobeImage(m_folder));
    CompositionWindow& window = m_windows.composition();
    window.show();
    window.Command1->click();
    ASSERT_EQ(m_dialogs.messages.size(), 1u);
    EXPECT_NE(m_dialogs.messages[0].find("Sstrobe.bmp"), std::string::npos);
    EXPECT_TRUE(window.Command1->isVisible());
    EXPECT_TRUE(window.Command2->isVisible());
    // With the background in place the same button builds the series.
    m_files.savePicture(PackedImage(400, 300), wf::baseStrobeImage(m_folder));
    window.Command1->click();
    EXPECT_TRUE(exists(wf::strobeFile(m_folder, 6)));
    EXPECT_FALSE(window.Command1->isVisible());
}

TEST_F(CompositionWindowTest, FinishDeletesTheFramesAndHandsBackToTheMainWindow) {
    CompositionWindow& window = m_windows.composition();
    window.show();
    window.Command1->click();
    m_files.deleteFile(wf::frameFile(m_folder, 2));  // already gone: skipped quietly
    window.Command2->click();
    for (int n = 1; n <= 8; ++n) EXPECT_FALSE(exists(wf::frameFile(m_folder, n)));
    EXPECT_TRUE(exists(wf::strobeFile(m_folder, 6)));
    EXPECT_TRUE(exists(wf::baseStrobeImage(m_folder)));
    EXPECT_TRUE(m_dialogs.messages.empty());
    EXPECT_FALSE(window.isVisible());
    EXPECT_TRUE(m_windows.form1().isVisible());
    EXPECT_FALSE(m_windows.form1().Command2->isEnabled());
}

TEST_F(CompositionWindowTest, MainWindowHandsOverAndEveryUnfinishedStageCanRunAgain) {
    MainWindow& form1 = m_windows.form1();
    form1.workFolder = m_folder;
    // Before a build there is nothing to replay or save: said, and nothing opens.
    form1.Command5->click();
    form1.Command3->click();
    EXPECT_EQ(m_dialogs.messages.size(), 2u);
    EXPECT_FALSE(m_windows.form5().isVisible());
    EXPECT_FALSE(m_windows.form4().isVisible());
    EXPECT_TRUE(form1.isVisible());
    EXPECT_TRUE(form1.Command3->isEnabled());
    EXPECT_TRUE(form1.Command5->isEnabled());

    m_windows.composition().show();
    m_windows.composition().Command1->click();
    // Animation: form1 stays, Form5 plays; back before a whole replay keeps Command5.
    form1.Command5->click();
    EXPECT_TRUE(m_windows.form5().isVisible());
    EXPECT_TRUE(m_windows.form5().isPlaying());
    EXPECT_TRUE(form1.isVisible());
    m_windows.form5().Command2->click();
    EXPECT_FALSE(m_windows.form5().isVisible());
    EXPECT_TRUE(form1.Command5->isEnabled());

    // Saving: form1 hides while Form4 shows; closing Form4 with its close box returns to form1
    // and changes no button.
    form1.Command3->click();
    EXPECT_FALSE(form1.isVisible());
    EXPECT_TRUE(m_windows.form4().isVisible());
    m_windows.form4().close();
    EXPECT_TRUE(form1.isVisible());
    EXPECT_TRUE(form1.Command3->isEnabled());

    // Closing the contact sheet likewise.
    m_windows.form3().show();
    m_windows.form3().close();
    EXPECT_FALSE(m_windows.form3().isVisible());
    EXPECT_TRUE(form1.isVisible());

    // The composition's finish is done for the run; saving and watching are still to come.
    m_windows.composition().Command2->click();
    EXPECT_FALSE(form1.Command2->isEnabled());
    EXPECT_TRUE(form1.Command3->isEnabled());
    EXPECT_TRUE(form1.Command5->isEnabled());
}

TEST_F(CompositionWindowTest, EndButtonClosesEveryWindow) {
    MainWindow& form1 = m_windows.form1();
    m_windows.form5().show();
    m_windows.composition().show();
    form1.Command4->click();
    EXPECT_FALSE(form1.isVisible());
    EXPECT_FALSE(m_windows.form5().isVisible());
    EXPECT_FALSE(m_windows.composition().isVisible());
}

}  // namespace strobo::windows
