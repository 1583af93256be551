#include "stages/contactsheet/thumbnails.h"

#include <algorithm>

#include "engine/scaling.h"
#include "workfolder/file_names.h"

namespace strobo::stages {

namespace wf = workfolder;

ThumbnailSheet loadThumbnails(wf::FileServices& files, const std::string& framePrefix,
                              std::int32_t frameCount) {
    ThumbnailSheet sheet;
    sheet.pictures = static_cast<std::int64_t>(frameCount) - 1;
    const std::int64_t shown = std::min<std::int64_t>(sheet.pictures, kThumbnailCount);
    for (std::int64_t k = 1; k <= shown; ++k) {
        try {
            const engine::PackedImage frame =
                files.loadPicture(wf::frameFileFromPrefix(framePrefix, k + 1));
            sheet.thumbnails.push_back(
                engine::scaleImage(frame, kThumbnailWidth, kThumbnailHeight));
        } catch (const wf::FailureError& error) {
            sheet.thumbnails.emplace_back();
            if (sheet.unreadable++ == 0) sheet.firstFailure = error.failure();
        }
    }
    return sheet;
}

}  // namespace strobo::stages
