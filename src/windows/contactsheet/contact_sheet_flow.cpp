#include "windows/contactsheet/contact_sheet_flow.h"

#include <QLineEdit>
#include <QSpinBox>
#include <algorithm>
#include <optional>
#include <variant>

#include "stages/contactsheet/thumbnails.h"
#include "windows/contactsheet/contact_sheet_window.h"
#include "windows/contactsheet/range_check.h"
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

std::optional<std::int32_t> frameCountOf(WindowSet& windows) {
    if (windows.form1().framePrefix.empty()) return std::nullopt;
    try {
        return wf::toInt32(wf::strictTextToNumber(windows.form2().Text1->text().toStdString()));
    } catch (const wf::FailureError&) {
        return std::nullopt;
    }
}

}  // namespace

void openContactSheet(WindowSet& windows) {
    Dialogs& dialogs = windows.dialogs();
    const std::string& prefix = windows.form1().framePrefix;
    const std::optional<std::int32_t> frameCount = frameCountOf(windows);
    if (!frameCount) {
        dialogs.messageBox(kNoExtraction);
        return;
    }
    if (*frameCount < 2) {
        dialogs.messageBox("フレームが " + wf::numberText(std::max(*frameCount, 0)) +
                           " 枚しかないので、ストロボ写真に使える写真がありません。\n"
                           "「AVIファイルからＢＭＰを作成する」で、もっと長い動画からフレームを"
                           "作ってください。");
        return;
    }

    ContactSheetWindow& form3 = windows.form3();
    windows.bringToFront(form3);
    const stages::ThumbnailSheet sheet =
        stages::loadThumbnails(windows.files(), prefix, *frameCount);
    // Thumbnails past this clip's frames are cleared: a picture left from an earlier clip would
    // offer a number that is no longer there.
    for (std::size_t k = 1; k <= ContactSheetWindow::kThumbnailCount; ++k) {
        ImageControl* image = form3.Image1(static_cast<int>(k));
        if (k > sheet.thumbnails.size() || sheet.thumbnails[k - 1].isNull()) {
            image->clearPicture();
        } else {
            image->setPicture(sheet.thumbnails[k - 1]);
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
        const std::string hidden = sheet.pictures == ContactSheetWindow::kThumbnailCount + 1
                                       ? "91 番"
                                       : "91 番から " + wf::numberText(sheet.pictures) + " 番まで";
        dialogs.messageBox("写真は " + wf::numberText(sheet.pictures) +
                           " 枚ありますが、表示できるのは最初の 90 枚だけです。\n" + hidden +
                           "の写真も、番号を入力すれば使えます。");
    }
}

bool acceptTypedRange(WindowSet& windows) {
    Dialogs& dialogs = windows.dialogs();
    const std::optional<std::int32_t> frameCount = frameCountOf(windows);
    if (!frameCount) {
        dialogs.messageBox(kNoExtraction);
        return false;
    }
    const ContactSheetWindow& form3 = windows.form3();
    const auto range = understandRange(form3.Text1->text().toStdString(),
                                       form3.Text2->text().toStdString(), *frameCount);
    if (const auto* why = std::get_if<std::string>(&range)) {
        dialogs.messageBox(*why);
        return false;
    }
    dialogs.messageBox(
        understoodText(std::get<UnderstoodRange>(range), form3.intervalBox->value()) +
        "の写真でストロボ写真を作ります。");
    return true;
}

}  // namespace strobo::windows
