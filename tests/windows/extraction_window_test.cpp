#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <filesystem>
#include <string>
#include <vector>

#include "scripted_dialogs.h"
#include "stages/extraction/media_playback.h"
#include "stages/extraction/playback_picture.h"
#include "windows/extraction/extraction_flow.h"
#include "windows/extraction/playback_window.h"
#include "windows/main/desktop_dialogs.h"
#include "windows/main/main_window.h"
#include "windows/main/navigation.h"
#include "windows/main/picture_box.h"
#include "windows/main/window_set.h"
#include "workfolder/bitmap_file.h"
#include "workfolder/file_names.h"
#include "workfolder/file_services.h"
#include "workfolder/media/media_player.h"
#include "workfolder/media_test_clips.h"

namespace strobo::windows {

namespace wf = workfolder;
namespace mt = wf::media::testing;
using engine::PackedImage;

namespace {

constexpr int kClipWidth = 640;
constexpr int kClipHeight = 48;

QProgressDialog* progressDialog() {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->objectName() == QLatin1String(kProgressDialogName))
            return qobject_cast<QProgressDialog*>(w);
    }
    return nullptr;
}

class ExtractionWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_work = m_temp.file("work");
        std::filesystem::create_directories(mt::u8(m_work));
        m_windows.setDialogs(m_dialogs);
        m_windows.setYield([this] {
            QCoreApplication::processEvents();
            if (m_onYield) m_onYield();
        });
        m_windows.form2().mediaPlayer().setCommandObserver(
            [this](const std::string& command, int) { m_commands.push_back(command); });
    }

    // A lossless clip of n frames; frame index j holds detailedFrame(j).
    std::string makeClip(int n, const std::string& name = "clip.avi") {
        const std::string path = m_temp.file(name);
        mt::writeClip(path, mt::clipOptions(kClipWidth, kClipHeight), n);
        return path;
    }
    void answer(const std::string& clip, const std::string& folder) {
        m_dialogs.openAnswers.push_back(clip);
        m_dialogs.inputAnswers.push_back(folder);
    }
    std::string frame(int n) const { return wf::frameFile(m_work, n); }
    bool exists(int n) { return m_files.fileExists(frame(n)); }

    // The playback window's image with the decoded frame drawn at the top-left of Picture1's
    // client area: the frame inside the border, the back colour beside and below it.
    void expectShowsFrame(const PackedImage& file, int index) {
        ASSERT_EQ(file.width, stages::kPlaybackWidth);
        ASSERT_EQ(file.height, stages::kPlaybackHeight);
        const PackedImage expected = mt::detailedFrame(index, kClipWidth, kClipHeight);
        const int border = PictureBox::kBorderWidth;
        int wrong = 0;
        for (int y = 0; y < kClipHeight; ++y)
            for (int x = 0; x < kClipWidth; ++x)
                if (file.at(x + border, y + border) != expected.at(x, y)) ++wrong;
        EXPECT_EQ(wrong, 0) << "frame " << index;
        const QColor back = m_windows.form2().Picture1->backColor();
        const auto backColor = engine::packColor(back.red(), back.green(), back.blue());
        for (auto [x, y] : std::vector<std::pair<int, int>>{{border + kClipWidth, border},
                                                            {border, border + kClipHeight},
                                                            {stages::kPlaybackWidth - 1, 479},
                                                            {stages::kPlaybackWidth - 1, border},
                                                            {300, 240}}) {
            EXPECT_EQ(file.at(x, y), backColor) << x << "," << y;
        }
    }

    mt::TempFolder m_temp;
    std::string m_work;
    wf::FileServices m_files;
    strobo::testing::ScriptedDialogs m_dialogs;
    WindowSet m_windows;
    std::vector<std::string> m_commands;
    std::function<void()> m_onYield;
};

}  // namespace

