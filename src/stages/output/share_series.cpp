#include "stages/output/share_series.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <system_error>

#include "workfolder/file_services.h"
#include "workfolder/media/animation_writer.h"

namespace strobo::stages {

namespace wf = workfolder;
namespace media = workfolder::media;

namespace {

[[noreturn]] void animationFailure(const std::string& file, const std::string& detail) {
    throw wf::FailureError(wf::Failure{wf::FailureKind::AnimationNotWritten, file, detail, {}});
}

engine::PackedImage loadSameSize(wf::FileServices& files, const std::string& picture,
                                 const engine::PackedImage& first) {
    engine::PackedImage image = files.loadPicture(picture);
    if (image.width != first.width || image.height != first.height) {
        throw wf::FailureError(wf::Failure{wf::FailureKind::FrameSizesDiffer, picture, {}, {}});
    }
    return image;
}

std::filesystem::path nativePath(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

}  // namespace

void refuseOutputsOntoClip(const std::string& clip, const std::vector<std::string>& outputs) {
    const std::filesystem::path clipPath = nativePath(clip);
    for (const std::string& output : outputs) {
        if (output.empty()) continue;
        std::error_code ec;
        const std::filesystem::path outputPath = nativePath(output);
        // A name not there yet cannot be the clip, which is.
        const bool same = std::filesystem::exists(outputPath, ec) &&
                          std::filesystem::equivalent(clipPath, outputPath, ec);
        if (same && !ec) {
            throw wf::FailureError(wf::Failure{wf::FailureKind::SaveOntoClip, output, {}, {}});
        }
    }
}

bool copySeriesPictures(const std::vector<std::string>& sources,
                        const std::vector<std::string>& targets, wf::PictureFormat format,
                        const std::vector<ObjectPosition>* positions, const PictureMapping& mapping,
                        const Progress& progress) {
    wf::FileServices files;
    const auto total = static_cast<std::int64_t>(sources.size());
    for (std::size_t k = 0; k < sources.size() && k < targets.size(); ++k) {
        engine::PackedImage picture = files.loadPicture(sources[k]);
        if (positions != nullptr) {
            const std::size_t shown = std::min(k + 1, positions->size());
            const std::vector<ObjectPosition> marks(positions->begin(),
                                                    positions->begin() + static_cast<long>(shown));
            drawPositionMarks(picture, marks, mapping);
        }
        wf::savePictureAs(picture, targets[k], format);
        if (progress && !progress(Phase::Share, static_cast<std::int64_t>(k) + 1, total)) {
            return false;
        }
    }
    return true;
}

bool writeSeriesAnimations(const std::vector<std::string>& pictures, const std::string& gif,
                           const std::string& mp4, const Progress& progress) {
    if (pictures.empty() || (gif.empty() && mp4.empty())) return true;
    wf::FileServices files;
    const engine::PackedImage first = files.loadPicture(pictures.front());
    const auto passes = static_cast<std::int64_t>(gif.empty() ? 1 : 2);
    const auto total = passes * static_cast<std::int64_t>(pictures.size());
    std::int64_t done = 0;
    const auto step = [&] { return !progress || progress(Phase::Share, ++done, total); };

    media::AnimationOptions options;
    options.width = first.width;
    options.height = first.height;
    options.pictureMilliseconds = kSharedPictureMilliseconds;
    try {
        if (!gif.empty()) {
            media::GifPalette palette(first.width, first.height);
            for (const std::string& picture : pictures) {
                palette.add(loadSameSize(files, picture, first));
                if (!step()) return false;
            }
            options.palette = palette.finish();
        }
        std::unique_ptr<media::AnimationWriter> gifWriter;
        std::unique_ptr<media::AnimationWriter> mp4Writer;
        if (!gif.empty()) {
            options.format = media::AnimationFormat::Gif;
            gifWriter = std::make_unique<media::AnimationWriter>(gif, options);
        }
        if (!mp4.empty()) {
            options.format = media::AnimationFormat::Mp4;
            mp4Writer = std::make_unique<media::AnimationWriter>(mp4, options);
        }
        for (const std::string& picture : pictures) {
            const engine::PackedImage image = loadSameSize(files, picture, first);
            if (gifWriter) gifWriter->addPicture(image);
            if (mp4Writer) mp4Writer->addPicture(image);
            if (!step()) return false;
        }
        if (gifWriter) gifWriter->finish();
        if (mp4Writer) mp4Writer->finish();
    } catch (const media::MediaError& error) {
        const std::string reason = error.detail().empty() ? error.osReason() : error.detail();
        animationFailure(error.file().empty() ? (gif.empty() ? mp4 : gif) : error.file(), reason);
    }
    return true;
}

}  // namespace strobo::stages
