#include <gtest/gtest.h>

#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <vector>

#include "window_test_support.h"
#include "windows/composition/composition_window.h"
#include "windows/contactsheet/contact_sheet_window.h"
#include "windows/extraction/playback_window.h"
#include "windows/main/image_control.h"
#include "windows/main/main_window.h"
#include "windows/main/picture_box.h"
#include "windows/main/window_set.h"
#include "windows/output/animation_window.h"
#include "windows/output/save_window.h"
#include "workfolder/fonts.h"

namespace strobo::windows {
namespace {

using testing::px;

const QString kFace = QString::fromUtf8(workfolder::kStoredFontFace);

// One control as the stored layout gives it: lengths in twips, font size 0 for the window's
// default font (9 pt regular), an empty parent for the window itself.
struct StoredControl {
    const char* name;
    const char* kind;
    const char* parent;
    int left, top, width, height;
    const char* text;
    double points;
    bool bold;
    bool hidden;
    int tab;
};

struct StoredWindowLayout {
    const char* name;
    const char* caption;
    std::vector<StoredControl> controls;
};

const std::vector<StoredWindowLayout>& storedLayouts() {
    static const std::vector<StoredWindowLayout> layouts = {
        {"form1",
         "Form1",
         {
             {"Label1", "QLabel", "", 480, 840, 8970, 555, "ＡＶＩファイルからストロボ写真を作ろう",
              27.75, true, false, 0},
             {"Command1", "QPushButton", "", 1440, 1920, 4695, 615,
              "AVIファイルからＢＭＰを作成する", 15.75, true, false, 1},
             {"Command2", "QPushButton", "", 1440, 2760, 4695, 615, "ＢＭＰの画像合成をする", 20.25,
              false, false, 2},
             {"Command5", "QPushButton", "", 1440, 3600, 4695, 615, "アニメーションを見る", 20.25,
              false, false, 5},
             {"Command3", "QPushButton", "", 1440, 4440, 4695, 615, "ストロボ写真に名前を付ける",
              18, false, false, 3},
             {"Command4", "QPushButton", "", 1440, 5280, 4695, 615, "作業を終了する。", 20.25,
              false, false, 4},
             {"Text1", "QLineEdit", "", 3240, 6600, 1815, 375, "Text1", 0, false, true, 6},
         }},
        {"合成",
         "Form1",
         {
             {"List1", "QListWidget", "", 480, 360, 255, 240, nullptr, 0, false, true, 3},
             {"Picture3", "PictureBox", "", 0, 0, 8000, 6000, nullptr, 0, false, false, 2},
             {"Picture4", "PictureBox", "Picture3", 0, 0, 7935, 6015, nullptr, 0, false, true, 6},
             {"Command2", "QPushButton", "Picture3", 3600, 2280, 1575, 495, "メニューに戻る", 0,
              false, true, 5},
             {"Command1", "QPushButton", "Picture3", 600, 720, 2895, 1335, "実\u3000行", 36, true,
              false, 4},
             {"Picture2", "PictureBox", "", 0, 0, 8000, 6000, nullptr, 0, false, true, 1},
             {"Picture1", "PictureBox", "", 0, 0, 8000, 6000, nullptr, 0, false, true, 0},
         }},
        {"Form2",
         "Form2",
         {
             {"Picture1", "PictureBox", "", 0, 0, 180000, 120000, nullptr, 0, false, false, 0},
             {"Text2", "QLineEdit", "Picture1", 2040, 3480, 495, 375, "Text2", 0, false, true, 2},
             {"Text1", "QLineEdit", "Picture1", 1320, 3480, 495, 375, "Text1", 0, false, true, 1},
         }},
        {"Form3",
         "Form3",
         {
             {"Label10", "QLabel", "", 12120, 600, 3015, 255,
              "使用する写真の範囲を入力してください", 0, false, false, 9},
             {"Text1", "QLineEdit", "", 12240, 1080, 735, 375, "", 0, false, false, 10},
             {"Label11", "QLabel", "", 13080, 1080, 735, 375, "番から", 12, false, false, 11},
             {"Text2", "QLineEdit", "", 13800, 1080, 735, 375, "", 0, false, false, 12},
             {"Label12", "QLabel", "", 14640, 1080, 495, 375, "番", 12, false, false, 13},
             {"Command1", "QPushButton", "", 12480, 1800, 2295, 495, "ストロボ写真の作成", 12,
              false, false, 14},
         }},
        {"Form4",
         "Form4",
         {
             {"Command1", "QPushButton", "", 1080, 1440, 5895, 975, "ファイルを保存する", 18, true,
              false, 0},
             {"Command2", "QPushButton", "", 960, 3720, 5895, 975, "初期化してメインに戻る", 18,
              true, false, 1},
         }},
        {"Form5",
         "Form5",
         {
             {"Picture1", "PictureBox", "", 0, 0, 12000, 8000, nullptr, 0, false, false, 0},
             {"Command1", "QPushButton", "", 4800, 8280, 1935, 735, "停止", 0, false, false, 1},
             {"Command2", "QPushButton", "", 7560, 8280, 2295, 735, "戻る", 0, false, false, 2},
         }},
    };
    return layouts;
}

QWidget* control(QWidget& window, const char* name) {
    return window.findChild<QWidget*>(QString::fromUtf8(name));
}

QString textOf(QWidget* w) {
    if (auto* label = qobject_cast<QLabel*>(w)) return label->text();
    if (auto* button = qobject_cast<QPushButton*>(w)) return button->text();
    if (auto* edit = qobject_cast<QLineEdit*>(w)) return edit->text();
    return {};
}

// Where the control sits in its container's client area: picture boxes offset their children
// by their border.
QPoint clientPosition(QWidget* w) {
    QPoint pos = w->pos();
    if (auto* box = qobject_cast<PictureBox*>(w->parentWidget())) {
        pos -= box->clientRect().topLeft();
    }
    return pos;
}

class StoredLayout : public ::testing::TestWithParam<std::size_t> {
  protected:
    const StoredWindowLayout& layout() const { return storedLayouts()[GetParam()]; }
    StoredWindow& window() { return *m_windows.window(QString::fromUtf8(layout().name)); }

