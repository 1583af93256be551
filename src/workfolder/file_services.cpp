#include "workfolder/file_services.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QImage>
#include <QImageReader>
#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <system_error>

#include "workfolder/atomic_file.h"
#include "workfolder/bitmap_file.h"
#include "workfolder/file_failure.h"
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

// Reads up to `limit` bytes of the file into `bytes`; returns the file's whole size.
std::uint64_t readStart(const std::string& path, std::size_t limit,
                        std::vector<std::uint8_t>& bytes) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throw fileFailure(FileFailureKind::PictureUnreadable, path, {}, lastOsError());
    struct stat info {};
    std::error_code error;
    std::size_t got = 0;
    std::size_t wanted = 0;
    if (::fstat(fd, &info) != 0) {
        error = lastOsError();
    } else {
        wanted = std::min(static_cast<std::size_t>(info.st_size), limit);
        bytes.resize(wanted);
        while (got < wanted) {
            const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) error = lastOsError();
            if (n <= 0) break;
            got += static_cast<std::size_t>(n);
        }
    }
    ::close(fd);
    if (error) throw fileFailure(FileFailureKind::PictureUnreadable, path, {}, error);
    // A file that shrank while it was read is judged by what it holds now.
    bytes.resize(got);
    return got < wanted ? got : static_cast<std::uint64_t>(info.st_size);
}

ServiceError tooLarge(const std::string& path, long long width, long long height) {
    return fileFailure(FileFailureKind::PictureTooLarge, path,
                       std::to_string(width) + " × " + std::to_string(height));
}

}  // namespace

engine::PackedImage FileServices::loadPicture(const std::string& path) {
    std::error_code ec;
    if (!fs::is_regular_file(fspath(path), ec)) {
        throw fileFailure(FileFailureKind::PictureMissing, path);
    }
    {
        // Anything far bigger than the largest picture we accept is not read into memory.
        const std::size_t limit = kMaxPicturePixels * 4 + (1 << 20);
        // The same few sizes are read again and again; keeping one buffer spares the zero
        // fill and the fresh pages a new one would cost every time.
        static thread_local std::vector<std::uint8_t> bytes;
        const std::uint64_t fileSize = readStart(path, limit, bytes);
        std::optional<engine::PackedImage> picture;
        if (const std::optional<BitmapHeader> header = readBitmapHeader(bytes)) {
            // Qt fills the rows a cut-off bitmap lacks with black, and reads pixels from
            // wherever the header points; both are caught here, before any decoder runs.
            switch (checkBitmap(*header, fileSize, kMaxPicturePixels)) {
                case BitmapCheck::Sound:
                    break;
                case BitmapCheck::TooLarge:
                    throw tooLarge(path, header->width, header->height);
                case BitmapCheck::Truncated:
                    throw fileFailure(FileFailureKind::PictureTruncated, path);
                case BitmapCheck::DataMisplaced:
                    throw fileFailure(FileFailureKind::PictureDataMisplaced, path);
            }
            picture = decodeSimpleBitmap(*header, bytes);
        }
        if (bytes.capacity() > (std::size_t{16} << 20)) std::vector<std::uint8_t>().swap(bytes);
        if (picture) return std::move(*picture);
    }
    QImageReader reader(qpath(path));
    reader.setDecideFormatFromContent(true);
    const QSize size = reader.size();
    if (size.isValid() &&
        static_cast<long long>(size.width()) * size.height() > kMaxPicturePixels) {
        throw tooLarge(path, size.width(), size.height());
    }
    QImage image;
    if (!reader.read(&image) || image.isNull()) {
        throw fileFailure(FileFailureKind::PictureUnreadable, path,
                          reader.errorString().toStdString());
    }
    return fromQImage(image);
}

void FileServices::savePicture(const engine::PackedImage& picture, const std::string& path) {
    if (picture.isNull()) throw fileFailure(FileFailureKind::NothingToSave, path);
    static thread_local std::vector<std::uint8_t> bytes;
    encodeBitmap24(picture, bytes);
    saveBitmap(bytes, path);
}

void FileServices::saveBitmap(std::span<const std::uint8_t> bytes, const std::string& path) {
    if (const std::error_code error = replaceFileContents(path, bytes)) {
        throw fileFailure(FileFailureKind::PictureNotWritten, path, {}, error);
    }
}

void FileServices::copyFile(const std::string& source, const std::string& destination) {
    std::error_code ec;
    if (!fs::is_regular_file(fspath(source), ec)) {
        throw fileFailure(FileFailureKind::CopySourceMissing, source);
    }
    if (const std::error_code error = replaceWithCopy(source, destination)) {
        throw fileFailure(FileFailureKind::CopyFailed, destination, source, error);
    }
}

void FileServices::deleteFile(const std::string& path) {
    std::error_code ec;
    if (!fs::is_regular_file(fspath(path), ec)) {
        throw fileFailure(FileFailureKind::DeleteTargetMissing, path);
    }
    if (!fs::remove(fspath(path), ec) || ec) {
        throw fileFailure(FileFailureKind::DeleteFailed, path, {}, ec);
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
    if (ec || !folderExists(path))
        throw fileFailure(FileFailureKind::FolderNotCreated, path, {}, ec);
}

}  // namespace strobo::workfolder
