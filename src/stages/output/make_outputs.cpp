#include "stages/output/make_outputs.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <future>
#include <optional>

#include "stages/output/position_marks.h"
#include "stages/output/positions_csv.h"
#include "stages/output/share_series.h"
#include "workfolder/file_names.h"
#include "workfolder/numbers.h"
#include "workfolder/picture_formats.h"

namespace strobo::stages {

namespace wf = workfolder;

namespace {

// The progress asked to stop.
struct StopRequested {};

[[noreturn]] void failWith(wf::FailureKind kind, const std::string& file,
                           std::string osReason = {}) {
    throw wf::FailureError(wf::Failure{kind, file, {}, std::move(osReason)});
}

// A private folder in the output's own folder, so that moving the pictures out of it never
// crosses file systems and the system's temporary folder need not hold a large series.
class PrivateFolderBeside {
  public:
    explicit PrivateFolderBeside(const std::string& output)
        : m_pattern(QFileInfo(QString::fromStdString(output)).absolutePath() +
                    QStringLiteral("/.strobo-XXXXXX")),
          m_folder(m_pattern) {
        if (!m_folder.isValid()) {
            failWith(wf::FailureKind::ScratchFolderNotMade, m_pattern.toStdString(),
                     m_folder.errorString().toStdString());
        }
    }
    std::string path() const { return m_folder.path().toStdString(); }

  private:
    QString m_pattern;
    QTemporaryDir m_folder;
};

std::vector<std::string> finalNames(const std::string& output, std::size_t count) {
    const std::string prefix = wf::savePrefix(output);
    const std::string_view extension = wf::pictureExtension(wf::pictureFormatOf(output));
    std::vector<std::string> names;
    names.reserve(count);
    for (std::size_t k = 1; k <= count; ++k) {
        names.push_back(prefix + wf::numberText(static_cast<double>(k)) + std::string(extension));
    }
    return names;
}

void run(const MakeRequest& request, const MakeExtras& extras, const Progress& progress,
         MakeAndShareResult& result) {
    refuseOutputsOntoClip(request.clip, {extras.csv, extras.gif, extras.mp4});
    const wf::PictureFormat format = wf::pictureFormatOf(request.output);
    const bool wantPositions = !extras.csv.empty() || extras.labels;
    const bool native = request.size == FrameSize::Native;

    MakeRequest road = request;
    std::optional<ObjectFinder> finder;
    // The search of the last frame runs beside the road's decoding of the next one; the result
    // lands in its position when the next frame comes, or after the road.
    std::future<std::optional<MovedObject>> search;
    const auto settle = [&] {
        if (search.valid()) result.positions.back().object = search.get();
    };
    if (wantPositions) {
        // Black is no picture of the scene, and a background file of the window road is a
        // picture of the 400 x 300 strobe picture, not of the clip: the object is then found
        // against the clip's median.
        if (!native || request.background == BackgroundKind::Black) {
            std::optional<engine::PackedImage> median =
                positionsBackground(request.clip, {}, progress, request.decoderThreads);
            if (!median) throw StopRequested{};
            finder.emplace(std::move(*median));
        } else {
            road.backgroundUsed = [&](const engine::PackedImage& composedOnto) {
                finder.emplace(composedOnto);
            };
        }
        road.frameUsed = [&](std::int64_t frame, double time, engine::PackedImage picture) {
            ObjectPosition position;
            position.image = static_cast<int>(result.positions.size()) + 1;
            position.frame = frame;
            position.time = time;
            settle();
            result.positions.push_back(position);
            search = std::async(std::launch::async, [&finder, picture = std::move(picture)] {
                return finder->find(picture);
            });
        };
    }

    std::optional<PrivateFolderBeside> privateFolder;
    const bool rewrite = extras.labels || format != wf::PictureFormat::Bmp;
    if (rewrite) {
        privateFolder.emplace(request.output);
        road.output = privateFolder->path() + "/series.bmp";
    }

    result.made = makeStrobe(road, progress);
    settle();
    if (result.made.stopped) throw StopRequested{};
    if (result.made.failure) throw wf::FailureError(*result.made.failure);

    if (rewrite) {
        // The clip as shown, which the positions are in.
        const int clipWidth = finder ? finder->background().width : 0;
        const int clipHeight = finder ? finder->background().height : 0;
        const std::vector<std::string> targets =
            finalNames(request.output, result.made.saved.size());
        const PictureMapping mapping =
            native ? PictureMapping{}
                   : windowPictureMapping(playbackVideoArea(clipWidth, clipHeight), clipWidth,
                                          clipHeight);
        if (!copySeriesPictures(result.made.saved, targets, format,
                                extras.labels ? &result.positions : nullptr, mapping, progress)) {
            throw StopRequested{};
        }
        result.made.saved = targets;
    }

    if (!extras.csv.empty()) {
        writePositionsCsv(extras.csv, result.positions);
        result.shared.push_back(extras.csv);
    }
    if (!writeSeriesAnimations(result.made.saved, extras.gif, extras.mp4, progress)) {
        throw StopRequested{};
    }
    if (!extras.gif.empty()) result.shared.push_back(extras.gif);
    if (!extras.mp4.empty()) result.shared.push_back(extras.mp4);
}

}  // namespace

MakeAndShareResult makeAndShare(const MakeRequest& request, const MakeExtras& extras,
                                const Progress& progress) {
    MakeAndShareResult result;
    try {
        run(request, extras, progress, result);
    } catch (const StopRequested&) {
        result.made.stopped = true;
        result.made.failure.reset();
        result.made.saved.clear();
        result.shared.clear();
    } catch (const std::exception& error) {
        result.made.failure = wf::failureOf(error);
        result.made.saved.clear();
        result.shared.clear();
    }
    return result;
}

}  // namespace strobo::stages
