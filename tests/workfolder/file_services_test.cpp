#include "workfolder/file_services.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <fstream>

#include "workfolder/bitmap_file.h"
#include "workfolder/qt_image.h"

namespace strobo::workfolder {

namespace {

engine::PackedImage gradient(int w, int h) {
    engine::PackedImage image(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.set(x, y, engine::packColor(x * 7 % 256, y * 5 % 256, (x + y) % 256));
    return image;
}

class FileServicesTest : public ::testing::Test {
  protected:
    std::string path(const char* name) const { return (m_dir.path() + "/" + name).toStdString(); }
    QTemporaryDir m_dir;
    FileServices m_services;
};

}  // namespace

TEST(QtImage, ConversionSwapsRedAndBlueBothWays) {
    QImage q(2, 1, QImage::Format_RGB32);
    q.setPixel(0, 0, qRgb(255, 0, 0));
    q.setPixel(1, 0, qRgb(1, 2, 3));
    const engine::PackedImage p = fromQImage(q);
    EXPECT_EQ(p.at(0, 0), 255);
    EXPECT_EQ(p.at(1, 0), engine::packColor(1, 2, 3));
    EXPECT_EQ(toQImage(p).pixel(1, 0), qRgb(1, 2, 3));
}

TEST_F(FileServicesTest, SavedBitmapIs24BitAndLoadsBackExactly) {
    const engine::PackedImage image = gradient(37, 11);  // odd width: rows need padding
    m_services.savePicture(image, path("a.bmp"));
    QFile file(QString::fromStdString(path("a.bmp")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray head = file.read(30);
    EXPECT_EQ(head.left(2), "BM");
    EXPECT_EQ(static_cast<int>(head[28]), 24);
    EXPECT_EQ(m_services.loadPicture(path("a.bmp")), image);
    // Another reader sees the same pixels.
    EXPECT_EQ(fromQImage(QImage(QString::fromStdString(path("a.bmp")))), image);
}

TEST_F(FileServicesTest, ReadsBitmapsWrittenByOthersExactly) {
    const engine::PackedImage image = gradient(13, 7);
    for (auto format : {QImage::Format_RGB32, QImage::Format_RGB888, QImage::Format_ARGB32}) {
        ASSERT_TRUE(toQImage(image).convertToFormat(format).save(
            QString::fromStdString(path("q.bmp")), "BMP"));
        EXPECT_EQ(m_services.loadPicture(path("q.bmp")), image) << format;
    }
}

TEST(BitmapFile, RowPaddingIsZeroEvenInAReusedBuffer) {
    std::vector<std::uint8_t> buffer;
    encodeBitmap24(engine::PackedImage(7, 3, 0xFFFFFF), buffer);
    encodeBitmap24(engine::PackedImage(5, 3, 0x010203), buffer);
    ASSERT_EQ(buffer.size(), 54u + 16u * 3u);  // 5 pixels are 15 bytes, padded to 16
    for (int row = 0; row < 3; ++row) EXPECT_EQ(buffer[54 + 16 * row + 15], 0) << row;
    EXPECT_EQ(buffer, encodeBitmap24(engine::PackedImage(5, 3, 0x010203)));
}

TEST_F(FileServicesTest, SaveReplacesAnExistingFile) {
    m_services.savePicture(gradient(50, 50), path("a.bmp"));
    m_services.savePicture(gradient(3, 2), path("a.bmp"));
    EXPECT_EQ(m_services.loadPicture(path("a.bmp")).width, 3);
}

TEST_F(FileServicesTest, LoadsBitmapsOfCommonDepths) {
    QImage base = toQImage(gradient(16, 8));
    for (auto format : {QImage::Format_Indexed8, QImage::Format_RGB16, QImage::Format_Mono,
                        QImage::Format_ARGB32}) {
        QImage converted = base.convertToFormat(format);
        ASSERT_TRUE(converted.save(QString::fromStdString(path("d.bmp")), "BMP"));
        const engine::PackedImage loaded = m_services.loadPicture(path("d.bmp"));
        EXPECT_EQ(loaded.width, 16);
        EXPECT_EQ(loaded.height, 8);
    }
}

TEST_F(FileServicesTest, BadPicturesGiveAMessageNamingTheFile) {
    auto expectError = [&](const std::string& file, const char* words) {
        try {
            m_services.loadPicture(file);
            ADD_FAILURE() << "no error for " << file;
        } catch (const ServiceError& e) {
            const std::string what = e.what();
            EXPECT_NE(what.find(file), std::string::npos) << what;
            EXPECT_NE(what.find(words), std::string::npos) << what;
        }
    };
    expectError(path("missing.bmp"), "見つかりません");

    std::ofstream(path("text.bmp")) << "not a picture at all";
    expectError(path("text.bmp"), "読み込めません");

    m_services.savePicture(gradient(64, 64), path("whole.bmp"));
    QFile whole(QString::fromStdString(path("whole.bmp")));
    ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
    const QByteArray bytes = whole.readAll();
    QFile cut(QString::fromStdString(path("cut.bmp")));
    ASSERT_TRUE(cut.open(QIODevice::WriteOnly));
    cut.write(bytes.left(bytes.size() / 2));
    cut.close();
    expectError(path("cut.bmp"), "切れています");

    // A header that claims 100000 x 100000 pixels is refused before any allocation.
    QByteArray huge = bytes.left(54);
    auto put32 = [&](int at, quint32 v) {
        for (int i = 0; i < 4; ++i) huge[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    };
    put32(18, 100000);
    put32(22, 100000);
    QFile big(QString::fromStdString(path("huge.bmp")));
    ASSERT_TRUE(big.open(QIODevice::WriteOnly));
    big.write(huge);
    big.close();
    EXPECT_THROW(m_services.loadPicture(path("huge.bmp")), ServiceError);
}

TEST_F(FileServicesTest, CopyOverwritesAndDeleteRemoves) {
    std::ofstream(path("a")) << "new";
    std::ofstream(path("b")) << "old contents";
    m_services.copyFile(path("a"), path("b"));
    std::ifstream in(path("b"));
    std::string text;
    in >> text;
    EXPECT_EQ(text, "new");
    m_services.deleteFile(path("b"));
    EXPECT_FALSE(m_services.fileExists(path("b")));
    EXPECT_THROW(m_services.deleteFile(path("b")), ServiceError);
    EXPECT_THROW(m_services.copyFile(path("nothing"), path("c")), ServiceError);
    EXPECT_THROW(m_services.copyFile(path("a"), path("no/such/folder/c")), ServiceError);
    EXPECT_THROW(m_services.savePicture(gradient(2, 2), path("no/such/folder/c.bmp")),
                 ServiceError);
}

}  // namespace strobo::workfolder
