#include "windows/contactsheet/contact_sheet_flow.h"

#include <QLineEdit>
#include <algorithm>

#include "engine/scaling.h"
#include "windows/contactsheet/contact_sheet_window.h"
#include "windows/extraction/playback_window.h"
#include "windows/main/image_control.h"
#include "windows/main/main_window.h"
#include "windows/main/window_set.h"
#include "workfolder/file_names.h"
#include "workfolder/numbers.h"

namespace strobo::windows {

namespace wf = workfolder;

namespace {

constexpr const char* kNoExtraction =
    "まだフレームがありません。先に「AVIファイルからＢＭＰを作成する」でフレームを作ってください"
    "。";

}  // namespace

void openContactSheet(WindowSet& windows) {
    wf::PlatformServices& services = windows.services();
    const std::string& prefix = windows.form1().framePrefix;
    std::int32_t frameCount = 0;
    try {
        frameCount =
            wf::toInt32(wf::strictTextToNumber(windows.form2().Text1->text().toStdString()));
    } catch (const wf::ServiceError&) {
        services.messageBox(kNoExtraction);
        return;
    }
    if (prefix.empty()) {
        services.messageBox(kNoExtraction);
        return;
    }

    ContactSheetWindow& form3 = windows.form3();
    form3.show();
    const std::int64_t last = static_cast<std::int64_t>(frameCount) - 1;
    const std::int64_t shown = std::min<std::int64_t>(last, ContactSheetWindow::kThumbnailCount);
    int unreadable = 0;
    std::string firstFailure;
    for (std::int64_t k = 1; k <= shown; ++k) {
        ImageControl* image = form3.Image1(static_cast<int>(k));
        try {
            // The control stretches its picture to 73 x 57; only that much is kept, so ninety
            // thumbnails cost ninety small pictures rather than ninety frames.
            const engine::PackedImage frame =
                services.loadPicture(wf::frameFileFromPrefix(prefix, k + 1));
            image->setPicture(engine::scaleImage(frame, ContactSheetWindow::kThumbnailWidth,
                                                 ContactSheetWindow::kThumbnailHeight));
        } catch (const wf::ServiceError& error) {
            image->clearPicture();
            if (unreadable++ == 0) firstFailure = error.what();
        }
    }
    if (unreadable > 0) {
        services.messageBox("読み込めないフレームが " + wf::numberText(unreadable) +
                            " 枚あり、その写真は空欄になっています。\n" + firstFailure);
    }
    if (last > ContactSheetWindow::kThumbnailCount) {
        services.messageBox("写真は " + wf::numberText(static_cast<std::int64_t>(last)) +
                            " 枚ありますが、表示できるのは最初の 90 枚だけです。");
    }
}

}  // namespace strobo::windows
