#include "windows/contactsheet/contact_sheet_flow.h"

#include <QLineEdit>
#include <algorithm>

#include "stages/contactsheet/thumbnails.h"
#include "windows/contactsheet/contact_sheet_window.h"
#include "windows/contactsheet/thumbnail_times.h"
#include "windows/extraction/playback_window.h"
#include "windows/main/dialogs.h"
#include "windows/main/image_control.h"
#include "windows/main/main_window.h"
#include "windows/main/window_set.h"
#include "workfolder/numbers.h"

namespace strobo::windows {

namespace wf = workfolder;

namespace {

constexpr const char* kNoExtraction =
    "まだフレームがありません。先に「AVIファイルからＢＭＰを作成する」でフレームを作ってください"
    "。";

}  // namespace

void openContactSheet(WindowSet& windows) {
    Dialogs& dialogs = windows.dialogs();
    const std::string& prefix = windows.form1().framePrefix;
    std::int32_t frameCount = 0;
    try {
        frameCount =
            wf::toInt32(wf::strictTextToNumber(windows.form2().Text1->text().toStdString()));
    } catch (const wf::FailureError&) {
        dialogs.messageBox(kNoExtraction);
        return;
    }
    if (prefix.empty()) {
        dialogs.messageBox(kNoExtraction);
        return;
    }

    ContactSheetWindow& form3 = windows.form3();
    form3.show();
    const stages::ThumbnailSheet sheet =
        stages::loadThumbnails(windows.files(), prefix, frameCount);
    for (std::size_t k = 1; k <= sheet.thumbnails.size(); ++k) {
        ImageControl* image = form3.Image1(static_cast<int>(k));
        const engine::PackedImage& thumbnail = sheet.thumbnails[k - 1];
        if (thumbnail.isNull()) {
            image->clearPicture();
        } else {
            image->setPicture(thumbnail);
        }
    }
    showThumbnailTimes(form3, stages::readFrameFacts(windows.form1().workFolder),
                       static_cast<int>(sheet.thumbnails.size()));
    if (sheet.unreadable > 0) {
        dialogs.messageBox("読み込めないフレームが " + wf::numberText(sheet.unreadable) +
                           " 枚あり、その写真は空欄になっています。\n" +
                           wf::japaneseText(*sheet.firstFailure));
    }
    if (sheet.pictures > ContactSheetWindow::kThumbnailCount) {
        dialogs.messageBox("写真は " + wf::numberText(sheet.pictures) +
                           " 枚ありますが、表示できるのは最初の 90 枚だけです。");
    }
}

}  // namespace strobo::windows