TEST_F(ExtractionWindowTest, ExtractsEveryFrameThroughThePlaybackWindow) {
    const std::string clip = makeClip(5);
    answer(clip, m_work);
    runExtraction(m_windows);

    MainWindow& form1 = m_windows.form1();
    PlaybackWindow& form2 = m_windows.form2();
    const std::vector<std::string> expected = {
        "open \"" + clip + "\" alias test",
        "window test handle  " + std::to_string(form2.Picture1->hWnd()),
        "status test length",
        "seek test to 1",
        "seek test to 2",
        "seek test to 3",
        "seek test to 4",
        "seek test to 5",
        "stop test",
        "close test"};
    EXPECT_EQ(m_commands, expected);
    // Seek 1 to N: position 0 is never captured and the last position shows the last frame.
    for (int n = 1; n <= 5; ++n) expectShowsFrame(m_files.loadPicture(frame(n)), std::min(n, 4));
    EXPECT_FALSE(exists(0));
    EXPECT_FALSE(exists(6));

    EXPECT_EQ(m_dialogs.messages, std::vector<std::string>{"出力が完了しました"});
    EXPECT_EQ(form2.Text1->text(), QStringLiteral("5"));
    EXPECT_EQ(form1.Text1->text().toStdString(), m_work);
    EXPECT_EQ(form1.aviPath, clip);
    EXPECT_EQ(form1.workFolder, m_work);
    EXPECT_EQ(form1.framePrefix, m_work + "/test");
    EXPECT_FALSE(form1.Command1->isEnabled());
    EXPECT_TRUE(form1.Command2->isEnabled());
    EXPECT_TRUE(form1.Command4->isEnabled());
    EXPECT_FALSE(form2.isVisible());
    EXPECT_EQ(form2.Picture1->pos(), QPoint(0, 0));
    EXPECT_FALSE(form2.mediaPlayer().isOpen("test"));
}

TEST_F(ExtractionWindowTest, AsksWithTheStoredTextsAndStartsAtHome) {
    answer(makeClip(2), m_work);
    runExtraction(m_windows);
    ASSERT_EQ(m_dialogs.dialogRequests.size(), 1u);
    EXPECT_EQ(m_dialogs.dialogRequests[0].filter, kClipDialogFilter);
    EXPECT_TRUE(m_dialogs.dialogRequests[0].initialFolder.empty());
    const std::string home = QDir::toNativeSeparators(QDir::homePath()).toStdString();
    ASSERT_EQ(m_dialogs.prompts.size(), 1u);
    EXPECT_EQ(m_dialogs.prompts[0], "ストロボファイルを作るドライブとディレクトリを「" + home +
                                        "/AviToBmp」 のように記入してください。");
}

TEST_F(ExtractionWindowTest, CompletionIsSaidWhileTheLastFrameIsOnView) {
    answer(makeClip(3), m_work);
    PlaybackWindow& form2 = m_windows.form2();
    bool checked = false;
    m_dialogs.onMessage = [&](const std::string&) {
        checked = true;
        EXPECT_TRUE(form2.isVisible());
        EXPECT_TRUE(form2.mediaPlayer().isOpen("test"));
        EXPECT_TRUE(form2.Picture1->hasVideoFrame());
        EXPECT_EQ(m_commands.back(), "seek test to 3");
        EXPECT_EQ(form2.Text1->text(), QStringLiteral("Text1"));
    };
    runExtraction(m_windows);
    EXPECT_TRUE(checked);
}

TEST_F(ExtractionWindowTest, PathsWithBlanksAndJapaneseCharacters) {
    const std::string clip = makeClip(3, "運動 会 の動画.avi");
    const std::string folder = m_temp.file("作業 フォルダー");
    std::filesystem::create_directories(mt::u8(folder));
    answer(clip, folder);
    runExtraction(m_windows);
    EXPECT_EQ(m_commands.front(), "open \"" + clip + "\" alias test");
    for (int n = 1; n <= 3; ++n) {
        expectShowsFrame(m_files.loadPicture(wf::frameFile(folder, n)), std::min(n, 2));
    }
    EXPECT_EQ(m_dialogs.messages, std::vector<std::string>{"出力が完了しました"});
}

