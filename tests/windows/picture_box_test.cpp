#include "windows/main/picture_box.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPainter>
#include <QWidget>

#include "windows/main/image_control.h"
#include "workfolder/qt_image.h"

namespace strobo::windows {
namespace {

QImage solid(int w, int h, QColor c) {
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(c);
    return img;
}

QColor pixelAt(QWidget& w, int x, int y) {
    return w.grab().toImage().pixelColor(x, y);
}

TEST(PackedImageConversion, KeepsRedInTheLowByte) {
    engine::PackedImage packed(2, 1);
    packed.set(0, 0, engine::packColor(10, 20, 30));
    packed.set(1, 0, engine::packColor(255, 0, 128));
    const QImage img = workfolder::toQImage(packed);
    ASSERT_EQ(img.size(), QSize(2, 1));
    EXPECT_EQ(img.pixelColor(0, 0), QColor(10, 20, 30));
    EXPECT_EQ(img.pixelColor(1, 0), QColor(255, 0, 128));
    EXPECT_TRUE(workfolder::toQImage(engine::PackedImage()).isNull());
}

TEST(PictureBox, ShowsPictureAtTopLeftOfClientAreaInsideTheBorder) {
    PictureBox box;
    box.resize(40, 30);
    box.setBackColor(Qt::blue);
    box.setPicture(solid(5, 4, Qt::red));
    EXPECT_EQ(box.clientRect(), QRect(2, 2, 36, 26));
    EXPECT_EQ(pixelAt(box, 2, 2), QColor(Qt::red));
    EXPECT_EQ(pixelAt(box, 6, 5), QColor(Qt::red));
    EXPECT_EQ(pixelAt(box, 7, 5), QColor(Qt::blue));
    EXPECT_EQ(pixelAt(box, 6, 6), QColor(Qt::blue));
    // The sunken border: dark above and left, light below and right, in fixed colours.
    EXPECT_EQ(pixelAt(box, 10, 0), QColor(160, 160, 160));
    EXPECT_EQ(pixelAt(box, 1, 10), QColor(105, 105, 105));
    EXPECT_EQ(pixelAt(box, 10, 28), QColor(227, 227, 227));
    EXPECT_EQ(pixelAt(box, 39, 10), QColor(255, 255, 255));
}

TEST(PictureBox, WithoutBorderThePictureStartsAtTheCorner) {
    PictureBox box;
    box.resize(20, 20);
    box.setBorderStyle(PictureBox::kBorderNone);
    box.setBackColor(Qt::green);
    box.setPicture(solid(3, 3, Qt::red));
    EXPECT_EQ(box.clientRect(), QRect(0, 0, 20, 20));
    EXPECT_EQ(pixelAt(box, 0, 0), QColor(Qt::red));
    EXPECT_EQ(pixelAt(box, 3, 0), QColor(Qt::green));
    EXPECT_EQ(pixelAt(box, 19, 19), QColor(Qt::green));
}

TEST(PictureBox, PictureLargerThanTheBoxIsCutAtTheClientArea) {
    PictureBox box;
    box.resize(10, 10);
    box.setPicture(solid(50, 50, Qt::red));
    EXPECT_EQ(box.size(), QSize(10, 10));
    EXPECT_EQ(pixelAt(box, 9, 9), QColor(255, 255, 255));
    EXPECT_EQ(pixelAt(box, 7, 7), QColor(Qt::red));
}

TEST(PictureBox, AutoSizeTakesThePictureSizePlusTheBorder) {
    PictureBox box;
    box.resize(100, 100);
    box.setAutoSize(true);
    EXPECT_EQ(box.size(), QSize(100, 100)) << "no picture: the box keeps its size";
    box.setPicture(solid(640, 480, Qt::red));
    EXPECT_EQ(box.size(), QSize(644, 484));
    box.setBorderStyle(PictureBox::kBorderNone);
    EXPECT_EQ(box.size(), QSize(640, 480));
    box.setPicture(solid(397, 298, Qt::red));
    EXPECT_EQ(box.size(), QSize(397, 298));

    PictureBox fixed;
    fixed.resize(30, 30);
    fixed.setPicture(solid(640, 480, Qt::red));
    EXPECT_EQ(fixed.size(), QSize(30, 30));
}

TEST(PictureBox, ChildrenStayAtTheirClientPositionWhenTheBorderChanges) {
    PictureBox box;
    box.resize(200, 200);
    auto* child = new QLineEdit(&box);
    child->move(40, 48);
    box.placeChildrenInClientArea();
    EXPECT_EQ(child->pos(), QPoint(42, 50));
    box.placeChildrenInClientArea();
    EXPECT_EQ(child->pos(), QPoint(42, 50)) << "placing twice must not move twice";
    box.setBorderStyle(PictureBox::kBorderNone);
    EXPECT_EQ(child->pos(), QPoint(40, 48));
    box.setBorderStyle(PictureBox::kBorderFixedSingle);
    EXPECT_EQ(child->pos(), QPoint(42, 50));
}

TEST(PictureBox, FrameTargetDrawsVideoOnTheBackColourAndClearsIt) {
    PictureBox box;
    box.resize(30, 30);
    box.setBorderStyle(PictureBox::kBorderNone);
    box.setBackColor(Qt::white);
    workfolder::media::FrameTarget& target = box;
    target.showVideoFrame(engine::PackedImage(4, 3, engine::packColor(0, 0, 255)));
    EXPECT_TRUE(box.hasVideoFrame());
    EXPECT_EQ(pixelAt(box, 0, 0), QColor(0, 0, 255));
    EXPECT_EQ(pixelAt(box, 3, 2), QColor(0, 0, 255));
    EXPECT_EQ(pixelAt(box, 4, 2), QColor(Qt::white));
    target.clearVideoFrame();
    EXPECT_FALSE(box.hasVideoFrame());
    EXPECT_EQ(pixelAt(box, 0, 0), QColor(Qt::white));
}

TEST(PictureBox, IsFoundByItsWindowHandleAndStillRendersAsANativeChild) {
    QWidget window;
    window.resize(60, 40);
    auto* box = new PictureBox(&window);
    box->setGeometry(0, 0, 60, 40);
    box->setBorderStyle(PictureBox::kBorderNone);
    const std::uint64_t handle = box->hWnd();
    EXPECT_NE(handle, 0u);
    EXPECT_EQ(box->hWnd(), handle) << "the handle is stable";
    EXPECT_EQ(QWidget::find(static_cast<WId>(handle)), box);
    box->showVideoFrame(engine::PackedImage(10, 10, engine::packColor(255, 0, 0)));
    const QImage shot = window.grab().toImage();
    EXPECT_EQ(shot.pixelColor(5, 5), QColor(Qt::red));
}

TEST(ImageControl, StretchScalesThePictureToFillTheControl) {
    QWidget parent;
    parent.resize(80, 80);
    QPalette pal = parent.palette();
    pal.setColor(QPalette::Window, Qt::white);
    parent.setPalette(pal);
    auto* image = new ImageControl(&parent);
    image->setGeometry(0, 0, 73, 57);
    image->setStretch(true);
    image->setPicture(engine::PackedImage(8, 6, engine::packColor(0, 128, 0)));
    QImage shot = parent.grab().toImage();
    EXPECT_EQ(shot.pixelColor(0, 0), QColor(0, 128, 0));
    EXPECT_EQ(shot.pixelColor(72, 56), QColor(0, 128, 0));
    EXPECT_EQ(shot.pixelColor(73, 57), QColor(Qt::white));

    image->setStretch(false);
    shot = parent.grab().toImage();
    EXPECT_EQ(shot.pixelColor(7, 5), QColor(0, 128, 0));
    EXPECT_EQ(shot.pixelColor(8, 6), QColor(Qt::white)) << "unstretched: drawn at its own size";

    image->clearPicture();
    EXPECT_EQ(parent.grab().toImage().pixelColor(0, 0), QColor(Qt::white));
}

}  // namespace
}  // namespace strobo::windows
