#include <gtest/gtest.h>

#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include "window_test_support.h"
#include "windows/composition/composition_window.h"
#include "windows/extraction/playback_window.h"
#include "windows/main/picture_box.h"
#include "windows/main/window_set.h"

// Window names in test output as text rather than bytes.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << s.toStdString();
}
QT_END_NAMESPACE

namespace strobo::windows {
namespace {

using testing::countDifferingPixels;

// Font rasterisation may differ slightly between machines: a pixel counts as changed only beyond
// this channel difference, and a few changed pixels are allowed. A moved or resized control
// changes far more.
constexpr int kChannelTolerance = 48;
constexpr double kChangedShare = 0.001;

QString goldenDir() {
    return QDir::cleanPath(QStringLiteral(STROBO_TEST_DATA_DIR "/../windows/golden"));
}

QString goldenFile(const QString& window) {
    const QString stem =
        window == QStringLiteral("合成") ? QStringLiteral("composition") : window.toLower();
    return goldenDir() + QLatin1Char('/') + stem + QStringLiteral(".png");
}

QImage solid(int w, int h, QColor c) {
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(c);
    return img;
}

class GoldenRender : public ::testing::TestWithParam<QString> {};

TEST_P(GoldenRender, WindowLooksAsApproved) {
    WindowSet set;
    StoredWindow* window = set.window(GetParam());
    ASSERT_NE(window, nullptr);
    const QImage actual = window->renderImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(actual.size(), window->size());
    const QString path = goldenFile(GetParam());
    if (qEnvironmentVariableIntValue("STROBO_UPDATE_GOLDEN") == 1) {
        QDir().mkpath(goldenDir());
        ASSERT_TRUE(actual.save(path, "PNG"));
        GTEST_SKIP() << "rewrote " << path.toStdString();
    }
    const QImage approved(path);
    ASSERT_FALSE(approved.isNull()) << "no approved image " << path.toStdString()
                                    << "; run with STROBO_UPDATE_GOLDEN=1 to write it";
    ASSERT_EQ(actual.size(), approved.size());
    const int changed = countDifferingPixels(actual, approved, kChannelTolerance);
    EXPECT_LE(changed, static_cast<int>(kChangedShare * actual.width() * actual.height()))
        << changed << " pixels differ from " << path.toStdString();
}

INSTANTIATE_TEST_SUITE_P(AllWindows, GoldenRender,
                         ::testing::Values(QStringLiteral("form1"), QStringLiteral("Form2"),
                                           QStringLiteral("Form3"), QStringLiteral("合成"),
                                           QStringLiteral("Form4"), QStringLiteral("Form5")),
                         [](const auto& info) {
                             return info.param == QStringLiteral("合成")
                                        ? std::string("Composition")
                                        : info.param.toStdString();
                         });

// The tolerance must still see a layout change: a control two pixels off.
TEST(GoldenTolerance, CatchesAControlMovedByTwoPixels) {
    WindowSet set;
    StoredWindow& form1 = *set.window(QStringLiteral("form1"));
    const QImage stored = form1.renderImage();
    const int allowed = static_cast<int>(kChangedShare * stored.width() * stored.height());
    auto* button = form1.findChild<QPushButton*>(QStringLiteral("Command3"));
    ASSERT_NE(button, nullptr);
    button->move(button->pos() + QPoint(2, 2));
    EXPECT_GT(countDifferingPixels(form1.renderImage(), stored, kChannelTolerance), allowed);
    button->move(button->pos() - QPoint(2, 2));
    EXPECT_EQ(countDifferingPixels(form1.renderImage(), stored, 0), 0);
}

TEST(CompositionRender, ShowsExactly400By300OfPicture3WithCommand1OnIt) {
    WindowSet set;
    CompositionWindow& w = set.composition();
    const QImage before = w.renderImage();
    EXPECT_EQ(before.size(), QSize(400, 300));
    EXPECT_EQ(w.Command1->parentWidget(), w.Picture3);
    EXPECT_TRUE(w.Picture3->geometry().contains(w.Command1->geometry()));
    EXPECT_TRUE(
        QRect(0, 0, 400, 300).contains(w.Command1->geometry().translated(w.Picture3->pos())));

    // Whatever the hidden controls hold never reaches the window's image.
    w.Picture1->setPicture(solid(400, 300, Qt::red));
    w.Picture2->setPicture(solid(248, 186, Qt::green));
    w.Picture4->setPicture(solid(640, 480, Qt::blue));
    w.List1->addItems({QStringLiteral("A + B = C"), QStringLiteral("最大値")});
    w.List1->setCurrentRow(1);
    EXPECT_EQ(w.renderImage(), before);

    // What Picture3 holds is what the window shows, cut at 400 x 300.
    w.Command1->hide();
    w.Picture3->setBorderStyle(PictureBox::kBorderNone);
    w.Picture3->setPicture(solid(533, 400, QColor(10, 200, 30)));
    const QImage composed = w.renderImage();
    EXPECT_EQ(composed.size(), QSize(400, 300));
    EXPECT_EQ(countDifferingPixels(composed, solid(400, 300, QColor(10, 200, 30)), 0), 0);
}

TEST(PlaybackRender, Shows653By480OfPicture1AndNeverTheFrameCount) {
    WindowSet set;
    PlaybackWindow& w = set.form2();
    w.Picture1->setBorderStyle(PictureBox::kBorderNone);
    w.Picture1->setBackColor(Qt::black);
    const QImage before = w.renderImage();
    EXPECT_EQ(before.size(), QSize(653, 480));
    EXPECT_EQ(countDifferingPixels(before, solid(653, 480, Qt::black), 0), 0)
        << "only Picture1 shows";
    w.Text1->setText(QStringLiteral("12345"));
    w.Text2->setText(QStringLiteral("67890"));
    EXPECT_EQ(w.renderImage(), before);
}

TEST(PlaybackRender, VideoDrawnThroughTheNativeHandleIsInTheCapture) {
    WindowSet set;
    PlaybackWindow& w = set.form2();
    w.Picture1->setBorderStyle(PictureBox::kBorderNone);
    const std::uint64_t handle = w.Picture1->hWnd();
    auto* target = qobject_cast<PictureBox*>(QWidget::find(static_cast<WId>(handle)));
    ASSERT_EQ(target, w.Picture1);
    target->showVideoFrame(engine::PackedImage(640, 480, engine::packColor(200, 100, 50)));
    w.show();
    const QImage frame = w.renderImage();
    w.hide();
    ASSERT_EQ(frame.size(), QSize(653, 480));
    EXPECT_EQ(frame.pixelColor(0, 0), QColor(200, 100, 50));
    EXPECT_EQ(frame.pixelColor(639, 479), QColor(200, 100, 50));
    EXPECT_NE(frame.pixelColor(640, 0), QColor(200, 100, 50));
}

}  // namespace
}  // namespace strobo::windows
