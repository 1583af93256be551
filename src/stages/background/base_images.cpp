#include "stages/background/base_images.h"

#include <algorithm>

#include "engine/scaling.h"
#include "stages/composition/strobe_build.h"
#include "stages/extraction/frame_facts.h"
#include "stages/make/median_background.h"
#include "workfolder/file_names.h"

namespace strobo::stages {

namespace wf = workfolder;

namespace {

// The part of a shrunk frame that is video: the whole picture when its video is not known.
PictureArea videoPart(const ShrunkFrame& shrunk) {
    return shrunk.video.value_or(PictureArea{0, 0, shrunk.picture.width, shrunk.picture.height});
}

// The video part cut to what the strobe picture shows of it.
PictureArea shownPart(const ShrunkFrame& shrunk) {
    PictureArea part = videoPart(shrunk);
    part.width = std::max(0, std::min(part.width, kStrobeWidth - part.x));
    part.height = std::max(0, std::min(part.height, kStrobeHeight - part.y));
    return part;
}

}  // namespace

ShrunkFrameSource frameFileSource(wf::FileServices& files, std::string_view folder) {
    std::optional<PictureArea> videoArea;
    if (const auto facts = readFrameFacts(folder)) videoArea = facts->videoArea;
    return [&files, folder = std::string(folder), videoArea](std::int64_t n) {
        return shrinkFrame(files.loadPicture(wf::frameFile(folder, n)), videoArea);
    };
}

std::vector<std::string> existingBaseImages(wf::FileServices& files, std::string_view folder) {
    std::vector<std::string> existing;
    for (const std::string& file : {wf::baseStrobeImage(folder), wf::pristineBaseImage(folder)}) {
        if (files.fileExists(file)) existing.push_back(file);
    }
    return existing;
}

engine::PackedImage laidOnStrobePicture(const ShrunkFrame& shrunk) {
    engine::PackedImage out(kStrobeWidth, kStrobeHeight, 0);
    const PictureArea part = shownPart(shrunk);
    for (int y = part.y; y < part.y + part.height; ++y) {
        std::copy_n(shrunk.picture.row(y) + part.x, part.width, out.row(y) + part.x);
    }
    return out;
}

std::optional<engine::PackedImage> windowMedianBackground(const ShrunkFrameSource& frames,
                                                          std::int64_t frameCount,
                                                          const Progress& progress) {
    ShrunkFrame first = frames(1);
    const PictureArea part = shownPart(first);
    engine::PackedImage background(kStrobeWidth, kStrobeHeight, 0);
    if (part.isEmpty()) return background;
    const std::vector<std::int64_t> samples = evenlySpacedIndexes(
        std::max<std::int64_t>(frameCount, 1), medianSampleLimit(part.width, part.height));
    MedianAccumulator median(part.width, part.height, static_cast<int>(samples.size()));
    const auto total = static_cast<std::int64_t>(samples.size());
    engine::PackedImage video(part.width, part.height);
    for (const std::int64_t index : samples) {
        const ShrunkFrame shrunk = index == 0 ? std::move(first) : frames(index + 1);
        if (!(shownPart(shrunk) == part)) {
            throw wf::FailureError(wf::Failure{wf::FailureKind::FrameSizesDiffer,
                                               "test" + std::to_string(index + 1) + ".bmp",
                                               {},
                                               {}});
        }
        for (int y = 0; y < part.height; ++y) {
            std::copy_n(shrunk.picture.row(part.y + y) + part.x, part.width, video.row(y));
        }
        median.add(video);
        if (progress && !progress(Phase::Median, median.count(), total)) return std::nullopt;
    }
    const engine::PackedImage middle = median.median();
    for (int y = 0; y < part.height; ++y) {
        std::copy_n(middle.row(y), part.width, background.row(part.y + y) + part.x);
    }
    return background;
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
                auto median =
                    windowMedianBackground(frameFileSource(files, folder), frameCount, progress);
                if (!median) {
                    result.stopped = true;
                    return result;
                }
                picture = std::move(*median);
                break;
            }
            case BaseImageKind::FirstFrame:
                picture = laidOnStrobePicture(frameFileSource(files, folder)(1));
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
