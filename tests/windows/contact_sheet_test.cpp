#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <filesystem>
#include <string>

#include "engine/scaling.h"
#include "scripted_dialogs.h"
#include "windows/composition/composition_window.h"
#include "windows/contactsheet/contact_sheet_flow.h"
#include "windows/contactsheet/contact_sheet_window.h"
#include "windows/extraction/extraction_flow.h"
#include "windows/extraction/playback_window.h"
#include "windows/main/image_control.h"
#include "windows/main/main_window.h"
#include "windows/main/window_set.h"
#include "workfolder/file_names.h"
#include "workfolder/file_services.h"
#include "workfolder/media_test_clips.h"
#include "workfolder/qt_image.h"

namespace strobo::windows {

namespace wf = workfolder;
namespace mt = wf::media::testing;
using engine::PackedImage;

namespace {

// Frame file n: a small picture whose red value is n, with a mark that shows the scaling.
PackedImage framePicture(int n) {
    PackedImage p(30, 20, engine::packColor(n, 100, 200));
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 15; ++x) p.set(x, y, engine::packColor(n, 0, 0));
    return p;
}

PackedImage thumbnailOf(int n) {
    return engine::scaleImage(framePicture(n), ContactSheetWindow::kThumbnailWidth,
                              ContactSheetWindow::kThumbnailHeight);
}

class ContactSheetTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_work = m_temp.file("work");
        std::filesystem::create_directories(mt::u8(m_work));
        m_windows.setDialogs(m_dialogs);
    }

    // What frame extraction leaves: frame files 1 to n, the prefix and the count.
    void extracted(int n, const char* countText = nullptr) {
        for (int k = 1; k <= n; ++k) m_files.savePicture(framePicture(k), wf::frameFile(m_work, k));
        m_windows.form1().framePrefix = wf::framePrefix(m_work);
        m_windows.form2().Text1->setText(countText ? QString::fromUtf8(countText)
                                                   : QString::number(n));
    }
    ContactSheetWindow& form3() { return m_windows.form3(); }
    PackedImage shown(int k) { return wf::fromQImage(form3().Image1(k)->picture()); }
    bool empty(int k) { return form3().Image1(k)->picture().isNull(); }

    mt::TempFolder m_temp;
    std::string m_work;
    wf::FileServices m_files;
    strobo::testing::ScriptedDialogs m_dialogs;
    WindowSet m_windows;
};

}  // namespace

TEST_F(ContactSheetTest, BeforeAnyExtractionTheSheetIsRefused) {
    openContactSheet(m_windows);
    ASSERT_EQ(m_dialogs.messages.size(), 1u);
    EXPECT_NE(m_dialogs.messages[0].find("AVIファイルからＢＭＰを作成する"), std::string::npos);
    EXPECT_FALSE(m_windows.isCreated(QStringLiteral("Form3")));

    // A count without a prefix is no extraction either.
    m_windows.form2().Text1->setText(QStringLiteral("5"));
    openContactSheet(m_windows);
    EXPECT_EQ(m_dialogs.messages.size(), 2u);
    EXPECT_FALSE(m_windows.isCreated(QStringLiteral("Form3")));
}

TEST_F(ContactSheetTest, TenFramesFillTheFirstNineThumbnailsFromFrameTwo) {
    extracted(10);
    openContactSheet(m_windows);
    EXPECT_TRUE(form3().isVisible());
    EXPECT_TRUE(m_windows.form1().Command2->isEnabled());
    for (int k = 1; k <= 9; ++k) EXPECT_EQ(shown(k), thumbnailOf(k + 1)) << k;
    for (int k = 10; k <= 90; ++k) EXPECT_TRUE(empty(k)) << k;
    EXPECT_TRUE(m_dialogs.messages.empty());

    // A shorter clip afterwards leaves no thumbnail of the earlier one.
    m_windows.form2().Text1->setText(QStringLiteral("5"));
    openContactSheet(m_windows);
    for (int k = 5; k <= 90; ++k) EXPECT_TRUE(empty(k)) << k;
}

TEST_F(ContactSheetTest, NinetyOneFramesFillAllNinety) {
    extracted(91);
    openContactSheet(m_windows);
    EXPECT_EQ(shown(1), thumbnailOf(2));
    EXPECT_EQ(shown(90), thumbnailOf(91));
    for (int k = 1; k <= 90; ++k) EXPECT_FALSE(empty(k)) << k;
    EXPECT_TRUE(m_dialogs.messages.empty());
}

TEST_F(ContactSheetTest, LongerClipsShowTheFirstNinetyAndSaySo) {
    extracted(95);
    openContactSheet(m_windows);
    EXPECT_EQ(shown(90), thumbnailOf(91));
    ASSERT_EQ(m_dialogs.messages.size(), 1u);
    EXPECT_NE(m_dialogs.messages[0].find("94 枚"), std::string::npos);
    EXPECT_NE(m_dialogs.messages[0].find("91 番から 94 番まで"), std::string::npos)
        << "the numbers past the sheet can still be typed";
}

TEST_F(ContactSheetTest, OneOrNoFrameIsSaidAndNoEmptySheetShows) {
    for (const char* count : {"1", "0", "-3"}) {
        m_dialogs.messages.clear();
        extracted(1, count);
        openContactSheet(m_windows);
        EXPECT_FALSE(form3().isVisible()) << count;
        ASSERT_EQ(m_dialogs.messages.size(), 1u) << count;
        EXPECT_NE(m_dialogs.messages[0].find("使える写真がありません"), std::string::npos);
    }
}