TEST_F(ExtractionWindowTest, UnopenableClipIsAnErrorAndTheStageCanRunAgain) {
    const std::string bad = m_temp.file("not a clip.avi");
    mt::writeBytes(bad, "this is no video");
    answer(bad, m_work);
    runExtraction(m_windows);
    ASSERT_EQ(m_dialogs.messages.size(), 1u);
    EXPECT_NE(m_dialogs.messages[0], "出力が完了しました");
    EXPECT_NE(m_dialogs.messages[0].find(bad), std::string::npos);
    EXPECT_EQ(m_commands, std::vector<std::string>{"open \"" + bad + "\" alias test"});
    EXPECT_FALSE(exists(1));
    EXPECT_EQ(m_windows.form2().Text1->text(), QStringLiteral("Text1"));
    EXPECT_FALSE(m_windows.form2().isVisible());
    EXPECT_TRUE(m_windows.form1().Command1->isEnabled());

    answer(makeClip(2), m_work);
    runExtraction(m_windows);
    EXPECT_TRUE(exists(2));
    EXPECT_EQ(m_windows.form2().Text1->text(), QStringLiteral("2"));
    EXPECT_FALSE(m_windows.form1().Command1->isEnabled());
}

TEST_F(ExtractionWindowTest, FramesAboveTheLengthFromAnEarlierRunStay) {
    const PackedImage old(5, 5, engine::packColor(1, 2, 3));
    m_files.savePicture(old, frame(2));
    m_files.savePicture(old, frame(7));
    answer(makeClip(3), m_work);
    runExtraction(m_windows);
    expectShowsFrame(m_files.loadPicture(frame(2)), 2);
    EXPECT_EQ(m_files.loadPicture(frame(7)), old);
    EXPECT_FALSE(exists(4));
}

TEST_F(ExtractionWindowTest, CancelledOrEmptyAnswersStopBeforeAnythingIsWritten) {
    const std::string clip = makeClip(2);
    struct Case {
        std::optional<std::string> clip;
        std::optional<std::string> folder;
    };
    for (const Case& c :
         {Case{std::nullopt, m_work}, Case{std::string(), m_work}, Case{clip, std::nullopt},
          Case{clip, std::string()}, Case{clip, std::string("   ")}}) {
        m_dialogs.messages.clear();
        m_dialogs.openAnswers = {c.clip};
        m_dialogs.inputAnswers = {c.folder};
        runExtraction(m_windows);
        ASSERT_EQ(m_dialogs.messages.size(), 1u);
        EXPECT_NE(m_dialogs.messages[0].find("中止"), std::string::npos);
        EXPECT_TRUE(m_commands.empty());
        EXPECT_EQ(m_windows.form1().Text1->text(), QStringLiteral("Text1"));
        EXPECT_TRUE(m_windows.form1().framePrefix.empty());
        EXPECT_TRUE(m_windows.form1().Command1->isEnabled());
    }
    EXPECT_FALSE(exists(1));
    EXPECT_FALSE(m_files.fileExists("/test1.bmp"));
}

TEST_F(ExtractionWindowTest, MissingFolderIsMadeOnlyWhenTheUserAgrees) {
    const std::string clip = makeClip(2);
    const std::string missing = m_temp.file("new/sub");
    answer(clip, missing);
    m_dialogs.yesNoAnswers = {false};
    runExtraction(m_windows);
    EXPECT_EQ(m_dialogs.questions.size(), 1u);
    EXPECT_NE(m_dialogs.questions[0].find(missing), std::string::npos);
    EXPECT_FALSE(m_files.folderExists(missing));
    EXPECT_TRUE(m_commands.empty());
    EXPECT_TRUE(m_windows.form1().Command1->isEnabled());

    answer(clip, missing);
    m_dialogs.yesNoAnswers = {true};
    runExtraction(m_windows);
    EXPECT_TRUE(m_files.fileExists(wf::frameFile(missing, 2)));
    EXPECT_FALSE(m_windows.form1().Command1->isEnabled());
}

