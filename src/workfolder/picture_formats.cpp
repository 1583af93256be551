#include "workfolder/picture_formats.h"

#include <QBuffer>
#include <QByteArray>
#include <algorithm>
#include <cctype>
#include <span>

#include "workfolder/atomic_file.h"
#include "workfolder/file_failure.h"
#include "workfolder/file_services.h"
#include "workfolder/qt_image.h"

namespace strobo::workfolder {

PictureFormat pictureFormatOf(std::string_view chosenPath) {
    const std::size_t nameStart = chosenPath.find_last_of("/\\");
    const std::string_view name =
        nameStart == std::string_view::npos ? chosenPath : chosenPath.substr(nameStart + 1);
    constexpr std::string_view png = ".png";
    if (name.size() < png.size()) return PictureFormat::Bmp;
    const std::string_view tail = name.substr(name.size() - png.size());
    const bool isPng = std::equal(tail.begin(), tail.end(), png.begin(), [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) == b;
    });
    return isPng ? PictureFormat::Png : PictureFormat::Bmp;
}

std::string_view pictureExtension(PictureFormat format) {
    return format == PictureFormat::Png ? ".png" : ".bmp";
}

void savePictureAs(const engine::PackedImage& picture, const std::string& path,
                   PictureFormat format) {
    if (format == PictureFormat::Bmp) {
        FileServices files;
        files.savePicture(picture, path);
        return;
    }
    if (picture.isNull()) throw fileFailure(FileFailureKind::NothingToSave, path);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    // Opaque RGB: the unused byte of the packed colour is no alpha.
    if (!toQImage(picture).convertToFormat(QImage::Format_RGB888).save(&buffer, "PNG")) {
        throw fileFailure(FileFailureKind::PictureNotWritten, path, "PNG");
    }
    const std::span<const std::uint8_t> data(
        reinterpret_cast<const std::uint8_t*>(bytes.constData()),
        static_cast<std::size_t>(bytes.size()));
    if (const std::error_code error = replaceFileContents(path, data)) {
        throw fileFailure(FileFailureKind::PictureNotWritten, path, {}, error);
    }
}

}  // namespace strobo::workfolder