TEST_F(ContactSheetTest, CountIsReadStrictlyWithHalvesToEven) {
    extracted(4, " 3.5 ");
    openContactSheet(m_windows);
    EXPECT_FALSE(empty(3));
    EXPECT_TRUE(empty(4));

    m_windows.form2().Text1->setText(QStringLiteral("3 frames"));
    openContactSheet(m_windows);
    EXPECT_EQ(m_dialogs.messages.size(), 1u);
}

TEST_F(ContactSheetTest, MissingFrameLeavesItsThumbnailEmptyAndIsReportedOnce) {
    extracted(8);
    std::filesystem::remove(mt::u8(wf::frameFile(m_work, 4)));
    std::filesystem::remove(mt::u8(wf::frameFile(m_work, 6)));
    openContactSheet(m_windows);
    EXPECT_TRUE(empty(3));
    EXPECT_TRUE(empty(5));
    EXPECT_EQ(shown(4), thumbnailOf(5));
    EXPECT_EQ(shown(7), thumbnailOf(8));
    ASSERT_EQ(m_dialogs.messages.size(), 1u);
    EXPECT_NE(m_dialogs.messages[0].find(wf::frameFile(m_work, 4)), std::string::npos);
    EXPECT_NE(m_dialogs.messages[0].find("2 枚"), std::string::npos);
}

TEST_F(ContactSheetTest, TypedRangeHandsOverToTheCompositionWindow) {
    extracted(10);
    openContactSheet(m_windows);
    form3().Text1->setText(QStringLiteral("3"));
    form3().Text2->setText(QStringLiteral("8"));
    // Thumbnails 3 to 8 are frame files 4 to 9.
    EXPECT_EQ(shown(3), thumbnailOf(4));
    EXPECT_EQ(shown(8), thumbnailOf(9));

    QSignalSpy clicked(form3().Command1, &QPushButton::clicked);
    form3().Command1->click();
    EXPECT_EQ(clicked.count(), 1);
    ASSERT_EQ(m_dialogs.messages.size(), 1u);
    EXPECT_NE(m_dialogs.messages[0].find("3 番から 8 番まで、6 枚"), std::string::npos);
    EXPECT_FALSE(form3().isVisible());
    EXPECT_TRUE(m_windows.composition().isVisible());
    EXPECT_EQ(form3().Text1->text(), QStringLiteral("3"));
    EXPECT_EQ(form3().Text2->text(), QStringLiteral("8"));

    // Opening the sheet again loads the thumbnails again and keeps the range.
    openContactSheet(m_windows);
    EXPECT_TRUE(form3().isVisible());
    EXPECT_EQ(form3().Text1->text(), QStringLiteral("3"));
    EXPECT_EQ(form3().Text2->text(), QStringLiteral("8"));
}

TEST_F(ContactSheetTest, ARangeWithoutPicturesOrBeyondTheFramesIsRefusedNamingTheCount) {
    extracted(10);
    openContactSheet(m_windows);
    struct Case {
        const char* first;
        const char* last;
        const char* said;
    };
    for (const Case& c :
         {Case{"", "", "入力されていません"}, Case{"abc", "xyz", "「abc」"},
          Case{"20", "10", "20 番から 10 番までには写真がありません"},
          Case{"3", "10", "3 番から 10 番までは使えません"},
          Case{"-1", "4", "-1 番から 4 番までは使えません"}, Case{"2.5", "4", "「2.5」"}}) {
        m_dialogs.messages.clear();
        form3().Text1->setText(QString::fromUtf8(c.first));
        form3().Text2->setText(QString::fromUtf8(c.last));
        form3().Command1->click();
        ASSERT_EQ(m_dialogs.messages.size(), 1u) << c.first << " " << c.last;
        EXPECT_NE(m_dialogs.messages[0].find(c.said), std::string::npos) << m_dialogs.messages[0];
        EXPECT_NE(m_dialogs.messages[0].find("0 番から 9 番まで"), std::string::npos);
        EXPECT_NE(m_dialogs.messages[0].find("フレーム 10 枚"), std::string::npos);
        EXPECT_TRUE(form3().isVisible());
        EXPECT_FALSE(m_windows.isCreated(QStringLiteral("合成")));
    }
    // Full-width digits, as an input method types them, are numbers like any other.
    form3().Text1->setText(QStringLiteral("１"));
    form3().Text2->setText(QStringLiteral("9"));
    form3().Command1->click();
    EXPECT_TRUE(m_windows.composition().isVisible());
}

TEST_F(ContactSheetTest, ShowsWhatTheExtractionWrote) {
    const std::string clip = m_temp.file("clip.avi");
    mt::writeClip(clip, mt::clipOptions(64, 48), 4);
    m_dialogs.openAnswers.push_back(clip);
    m_dialogs.inputAnswers.push_back(m_work);
    runExtraction(m_windows);
    m_dialogs.messages.clear();
    openContactSheet(m_windows);
    EXPECT_TRUE(m_dialogs.messages.empty());
    for (int k = 1; k <= 3; ++k) {
        const PackedImage file = m_files.loadPicture(wf::frameFile(m_work, k + 1));
        EXPECT_EQ(shown(k), engine::scaleImage(file, 73, 57)) << k;
    }
    EXPECT_TRUE(empty(4));
}

}  // namespace strobo::windows