TEST_F(ExtractionWindowTest, ButtonsAreLockedAndProgressShowsBesideThePlaybackWindow) {
    MainWindow& form1 = m_windows.form1();
    answer(makeClip(4), m_work);
    std::vector<QString> labels;
    m_onYield = [&] {
        for (QPushButton* b : {form1.Command1, form1.Command2, form1.Command3, form1.Command5})
            EXPECT_FALSE(b->isEnabled());
        EXPECT_TRUE(form1.Command4->isEnabled()) << "the way out stays";
        QProgressDialog* dialog = progressDialog();
        ASSERT_NE(dialog, nullptr);
        EXPECT_TRUE(dialog->isVisible());
        EXPECT_GE(dialog->frameGeometry().left(), kProgressDialogLeft);
        EXPECT_FALSE(dialog->frameGeometry().intersects(m_windows.form2().frameGeometry()));
        labels.push_back(dialog->labelText());
    };
    runExtraction(m_windows);
    // The label is updated after each save: it still names the frame before the one sought.
    EXPECT_EQ(labels, (std::vector<QString>{"0 / 4", "1 / 4", "2 / 4", "3 / 4"}));
    // The dialog was up during every capture and still no frame shows it.
    for (int n = 1; n <= 4; ++n) expectShowsFrame(m_files.loadPicture(frame(n)), std::min(n, 3));
    EXPECT_EQ(progressDialog(), nullptr);
    EXPECT_FALSE(form1.Command1->isEnabled());
    EXPECT_TRUE(form1.Command2->isEnabled());
    EXPECT_TRUE(form1.Command3->isEnabled());
    EXPECT_TRUE(form1.Command4->isEnabled());
    EXPECT_TRUE(form1.Command5->isEnabled());
}

TEST_F(ExtractionWindowTest, StoppingKeepsTheFramesSavedSoFar) {
    answer(makeClip(6), m_work);
    int yields = 0;
    m_onYield = [&] {
        if (++yields == 3) progressDialog()->cancel();
    };
    runExtraction(m_windows);
    EXPECT_TRUE(exists(3));
    EXPECT_FALSE(exists(4));
    EXPECT_EQ(m_windows.form2().Text1->text(), QStringLiteral("3"));
    ASSERT_EQ(m_dialogs.messages.size(), 1u);
    EXPECT_NE(m_dialogs.messages[0].find("3 番まで"), std::string::npos);
    EXPECT_EQ(m_commands.back(), "close test");
    EXPECT_TRUE(m_windows.form1().Command1->isEnabled()) << "a wrong clip can be replaced";
}

TEST_F(ExtractionWindowTest, TheEndButtonStopsTheExtractionAndEndsWithoutAWord) {
    connectMainWindow(m_windows);
    answer(makeClip(6), m_work);
    int yields = 0;
    m_onYield = [&] {
        if (++yields == 2) m_windows.form1().Command4->click();
    };
    runExtraction(m_windows);
    EXPECT_TRUE(m_dialogs.messages.empty());
    EXPECT_FALSE(exists(4));
    EXPECT_EQ(m_commands.back(), "close test");
    EXPECT_FALSE(m_windows.form2().isVisible());
    EXPECT_EQ(progressDialog(), nullptr);
}

