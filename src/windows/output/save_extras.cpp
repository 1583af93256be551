#include "windows/output/save_extras.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QWidget>
#include <algorithm>

#include "stages/measure/object_positions.h"
#include "stages/output/position_marks.h"
#include "stages/output/positions_csv.h"
#include "stages/output/share_series.h"
#include "windows/composition/composition_window.h"
#include "windows/extraction/playback_window.h"
#include "windows/main/main_window.h"
#include "windows/main/window_set.h"
#include "workfolder/file_services.h"
#include "workfolder/numbers.h"
#include "workfolder/picture_formats.h"

namespace strobo::windows {

namespace wf = workfolder;

namespace {

// Two rows in the band above the save button, which starts at y = 96.
QCheckBox* makeBox(QWidget& form4, const char* name, const QString& text, QRect geometry) {
    auto* box = new QCheckBox(text, &form4);
    box->setObjectName(QString::fromLatin1(name));
    box->setGeometry(geometry);
    return box;
}

bool wantsPositions(const SaveExtras& extras) {
    return extras.csv->isChecked() || extras.labels->isChecked();
}

std::string extrasFailure(const wf::Failure& failure) {
    return "写真は保存しましたが、次のものを書き出せませんでした。\n" + wf::japaneseText(failure);
}

}  // namespace

SaveExtras::SaveExtras(QWidget& form4) {
    csv = makeBox(form4, "CheckCsv", QStringLiteral("位置と時刻の表 (CSV)"), {72, 14, 160, 22});
    gif = makeBox(form4, "CheckGif", QStringLiteral("GIFアニメ"), {242, 14, 100, 22});
    mp4 = makeBox(form4, "CheckMp4", QStringLiteral("MP4動画"), {352, 14, 100, 22});
    png = makeBox(form4, "CheckPng", QStringLiteral("最後の写真をPNGでも"), {72, 42, 160, 22});
    labels = makeBox(form4, "CheckLabels", QStringLiteral("印と番号を付ける"), {242, 42, 200, 22});
}

std::vector<std::string> SaveExtras::targets(const std::string& prefix) const {
    std::vector<std::string> files;
    if (csv->isChecked()) files.push_back(prefix + ".csv");
    if (gif->isChecked()) files.push_back(prefix + ".gif");
    if (mp4->isChecked()) files.push_back(prefix + ".mp4");
    if (png->isChecked()) files.push_back(prefix + ".png");
    return files;
}

std::optional<std::string> SaveExtras::refusal(WindowSet& windows,
                                               const std::string& prefix) const {
    const std::string& clip = windows.form1().aviPath;
    if (wantsPositions(*this) && (clip.empty() || windows.composition().usedFrameFiles().empty())) {
        return std::string(
            "位置を測るには、この作業の中で動画からフレームを書き出し、ストロボ写真を作っておく"
            "必要があります。「位置と時刻の表」と「印と番号を付ける」を外して保存してください。");
    }
    try {
        if (!clip.empty()) stages::refuseOutputsOntoClip(clip, targets(prefix));
    } catch (const wf::FailureError& error) {
        return wf::japaneseText(error.failure());
    }
    return std::nullopt;
}

std::optional<std::string> SaveExtras::write(WindowSet& windows, const std::string& prefix,
                                             const std::vector<std::string>& saved) const {
    if (saved.empty()) return std::nullopt;
    try {
        std::vector<stages::ObjectPosition> positions;
        stages::PictureMapping mapping;
        if (wantsPositions(*this)) {
            const std::vector<std::int64_t>& frameFiles = windows.composition().usedFrameFiles();
            const std::int64_t frameCount =
                wf::toInt32(wf::textToNumber(windows.form2().Text1->text().toStdString()));
            stages::PositionsRequest request;
            request.clip = windows.form1().aviPath;
            request.frames = stages::clipFramesOfFrameFiles(frameFiles, frameCount);
            // The pictures saved are the ones built; a range typed anew since gives no more.
            request.frames.resize(std::min(request.frames.size(), saved.size()));
            const stages::PositionsResult measured = stages::measurePositions(request);
            if (measured.failure) return extrasFailure(*measured.failure);
            positions = measured.positions;
            mapping = stages::windowPictureMapping(
                stages::playbackVideoArea(measured.clipWidth, measured.clipHeight),
                measured.clipWidth, measured.clipHeight);
        }
        if (labels->isChecked()) {
            stages::copySeriesPictures(saved, saved, wf::pictureFormatOf(saved.front()), &positions,
                                       mapping);
        }
        if (csv->isChecked()) stages::writePositionsCsv(prefix + ".csv", positions);
        if (png->isChecked()) {
            wf::FileServices files;
            wf::savePictureAs(files.loadPicture(saved.back()), prefix + ".png",
                              wf::PictureFormat::Png);
        }
        stages::writeSeriesAnimations(saved, gif->isChecked() ? prefix + ".gif" : std::string(),
                                      mp4->isChecked() ? prefix + ".mp4" : std::string());
    } catch (const std::exception& error) {
        return extrasFailure(wf::failureOf(error));
    }
    return std::nullopt;
}

}  // namespace strobo::windows
