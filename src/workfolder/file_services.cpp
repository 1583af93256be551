#include "workfolder/file_services.h"

#include <QFile>
#include <QImage>
#include <QImageReader>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "workfolder/bitmap_file.h"
#include "workfolder/qt_image.h"

namespace strobo::workfolder {

namespace fs = std::filesystem;

namespace {

QString qpath(const std::string& path) {
    return QString::fromStdString(path);
}

fs::path fspath(const std::string& path) {
    return fs::path(path);
}

// A bitmap's header gives the size of the whole file; a shorter file was cut off. Qt fills the
// missing rows with black instead of failing, so look before decoding.
bool bitmapLooksTruncated(const std::string& path) {
    QFile file(qpath(path));
    if (!file.open(QIODevice::ReadOnly)) return false;
    const QByteArray head = file.read(54);
    if (head.size() < 2 || head[0] != 'B' || head[1] != 'M') return false;
    if (head.size() < 54) return true;
    auto u32 = [&](int at) {
        return static_cast<quint32>(static_cast<unsigned char>(head[at])) |
               static_cast<quint32>(static_cast<unsigned char>(head[at + 1])) << 8 |
               static_cast<quint32>(static_cast<unsigned char>(head[at + 2])) << 16 |
               static_cast<quint32>(static_cast<unsigned char>(head[at + 3])) << 24;
    };
    auto s32 = [&](int at) { return static_cast<qint32>(u32(at)); };
    const quint32 dataOffset = u32(10);
    const qint32 width = s32(18);
    const qint32 height = s32(22);
    const int bitCount = static_cast<unsigned char>(head[28]) | static_cast<unsigned char>(head[29])
                                                                    << 8;
    const quint32 compression = u32(30);
    if (compression != 0 || width <= 0 || bitCount <= 0) return false;  // let the decoder judge
    const long long stride = ((static_cast<long long>(width) * bitCount + 31) / 32) * 4;
    const long long rows = height < 0 ? -static_cast<long long>(height) : height;
    return static_cast<long long>(file.size()) < static_cast<long long>(dataOffset) + stride * rows;
}

}  // namespace

engine::PackedImage FileServices::loadPicture(const std::string& path) {
    std::error_code ec;
    if (!fs::is_regular_file(fspath(path), ec)) {
        throw ServiceError("画像ファイルが見つかりません: " + workfolder::quoted(path));
    }
    const auto tooLarge = [&](long long w, long long h) {
        return ServiceError("画像が大きすぎて読み込めません（" + std::to_string(w) + " × " +
                            std::to_string(h) + "）: " + workfolder::quoted(path));
    };
    {
        std::ifstream in(fspath(path), std::ios::binary | std::ios::ate);
        const std::streamoff size = in ? static_cast<std::streamoff>(in.tellg()) : -1;
        if (size < 0)
            throw ServiceError("画像ファイルを読み込めません: " + workfolder::quoted(path));
        // Anything far bigger than the largest picture we accept is not read into memory.
        const std::streamoff limit = kMaxPicturePixels * 4 + (1 << 20);
        // The same few sizes are read again and again; keeping one buffer spares the zero
        // fill and the fresh pages a new one would cost every time.
        static thread_local std::vector<std::uint8_t> bytes;
        bytes.resize(static_cast<std::size_t>(std::min(size, limit)));
        in.seekg(0);
        in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        if (!in) throw ServiceError("画像ファイルを読み込めません: " + workfolder::quoted(path));
        BitmapCheck check = BitmapCheck::NotSimple;
        auto picture = decodeSimpleBitmap(bytes, kMaxPicturePixels, check);
        if (bytes.capacity() > (std::size_t{16} << 20)) std::vector<std::uint8_t>().swap(bytes);
        if (picture) return std::move(*picture);
        if (check == BitmapCheck::Truncated) {
            throw ServiceError("画像ファイルが途中で切れています: " + workfolder::quoted(path));
        }
    }
    QImageReader reader(qpath(path));
    reader.setDecideFormatFromContent(true);
    const QSize size = reader.size();
    if (size.isValid() &&
        static_cast<long long>(size.width()) * size.height() > kMaxPicturePixels) {
        throw tooLarge(size.width(), size.height());
    }
    if (bitmapLooksTruncated(path)) {
        throw ServiceError("画像ファイルが途中で切れています: " + workfolder::quoted(path));
    }
    QImage image;
    if (!reader.read(&image) || image.isNull()) {
        throw ServiceError("画像ファイルを読み込めません（" + reader.errorString().toStdString() +
                           "）: " + workfolder::quoted(path));
    }
    return fromQImage(image);
}

namespace {

bool writeWhole(const fs::path& file, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    out.close();
    return static_cast<bool>(out);
}

}  // namespace

void FileServices::savePicture(const engine::PackedImage& picture, const std::string& path) {
    if (picture.isNull()) throw ServiceError("保存する画像が空です: " + workfolder::quoted(path));
    static thread_local std::vector<std::uint8_t> bytes;
    encodeBitmap24(picture, bytes);
    const fs::path target = fspath(path);
    std::error_code ec;
    if (!fs::exists(target, ec)) {
        // Nothing to lose yet: write in place, and leave no half file behind on failure.
        if (!writeWhole(target, bytes)) {
            fs::remove(target, ec);
            throw ServiceError("画像ファイルを書き込めません: " + workfolder::quoted(path));
        }
        return;
    }
    // A file stands there: write beside it and rename over it, so a failed save never leaves
    // half a file where a good one stood.
    fs::path temp = target;
    temp += ".strobo-tmp";
    if (!writeWhole(temp, bytes)) {
        fs::remove(temp, ec);
        throw ServiceError("画像ファイルを書き込めません: " + workfolder::quoted(path));
    }
    fs::rename(temp, target, ec);
    if (ec) {
        std::error_code ignored;
        fs::remove(temp, ignored);
        throw ServiceError("画像ファイルを書き込めません（" + ec.message() +
                           "）: " + workfolder::quoted(path));
    }
}

void FileServices::copyFile(const std::string& source, const std::string& destination) {
    std::error_code ec;
    if (!fs::is_regular_file(fspath(source), ec)) {
        throw ServiceError("コピー元のファイルが見つかりません: " + workfolder::quoted(source));
    }
    fs::copy_file(fspath(source), fspath(destination), fs::copy_options::overwrite_existing, ec);
    if (ec) {
        throw ServiceError("ファイルをコピーできません（" + ec.message() + "）: " +
                           workfolder::quoted(source) + " → " + workfolder::quoted(destination));
    }
}

void FileServices::deleteFile(const std::string& path) {
    std::error_code ec;
    if (!fs::is_regular_file(fspath(path), ec)) {
        throw ServiceError("削除するファイルが見つかりません: " + workfolder::quoted(path));
    }
    if (!fs::remove(fspath(path), ec) || ec) {
        throw ServiceError("ファイルを削除できません（" + ec.message() +
                           "）: " + workfolder::quoted(path));
    }
}

bool FileServices::fileExists(const std::string& path) {
    std::error_code ec;
    return fs::is_regular_file(fspath(path), ec);
}

bool FileServices::folderExists(const std::string& path) {
    std::error_code ec;
    return fs::is_directory(fspath(path), ec);
}

void FileServices::createFolder(const std::string& path) {
    std::error_code ec;
    fs::create_directories(fspath(path), ec);
    if (ec || !folderExists(path)) {
        throw ServiceError("フォルダーを作成できません（" + ec.message() +
                           "）: " + workfolder::quoted(path));
    }
}

}  // namespace strobo::workfolder
