#include "stages/background/base_images.h"

#include <algorithm>

#include "engine/scaling.h"
#include "stages/composition/strobe_build.h"
#include "stages/make/median_background.h"
#include "workfolder/file_names.h"

namespace strobo::stages {

namespace wf = workfolder;

namespace {

engine::PackedImage shrunkFrameFile(wf::FileServices& files, std::string_view folder,
                                    std::int64_t n) {
    const engine::PackedImage frame = files.loadPicture(wf::frameFile(folder, n));
    const auto [w, h] = scaledFrameSize(frame.width, frame.height, kScalePercent);
    return engine::scaleImage(frame, w, h);
}

}  // namespace

std::vector<std::string> existingBaseImages(wf::FileServices& files, std::string_view folder) {
    std::vector<std::string> existing;
    for (const std::string& file : {wf::baseStrobeImage(folder), wf::pristineBaseImage(folder)}) {
        if (files.fileExists(file)) existing.push_back(file);
    }
    return existing;
}

engine::PackedImage laidOnStrobePicture(const engine::PackedImage& picture) {
    engine::PackedImage out(kStrobeWidth, kStrobeHeight, 0);
    for (int y = 0; y < std::min(picture.height, out.height); ++y) {
        std::copy_n(picture.row(y), std::min(picture.width, out.width), out.row(y));
    }
    return out;
}

std::optional<engine::PackedImage> windowMedianBackground(wf::FileServices& files,
                                                          std::string_view folder,
                                                          std::int64_t frameCount,
                                                          const Progress& progress) {
    const engine::PackedImage first = shrunkFrameFile(files, folder, 1);
    const std::vector<std::int64_t> samples = evenlySpacedIndexes(
        std::max<std::int64_t>(frameCount, 1), medianSampleLimit(first.width, first.height));
    MedianAccumulator median(first.width, first.height, static_cast<int>(samples.size()));
    const auto total = static_cast<std::int64_t>(samples.size());
    for (const std::int64_t index : samples) {
        const engine::PackedImage shrunk =
            index == 0 ? first : shrunkFrameFile(files, folder, index + 1);
        if (shrunk.width != first.width || shrunk.height != first.height) {
            throw wf::FailureError(wf::Failure{
                wf::FailureKind::FrameSizesDiffer, wf::frameFile(folder, index + 1), {}, {}});
        }
        median.add(shrunk);
        if (progress && !progress(Phase::Median, median.count(), total)) return std::nullopt;
    }
    return laidOnStrobePicture(median.median());
}

BaseImagesResult makeBaseImages(wf::FileServices& files, std::string_view folder,
                                BaseImageKind kind, std::int64_t frameCount, bool replaceExisting,
                                const Progress& progress) {
    BaseImagesResult result;
    if (!replaceExisting) {
        result.existing = existingBaseImages(files, folder);
        if (!result.existing.empty()) return result;
    }
    try {
        engine::PackedImage picture;
        switch (kind) {
            case BaseImageKind::Median: {
                auto median = windowMedianBackground(files, folder, frameCount, progress);
                if (!median) {
                    result.stopped = true;
                    return result;
                }
                picture = std::move(*median);
                break;
            }
            case BaseImageKind::FirstFrame:
                picture = laidOnStrobePicture(shrunkFrameFile(files, folder, 1));
                break;
            case BaseImageKind::Black:
                picture = engine::PackedImage(kStrobeWidth, kStrobeHeight, 0);
                break;
        }
        const std::string base = wf::baseStrobeImage(folder);
        files.savePicture(picture, base);
        result.written.push_back(base);
        const std::string pristine = wf::pristineBaseImage(folder);
        files.copyFile(base, pristine);
        result.written.push_back(pristine);
    } catch (const std::exception& error) {
        result.failure = wf::failureOf(error);
    }
    return result;
}

}  // namespace strobo::stages
