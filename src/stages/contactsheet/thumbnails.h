#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/packed_image.h"
#include "workfolder/failure.h"
#include "workfolder/file_services.h"

namespace strobo::stages {

// The contact sheet's thumbnails, 9 rows of 10.
constexpr int kThumbnailCount = 90;
// A thumbnail's size: its frame is shrunk to this.
constexpr int kThumbnailWidth = 73;
constexpr int kThumbnailHeight = 57;

struct ThumbnailSheet {
    // Thumbnail k (from 1) is element k - 1: frame file k + 1 shrunk to the thumbnail size, or a
    // null image where the frame file could not be read.
    std::vector<engine::PackedImage> thumbnails;
    // Pictures the frames allow (N - 1); more than kThumbnailCount are not shown.
    std::int64_t pictures = 0;
    int unreadable = 0;
    // Why the first unreadable frame file could not be read.
    std::optional<workfolder::Failure> firstFailure;
};

// Loads thumbnails 1 to min(N - 1, 90) from frame files 2 to N of the prefix. Only the shrunk
// pictures are kept, so ninety thumbnails cost ninety small pictures rather than ninety frames.
ThumbnailSheet loadThumbnails(workfolder::FileServices& files, const std::string& framePrefix,
                              std::int32_t frameCount);

}  // namespace strobo::stages