    WindowSet m_windows;
};

TEST_P(StoredLayout, WindowNameCaptionAndDefaultFont) {
    StoredWindow& w = window();
    EXPECT_EQ(w.objectName(), QString::fromUtf8(layout().name));
    EXPECT_EQ(w.windowTitle(), QString::fromUtf8(layout().caption));
    EXPECT_EQ(w.font().family(), kFace);
    EXPECT_DOUBLE_EQ(w.font().pointSizeF(), 9.0);
    EXPECT_FALSE(w.font().bold());
    EXPECT_EQ(&w.windows(), &m_windows);
}

TEST_P(StoredLayout, ControlsHaveTheirStoredNamesPlacesTextsAndParents) {
    StoredWindow& w = window();
    for (const StoredControl& c : layout().controls) {
        SCOPED_TRACE(c.name);
        QWidget* widget = control(w, c.name);
        ASSERT_NE(widget, nullptr);
        const QString kind = QString::fromLatin1(widget->metaObject()->className());
        EXPECT_TRUE(kind.endsWith(QString::fromLatin1(c.kind))) << kind.toStdString();
        QWidget* expectedParent = *c.parent ? control(w, c.parent) : &w;
        EXPECT_EQ(widget->parentWidget(), expectedParent);
        EXPECT_EQ(clientPosition(widget), QPoint(px(c.left), px(c.top)));
        EXPECT_EQ(widget->size(), QSize(px(c.width), px(c.height)));
        if (c.text != nullptr) {
            EXPECT_EQ(textOf(widget), QString::fromUtf8(c.text));
        }
        EXPECT_EQ(widget->isHidden(), c.hidden);
        EXPECT_EQ(widget->property("tabIndex").toInt(), c.tab);
    }
}

TEST_P(StoredLayout, FontsAreTheStoredFaceSizeAndWeightAndHaveEveryGlyph) {
    StoredWindow& w = window();
    for (const StoredControl& c : layout().controls) {
        SCOPED_TRACE(c.name);
        QWidget* widget = control(w, c.name);
        ASSERT_NE(widget, nullptr);
        const QFont f = widget->font();
        EXPECT_EQ(f.family(), kFace);
        EXPECT_DOUBLE_EQ(f.pointSizeF(), c.points == 0 ? 9.0 : c.points);
        EXPECT_EQ(f.bold(), c.bold);
        EXPECT_FALSE(f.italic());
        const QString text = textOf(widget);
        const QFontMetrics metrics(f);
        for (const QChar ch : text) {
            EXPECT_TRUE(metrics.inFont(ch))
                << "no glyph for U+" << std::hex << static_cast<int>(ch.unicode());
        }
    }
}

TEST_P(StoredLayout, KeyboardOrderFollowsTheStoredTabIndexes) {
    StoredWindow& w = window();
    std::vector<std::pair<int, QWidget*>> expected;
    for (const StoredControl& c : layout().controls) {
        QWidget* widget = control(w, c.name);
        if (widget->focusPolicy() & Qt::TabFocus) expected.emplace_back(c.tab, widget);
    }
    std::sort(expected.begin(), expected.end());
    ASSERT_FALSE(expected.empty());
    std::vector<QWidget*> chain;
    QWidget* start = expected.front().second;
    QWidget* current = start;
    do {
        if (current->property("tabIndex").isValid() && (current->focusPolicy() & Qt::TabFocus)) {
            chain.push_back(current);
        }
        current = current->nextInFocusChain();
    } while (current != start && chain.size() < 1000);
    ASSERT_EQ(chain.size(), expected.size());
    for (std::size_t i = 0; i < chain.size(); ++i) {
        EXPECT_EQ(chain[i], expected[i].second) << "position " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(AllWindows, StoredLayout, ::testing::Range<std::size_t>(0, 6),
                         [](const auto& info) {
                             const std::string name = storedLayouts()[info.param].name;
                             return name == "合成" ? std::string("Composition") : name;
                         });

TEST(WindowGeometry, ClientAreasBordersAndPositionsAsStored) {
    WindowSet set;
    struct Expected {
        const char* name;
        QRect client;
        bool frameless;
    };
    const Expected expected[] = {
        {"form1", QRect(0, 0, 1024, 768), true},  {"合成", QRect(67, 100, 400, 300), true},
        {"Form2", QRect(-13, 0, 653, 480), true}, {"Form3", QRect(4, 30, 1016, 734), false},
        {"Form5", QRect(4, 23, 992, 734), false},
    };
    for (const Expected& e : expected) {
        SCOPED_TRACE(e.name);
        StoredWindow& w = *set.window(QString::fromUtf8(e.name));
        EXPECT_EQ(w.geometry(), e.client);
        EXPECT_EQ(w.windowFlags().testFlag(Qt::FramelessWindowHint), e.frameless);
    }
    EXPECT_EQ(set.form4().size(), QSize(559, 347));
    EXPECT_FALSE(set.form4().windowFlags().testFlag(Qt::FramelessWindowHint));
}

TEST(WindowGeometry, PictureBoxesLargerThanTheirWindowKeep32BitSizes) {
    WindowSet set;
    EXPECT_EQ(set.form2().Picture1->size(), QSize(12000, 8000));
    EXPECT_EQ(set.composition().Picture3->size(), QSize(533, 400));
    EXPECT_EQ(set.form5().Picture1->size(), QSize(800, 533));
    EXPECT_TRUE(set.composition().Picture4->autoSize());
    EXPECT_TRUE(set.composition().Picture2->autoSize());
    EXPECT_FALSE(set.composition().Picture3->autoSize());
    EXPECT_FALSE(set.composition().Picture1->autoSize());
}

TEST(StoredColours, RedTitlesCyanRangeLabelAndWindowBackground) {
    WindowSet set;
    EXPECT_EQ(set.form1().Label1->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    QLabel* label10 = set.form3().Label10;
    EXPECT_EQ(label10->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    EXPECT_EQ(label10->palette().color(QPalette::Window), QColor(128, 255, 255));
    EXPECT_TRUE(label10->autoFillBackground());
    EXPECT_EQ(label10->grab().toImage().pixelColor(label10->width() - 1, 0), QColor(128, 255, 255));
    EXPECT_EQ(set.form2().backgroundRole(), QPalette::Base);
    EXPECT_TRUE(set.form2().autoFillBackground());
}

TEST(ContactSheet, ThumbnailArrayHasMembersOneToNinetyOnTheStoredGrid) {
    WindowSet set;
    ContactSheetWindow& form3 = set.form3();
    EXPECT_THROW(form3.Image1(0), std::out_of_range);
    EXPECT_THROW(form3.Image1(91), std::out_of_range);
    const auto images = form3.findChildren<ImageControl*>();
    EXPECT_EQ(images.size(), 90);
    for (int k = 1; k <= 90; ++k) {
        SCOPED_TRACE(k);
        ImageControl* image = form3.Image1(k);
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->objectName(), QStringLiteral("Image1_%1").arg(k));
        const int r = (k - 1) / 10;
        const int c = (k - 1) % 10;
        EXPECT_EQ(image->geometry(),
                  QRect(px(120 + 1200 * c), px(120 + 1200 * r), px(1095), px(855)));
        EXPECT_TRUE(image->stretch());
        EXPECT_TRUE(image->picture().isNull());
    }
    EXPECT_EQ(form3.Image1(1)->pos(), QPoint(8, 8));
    EXPECT_EQ(form3.Image1(10)->pos(), QPoint(728, 8));
    EXPECT_EQ(form3.Image1(11)->pos(), QPoint(8, 88));
    EXPECT_EQ(form3.Image1(90)->pos(), QPoint(728, 648));
    EXPECT_TRUE(form3.Text1->text().isEmpty());
    EXPECT_TRUE(form3.Text2->text().isEmpty());
}

TEST(ContactSheet, RowLabelsCarryTheStoredBlankSpacedNumbers) {
    WindowSet set;
    ContactSheetWindow& form3 = set.form3();
    const int widths[] = {11415, 12135, 12015, 12135, 12135, 11895, 11775, 12375, 12495};
    for (int n = 1; n <= 9; ++n) {
        SCOPED_TRACE(n);
        auto* label = form3.findChild<QLabel*>(QStringLiteral("Label%1").arg(n));
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label, form3.rowLabels[static_cast<std::size_t>(n - 1)]);
        const QString text = label->text();
        EXPECT_EQ(text.size(), n == 1 ? 178 : 174);
        EXPECT_FALSE(text.contains(QLatin1Char('\t')));
        EXPECT_EQ(text.simplified().split(QLatin1Char(' ')).size(), 10);
        EXPECT_EQ(text.simplified().split(QLatin1Char(' ')).first(),
                  QString::number(10 * (n - 1) + 1));
        EXPECT_EQ(label->geometry(),
                  QRect(8, px(970 + 1200 * (n - 1)), px(widths[n - 1]), n == 9 ? 25 : 17));
        EXPECT_EQ(label->property("tabIndex").toInt(), n - 1);
        EXPECT_EQ(label->font().family(), kFace);
        EXPECT_DOUBLE_EQ(label->font().pointSizeF(), 9.0);
    }
    EXPECT_EQ(ContactSheetWindow::rowCaption(1),
              QStringLiteral(" 1%1 2%1 3%2 4%2 5%1 6%2 7%2 8%2 9%1 10")
                  .arg(QString(18, QLatin1Char(' ')), QString(17, QLatin1Char(' '))));
    EXPECT_EQ(ContactSheetWindow::rowCaption(9),
              QStringLiteral(" 81%1 82%1 83%1 84%1 85%1 86%1 87%1 88%1 89%1 90")
                  .arg(QString(16, QLatin1Char(' '))));
}

TEST(AnimationWindow, Timer1IsStoppedWithAOneSecondInterval) {
    WindowSet set;
    QTimer* timer = set.form5().findChild<QTimer*>(QStringLiteral("Timer1"));
    ASSERT_NE(timer, nullptr);
    EXPECT_EQ(timer, set.form5().Timer1);
    EXPECT_FALSE(timer->isActive());
    EXPECT_EQ(timer->interval(), 1000);
}

}  // namespace
}  // namespace strobo::windows
