#include "windows/composition/build_preparation.h"

#include <QLineEdit>
#include <QListWidget>

#include "stages/composition/operation_choice.h"
#include "windows/background/base_image_offer.h"
#include "windows/contactsheet/contact_sheet_window.h"
#include "windows/extraction/playback_window.h"
#include "windows/main/dialogs.h"
#include "windows/main/window_set.h"
#include "workfolder/numbers.h"

namespace strobo::windows {

namespace wf = workfolder;

namespace {

// The frame count extraction left; 0 when there is none to read.
std::int64_t frameCount(WindowSet& windows) {
    try {
        return wf::toInt32(
            wf::textToNumber(wf::fixedBuffer255(windows.form2().Text1->text().toStdString())));
    } catch (const wf::FailureError&) {
        return 0;
    }
}

}  // namespace

QString prepareBuild(WindowSet& windows, const std::string& folder, const stages::FrameRange& range,
                     std::int64_t every, QListWidget& operationList) {
    offerBaseImages(windows, folder, frameCount(windows));
    if (const auto chosen = windows.form3().chosenOperation()) {
        operationList.setCurrentRow(*chosen);
        return {};
    }
    stages::OperationChoice choice;
    {
        WaitCursor wait(windows.dialogs());
        choice = stages::chooseOperation(windows.files(), folder, range, every);
    }
    operationList.setCurrentRow(choice.operation);
    // Without files to look at the build stops and says why; there is no choice to tell.
    if (choice.failure) return {};
    const QString tone = choice.tone == stages::ObjectTone::Darker ? QStringLiteral("暗い物体")
                                                                   : QStringLiteral("明るい物体");
    return QStringLiteral("自動: %1 → %2").arg(tone, operationList.item(choice.operation)->text());
}

}  // namespace strobo::windows
