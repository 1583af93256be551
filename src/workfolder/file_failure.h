#pragma once

#include <cerrno>
#include <string>
#include <system_error>

#include "workfolder/failure.h"

namespace strobo::workfolder {

// What the file operations of this layer can fail at. Each has one sentence, chosen below in
// fileFailure(); the operations only say which kind, which file and why.
enum class FileFailureKind {
    PictureMissing,
    PictureUnreadable,
    PictureTruncated,
    PictureTooLarge,
    PictureDataMisplaced,
    NothingToSave,
    PictureNotWritten,
    CopySourceMissing,
    CopyFailed,
    DeleteTargetMissing,
    DeleteFailed,
    FolderNotCreated,
};

// The failure of a file operation, built from its parts: the file concerned, a detail the
// sentence needs (a picture's size, the decoder's words; for a copy, the source while `file` is
// the destination), and the operating system's reason when there is one.
ServiceError fileFailure(FileFailureKind kind, const std::string& file,
                         const std::string& detail = {}, std::error_code osReason = {});

// The operating system's reason in Japanese: the common ones translated, any other as the
// system says it behind a Japanese lead-in.
std::string osReasonText(std::error_code reason);

// The reason errno holds now.
inline std::error_code lastOsError() {
    return {errno, std::generic_category()};
}

}  // namespace strobo::workfolder