TEST_F(ExtractionWindowTest, UnwritableFrameStopsWithAMessageAndTheFramesSoFarCount) {
    std::filesystem::create_directory(mt::u8(frame(3)));
    answer(makeClip(5), m_work);
    runExtraction(m_windows);
    ASSERT_EQ(m_dialogs.messages.size(), 1u);
    EXPECT_NE(m_dialogs.messages[0].find(frame(3)), std::string::npos);
    EXPECT_TRUE(exists(2));
    EXPECT_FALSE(exists(4));
    EXPECT_EQ(m_windows.form2().Text1->text(), QStringLiteral("2"));
    EXPECT_EQ(m_commands.back(), "close test");
    EXPECT_TRUE(m_windows.form1().Command1->isEnabled());
    EXPECT_FALSE(m_windows.form2().isVisible());
}

// The playback picture is painted by a plain function that the command line uses without any
// window; the window's own image must be that picture, frame after frame, and the command line's
// back colour the one the window has.
TEST_F(ExtractionWindowTest, CaptureIsTheWindowsOwnImageAndThePaintedPicture) {
    PlaybackWindow& form2 = m_windows.form2();
    form2.show();
    const QColor back = form2.Picture1->backColor();
    EXPECT_EQ(engine::packColor(back.red(), back.green(), back.blue()),
              stages::kHeadlessPlaybackBackColor);
    const std::string clip = makeClip(3);
    ASSERT_EQ(form2.sendMediaCommand(stages::openCommand(clip)), 0);
    ASSERT_EQ(form2.sendMediaCommand(stages::windowCommand(form2.videoWindowHandle())), 0);
    std::vector<PackedImage> shown;
    std::vector<wf::BackgroundSaver::BitmapEncoder> frameFiles;
    for (int i = 1; i <= 3; ++i) {
        ASSERT_EQ(form2.sendMediaCommand(stages::seekCommand(i)), 0);
        shown.push_back(captureWindow(form2));
        frameFiles.push_back(form2.captureFrameFile());
        EXPECT_EQ(form2.capturePlayback(), shown.back()) << i;
        EXPECT_EQ(stages::paintPlaybackPicture(form2.mediaPlayer().currentFrame("test"), true,
                                               stages::kHeadlessPlaybackBackColor),
                  shown.back())
            << i;
    }
    // Frame files are written after the window has moved on: each still holds its own picture.
    for (std::size_t i = 0; i < frameFiles.size(); ++i) {
        std::vector<std::uint8_t> bytes;
        frameFiles[i](bytes);
        EXPECT_EQ(bytes, wf::encodeBitmap24(shown[i])) << i + 1;
    }
    // A window shown empty after the clip is closed is captured empty, not as the last frame.
    form2.sendMediaCommand(stages::closeCommand());
    EXPECT_EQ(form2.capturePlayback(), captureWindow(form2));
    EXPECT_EQ(stages::paintPlaybackPicture({}, true, stages::kHeadlessPlaybackBackColor),
              captureWindow(form2));
    form2.hide();
}

TEST_F(ExtractionWindowTest, HeadlessExtractionWritesTheSamePixels) {
    const std::string clip = makeClip(3);
    answer(clip, m_work);
    runExtraction(m_windows);

    const std::string other = m_temp.file("headless");
    std::filesystem::create_directories(mt::u8(other));
    std::vector<std::int64_t> saved;
    const stages::ExtractionResult report =
        stages::extractClip(clip, other, m_files, [&](stages::Phase, std::int64_t i, std::int64_t) {
            saved.push_back(i);
            return true;
        });
    EXPECT_TRUE(report.completed);
    EXPECT_EQ(report.written, 3);
    EXPECT_EQ(saved, (std::vector<std::int64_t>{0, 1, 2, 3}));
    for (int n = 1; n <= 3; ++n) {
        EXPECT_EQ(mt::readBytes(wf::frameFile(other, n)), mt::readBytes(frame(n))) << n;
    }

    const stages::ExtractionResult noFolder =
        stages::extractClip(clip, m_temp.file("nowhere"), m_files);
    EXPECT_FALSE(noFolder.opened);
    ASSERT_TRUE(noFolder.failure);
    EXPECT_EQ(noFolder.failure->kind, wf::FailureKind::FolderMissing);
}

}  // namespace strobo::windows
