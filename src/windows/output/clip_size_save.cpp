#include "windows/output/clip_size_save.h"

#include <QListWidget>
#include <QProgressDialog>
#include <algorithm>

#include "stages/make/make_strobe.h"
#include "windows/composition/composition_window.h"
#include "windows/contactsheet/contact_sheet_window.h"
#include "windows/main/dialogs.h"
#include "windows/main/main_window.h"
#include "windows/main/window_set.h"
#include "workfolder/file_names.h"
#include "workfolder/numbers.h"

namespace strobo::windows {

namespace wf = workfolder;

namespace {

constexpr const char* kNotMade = "動画の大きさの写真は作れませんでした。\n";

stages::BackgroundKind backgroundLike(wf::FileServices& files, const std::string& workFolder) {
    try {
        const engine::PackedImage base = files.loadPicture(wf::baseStrobeImage(workFolder));
        const bool black = std::all_of(base.pixels.begin(), base.pixels.end(),
                                       [](engine::PackedColor c) { return (c & 0xFFFFFF) == 0; });
        return black ? stages::BackgroundKind::Black : stages::BackgroundKind::Median;
    } catch (const wf::FailureError&) {
        return stages::BackgroundKind::Median;
    }
}

}  // namespace

std::string clipSizePicturePath(const std::string& chosenPath) {
    return wf::savePrefix(chosenPath) + "_full.bmp";
}

void saveInClipSize(WindowSet& windows, const std::string& workFolder,
                    const std::string& chosenPath, QWidget* parent) {
    Dialogs& dialogs = windows.dialogs();
    stages::MakeRequest request;
    request.clip = windows.form1().aviPath;
    if (request.clip.empty()) {
        dialogs.messageBox(std::string(kNotMade) + "動画ファイルがわかりません。");
        return;
    }
    const stages::FrameRange range = windows.form3().typedRange();
    try {
        request.first = wf::toInt32(range.first + 1) - 1;
        request.last = wf::toInt32(range.last + 1) - 1;
    } catch (const wf::FailureError& error) {
        dialogs.messageBox(kNotMade + wf::japaneseText(error.failure()));
        return;
    }
    if (request.first < 0 || request.first > request.last) {
        dialogs.messageBox(std::string(kNotMade) + "使用する写真の範囲を確かめてください。");
        return;
    }
    request.every = windows.form3().interval();
    const int row = windows.composition().List1->currentRow();
    request.operation =
        row < 0 ? engine::kOperationMax : static_cast<engine::CompositionOperation>(row);
    request.background = backgroundLike(windows.files(), workFolder);
    request.size = stages::FrameSize::Native;
    request.output = chosenPath;
    request.finalPicture = clipSizePicturePath(chosenPath);
    if (windows.files().fileExists(request.finalPicture) &&
        !dialogs.askYesNo(wf::quoted(request.finalPicture) +
                          " はすでにあります。置き換えますか？")) {
        return;
    }

    QProgressDialog progress(QStringLiteral("動画の大きさの写真を作っています…"),
                             QStringLiteral("中止"), 0, 0, parent);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(0);
    progress.setAutoClose(false);
    progress.setAutoReset(false);
    const stages::MakeResult made = stages::makeStrobe(
        request, [&progress](stages::Phase, std::int64_t done, std::int64_t total) {
            progress.setMaximum(static_cast<int>(total));
            progress.setValue(static_cast<int>(done));
            return !progress.wasCanceled();
        });
    progress.close();
    if (made.stopped) {
        dialogs.messageBox("動画の大きさの写真は作りませんでした（中止しました）。");
    } else if (made.failure) {
        dialogs.messageBox(kNotMade + wf::japaneseText(*made.failure));
    } else {
        dialogs.messageBox("動画の大きさの写真も保存しました: " + wf::quoted(request.finalPicture));
    }
}

}  // namespace strobo::windows
