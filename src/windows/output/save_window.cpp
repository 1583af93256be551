#include "windows/output/save_window.h"

#include <QCheckBox>
#include <QDir>
#include <QPushButton>
#include <optional>

#include "stages/output/save_series.h"
#include "ui_save_window.h"
#include "windows/contactsheet/contact_sheet_window.h"
#include "windows/main/dialogs.h"
#include "windows/main/main_window.h"
#include "windows/main/window_set.h"
#include "windows/output/clip_size_save.h"
#include "windows/output/output_flow.h"
#include "windows/output/save_extras.h"
#include "workfolder/file_names.h"

namespace strobo::windows {

namespace wf = workfolder;

namespace {

std::string saveFailureMessage(const stages::SaveResult& result) {
    const wf::Failure& failure = *result.failure;
    if (result.outcome == stages::SaveOutcome::DeleteFailed) {
        return "写真は保存しましたが、作業フォルダーのストロボ写真を削除できませんでした。\n" +
               wf::japaneseText(failure);
    }
    switch (failure.kind) {
        case wf::FailureKind::NumberOutOfRange:
        case wf::FailureKind::NumberIsNaN:
            return "使用する写真の範囲が正しくありません。" + wf::japaneseText(failure);
        case wf::FailureKind::StrobeMissing:
            return "ストロボ写真が見つからないため保存できません: " + wf::quoted(failure.file);
        case wf::FailureKind::NothingToSave:
            return wf::japaneseText(failure) + "。\n使用する写真の範囲を確かめてください。";
        case wf::FailureKind::SaveOntoWorkFiles:
            return wf::japaneseText(failure);
        default:
            return "保存できませんでした。作業フォルダーのストロボ写真はそのまま残してあります。"
                   "\n" +
                   wf::japaneseText(failure);
    }
}

std::string resetFailureMessage(const wf::Failure& failure) {
    if (failure.kind == wf::FailureKind::PristineMissing) {
        return "元の背景画像が見つからないため初期化できません: " + wf::quoted(failure.file);
    }
    return "初期化できませんでした。\n" + wf::japaneseText(failure);
}

}  // namespace

SaveWindow::SaveWindow(WindowSet& windows) : StoredWindow(windows) {
    Ui::Form4 ui;
    ui.setupUi(this);
    Command1 = ui.Command1;
    Command2 = ui.Command2;
    nativeSizeBox = ui.nativeSizeBox;
    m_extras = std::make_unique<SaveExtras>(*this);
    applyStoredLayout();
    // After the stored controls in the keyboard order, without a stored index of its own.
    QWidget::setTabOrder(Command2, nativeSizeBox);
    connect(Command1, &QPushButton::clicked, this, &SaveWindow::saveClicked);
    connect(Command2, &QPushButton::clicked, this, &SaveWindow::resetClicked);
}

SaveWindow::~SaveWindow() = default;

void SaveWindow::saveClicked() {
    // The folder and the range as they are now, never as they were when the window first opened.
    const std::string folder = windows().form1().workFolder;
    const stages::FrameRange range = windows().form3().seriesRange();
    if (const auto why = whyNoSeries(windows())) {
        windows().dialogs().messageBox(*why);
        return;
    }
    FileDialogRequest request;
    // There is no drive D: here; the dialog opens in the user's home folder instead.
    request.initialFolder = QDir::homePath().toStdString();
    const std::optional<std::string> chosen = windows().dialogs().showSaveDialog(request);
    if (!chosen || chosen->empty()) return;
    const std::string prefix = wf::savePrefix(*chosen);
    if (const auto refusal = m_extras->refusal(windows(), prefix)) {
        windows().dialogs().messageBox(*refusal);
        return;
    }
    stages::SaveResult result;
    std::optional<std::string> extrasFailure;
    {
        WaitCursor wait(windows().dialogs());
        result = stages::saveSeries(windows().files(), folder, range, prefix);
        if (!result.failure) extrasFailure = m_extras->write(windows(), prefix, result.saved);
    }
    if (result.failure) {
        windows().dialogs().messageBox(saveFailureMessage(result));
        return;
    }
    if (extrasFailure) windows().dialogs().messageBox(*extrasFailure);
    if (nativeSizeBox->isChecked()) saveInClipSize(windows(), folder, *chosen, this);
    Command1->setText(QStringLiteral("完了しました。"));
    Command1->setEnabled(false);
    windows().form1().stageEnded(MainStage::Save, StageEnd::Completed);
}

void SaveWindow::resetClicked() {
    const std::string& folder = windows().form1().workFolder;
    if (folder.empty()) {
        windows().dialogs().messageBox(*whyNoSeries(windows()));
        return;
    }
    if (const auto failure = stages::resetBaseImage(windows().files(), folder)) {
        windows().dialogs().messageBox(resetFailureMessage(*failure));
        return;
    }
    hide();
    // The save button is done for the run once a save was made there (see saveClicked); leaving
    // without one keeps it.
    windows().bringToFront(windows().form1());
}

}  // namespace strobo::windows
