#include "workfolder/file_services.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <csignal>
#include <fstream>
#include <functional>
#include <random>

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

TEST(BitmapFile, FastRowsMatchThePlainOnesAndStayInsideTheRow) {
    std::mt19937 random(7);
    std::vector<engine::PackedColor> row(41);
    for (engine::PackedColor& c : row) c = static_cast<engine::PackedColor>(random() & 0xFFFFFF);
    // Every width up to a few steps of the wide path, so each length of tail comes up; the
    // bytes just past the row belong to the next row or the padding and must stay as they were.
    for (int width = 0; width <= 41; ++width) {
        std::vector<std::uint8_t> fast(width * 3 + 16, 0xA5);
        std::vector<std::uint8_t> plain(fast);
        encodeBitmapRow24(row.data(), fast.data(), width);
        encodeBitmapRow24Plain(row.data(), plain.data(), width);
        EXPECT_EQ(fast, plain) << width;
    }
}

TEST_F(FileServicesTest, SaveAndCopyReplaceAnExistingFileEvenOfALongName) {
    // 250 bytes: the longest names leave no room for a suffix on the name being replaced.
    const std::string name = path((std::string(246, 'n') + ".bmp").c_str());
    m_services.savePicture(gradient(50, 50), name);
    m_services.savePicture(gradient(3, 2), name);
    EXPECT_EQ(m_services.loadPicture(name).width, 3);
    m_services.savePicture(gradient(4, 4), path("b.bmp"));
    m_services.copyFile(path("b.bmp"), name);
    EXPECT_EQ(m_services.loadPicture(name), gradient(4, 4));
}

TEST_F(FileServicesTest, LoadsBitmapsOfCommonDepths) {
    QImage base = toQImage(gradient(16, 8));
    for (auto format : {QImage::Format_Indexed8, QImage::Format_RGB16, QImage::Format_Mono,
                        QImage::Format_ARGB32}) {
        QImage converted = base.convertToFormat(format);
        ASSERT_TRUE(converted.save(QString::fromStdString(path("d.bmp")), "BMP"));
        EXPECT_EQ(m_services.loadPicture(path("d.bmp")), fromQImage(converted)) << format;
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

    // Headers that lie: more pixels than any picture we accept (refused before any
    // allocation, and without overflow at the largest sizes a header can state), and pixel
    // data that would start at 0, inside the headers or past the end of the file.
    auto withHeader = [&](const char* name, int at, quint32 value, int at2 = 0,
                          quint32 value2 = 0) {
        QByteArray edited = bytes;
        for (auto [where, v] : {std::pair{at, value}, std::pair{at2, value2}}) {
            if (where == 0) continue;
            for (int i = 0; i < 4; ++i)
                edited[where + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
        }
        QFile file(QString::fromStdString(path(name)));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(edited);
        return path(name);
    };
    expectError(withHeader("huge.bmp", 18, 100000, 22, 100000), "大きすぎ");
    expectError(withHeader("widest.bmp", 18, 0x7FFFFFFF, 22, 0x7FFFFFFF), "大きすぎ");
    expectError(withHeader("at0.bmp", 10, 0), "画素データの位置");
    expectError(withHeader("inheader.bmp", 10, 30), "画素データの位置");
    expectError(withHeader("beyond.bmp", 10, static_cast<quint32>(bytes.size()) + 1),
                "画素データの位置");
}

// Writes past the limit fail part-way with EFBIG, as they would on a full disk.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) : m_oldHandler(std::signal(SIGXFSZ, SIG_IGN)) {
        getrlimit(RLIMIT_FSIZE, &m_old);
        rlimit limit = m_old;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }

  private:
    rlimit m_old{};
    void (*m_oldHandler)(int);
};

TEST_F(FileServicesTest, AWriteFailingPartWayLeavesTheOldFileWholeAndSaysWhy) {
    const engine::PackedImage old = gradient(8, 8);
    m_services.savePicture(old, path("saved.bmp"));
    m_services.savePicture(old, path("copied.bmp"));
    m_services.savePicture(gradient(200, 200), path("big.bmp"));  // 120 000 bytes of pixels
    std::vector<std::string> failures;
    {
        const FileSizeLimit limit(64 * 1024);
        auto attempt = [&](const std::function<void()>& write) {
            try {
                write();
                ADD_FAILURE() << "no error";
            } catch (const ServiceError& e) {
                failures.push_back(e.what());
            }
        };
        attempt([&] { m_services.savePicture(gradient(200, 200), path("saved.bmp")); });
        attempt([&] { m_services.copyFile(path("big.bmp"), path("copied.bmp")); });
        attempt([&] { m_services.savePicture(gradient(200, 200), path("new.bmp")); });
    }
    ASSERT_EQ(failures.size(), 3u);
    const char* names[] = {"saved.bmp", "copied.bmp", "new.bmp"};
    for (int i = 0; i < 3; ++i) {
        EXPECT_NE(failures[i].find(path(names[i])), std::string::npos) << failures[i];
        EXPECT_NE(failures[i].find("（ファイルの大きさの上限を超えます）"), std::string::npos)
            << failures[i];
    }
    EXPECT_EQ(m_services.loadPicture(path("saved.bmp")), old);
    EXPECT_EQ(m_services.loadPicture(path("copied.bmp")), old);
    // Nothing half-written is left, under the target's name or a temporary one.
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList({"big.bmp", "copied.bmp", "saved.bmp"}));
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
