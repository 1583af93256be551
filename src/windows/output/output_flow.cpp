#include "windows/output/output_flow.h"

#include <QPushButton>

#include "stages/frame_range.h"
#include "windows/contactsheet/contact_sheet_window.h"
#include "windows/main/dialogs.h"
#include "windows/main/main_window.h"
#include "windows/main/window_set.h"
#include "windows/output/animation_window.h"
#include "windows/output/save_window.h"
#include "workfolder/file_names.h"
#include "workfolder/numbers.h"

namespace strobo::windows {

namespace wf = workfolder;

namespace {

constexpr const char* kMakeSeriesFirst =
    "先に「AVIファイルからＢＭＰを作成する」と「ＢＭＰの画像合成をする」でストロボ写真を作って"
    "ください。";

}  // namespace

std::optional<std::string> whyNoSeries(WindowSet& windows) {
    const std::string& folder = windows.form1().workFolder;
    if (folder.empty()) return std::string("まだストロボ写真がありません。\n") + kMakeSeriesFirst;
    const stages::FrameRange range = windows.form3().seriesRange();
    std::int32_t first = 0;
    std::int32_t last = 0;
    try {
        first = wf::toInt32(range.first);
        last = wf::toInt32(range.last);
    } catch (const wf::FailureError& error) {
        return "使用する写真の範囲が正しくありません。" + wf::japaneseText(error.failure());
    }
    if (first > last) {
        return "使用する写真の範囲（" + wf::numberText(first) + " 番から " + wf::numberText(last) +
               " 番）には写真がありません。\n「ＢＭＰの画像合成をする」で範囲を入力してください。";
    }
    // The build writes strobe files s to e + 1; the first picture added to the background is the
    // one a save starts with.
    const std::string firstPicture = wf::strobeFile(folder, static_cast<std::int64_t>(first) + 1);
    if (!windows.files().fileExists(firstPicture)) {
        return "ストロボ写真がありません: " + wf::quoted(firstPicture) + "\n" + kMakeSeriesFirst;
    }
    return std::nullopt;
}

void openSaveWindow(WindowSet& windows) {
    if (const auto why = whyNoSeries(windows)) {
        windows.dialogs().messageBox(*why);
        return;
    }
    SaveWindow& form4 = windows.form4();
    // A series is there that no save has taken yet (a save removes its series): offer the save.
    form4.Command1->setText(QStringLiteral("ファイルを保存する"));
    form4.Command1->setEnabled(true);
    windows.form1().hide();
    windows.bringToFront(form4);
}

void openAnimation(WindowSet& windows) {
    if (const auto why = whyNoSeries(windows)) {
        windows.dialogs().messageBox(*why);
        return;
    }
    AnimationWindow& form5 = windows.form5();
    windows.bringToFront(form5);
    form5.startPlayback();
}

}  // namespace strobo::windows
