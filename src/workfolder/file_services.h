#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "engine/packed_image.h"
#include "workfolder/failure.h"

namespace strobo::workfolder {

// The file store: pictures and files on the local file system, paths in UTF-8. Every failure is
// a FailureError naming the file. Safe to use from several threads at once (the strobe build
// reads the next frame ahead, the background saver writes beside the loop).
class FileServices {
  public:
    // Pictures with more pixels than this are refused before they are decoded.
    static constexpr long long kMaxPicturePixels = 16384LL * 16384LL;

    // Reads a bitmap (or any picture Qt reads). Fails for a missing, unreadable, truncated or
    // absurdly large file.
    engine::PackedImage loadPicture(const std::string& path);
    // Writes a 24-bit Windows bitmap, replacing an existing file.
    void savePicture(const engine::PackedImage& picture, const std::string& path);
    // Writes a bitmap file's bytes made elsewhere (see startBitmap24), failing as savePicture.
    void saveBitmap(std::span<const std::uint8_t> bytes, const std::string& path);

    // Copies with overwrite. Fails when the source is missing or the destination cannot be
    // written.
    void copyFile(const std::string& source, const std::string& destination);
    // Fails when the file is missing or cannot be removed.
    void deleteFile(const std::string& path);
    bool fileExists(const std::string& path);
    bool folderExists(const std::string& path);
    // Creates the folder and its parents.
    void createFolder(const std::string& path);
};

}  // namespace strobo::workfolder
