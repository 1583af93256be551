#include "windows/composition/composition_window.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include "engine/composition.h"
#include "engine/scaling.h"
#include "ui_composition_window.h"
#include "windows/composition/build_preparation.h"
#include "windows/composition/time_step_label.h"
#include "windows/contactsheet/contact_sheet_window.h"
#include "windows/extraction/playback_window.h"
#include "windows/main/dialogs.h"
#include "windows/main/main_window.h"
#include "windows/main/picture_box.h"
#include "windows/main/window_set.h"
#include "workfolder/numbers.h"
#include "workfolder/qt_image.h"

namespace strobo::windows {

CompositionWindow::CompositionWindow(WindowSet& windows) : StoredWindow(windows) {
    Ui::Composition ui;
    ui.setupUi(this);
    List1 = ui.List1;
    Picture1 = ui.Picture1;
    Picture2 = ui.Picture2;
    Picture3 = ui.Picture3;
    Picture4 = ui.Picture4;
    Command1 = ui.Command1;
    Command2 = ui.Command2;
    operationNote = ui.operationNote;
    applyStoredLayout();
    connect(Command1, &QPushButton::clicked, this, &CompositionWindow::runBuild);
    connect(Command2, &QPushButton::clicked, this, &CompositionWindow::finish);
}

CompositionWindow::~CompositionWindow() = default;

void CompositionWindow::onLoad() {
    m_workFolder = windows().form1().Text1->text().toStdString();
    Command2->hide();
    setProperty("scaleMode", 3);
    for (PictureBox* box : {Picture1, Picture2, Picture3}) {
        box->setBorderStyle(PictureBox::kBorderNone);
        box->setProperty("scaleMode", 3);
    }
    Picture1->setAutoSize(true);
    Picture2->setAutoSize(true);
    Picture3->setAutoSize(false);
    Picture3->setBackColor(QColor(240, 240, 240));
    List1->clear();
    for (std::string_view text : engine::kOperationListTexts) {
        List1->addItem(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    }
    List1->setCurrentRow(engine::kOperationMax);
}

namespace wf = workfolder;

namespace {

std::string buildFailureMessage(const wf::Failure& failure) {
    std::string advice;
    switch (failure.kind) {
        case wf::FailureKind::BackgroundMissing:
            advice =
                "作業フォルダーに Sstrobe.bmp を置いてから、もう一度「実　行」を押してください。";
            break;
        case wf::FailureKind::NumberOutOfRange:
        case wf::FailureKind::NumberIsNaN:
            advice = "使用する写真の範囲を確かめてください。";
            break;
        default:
            advice =
                "ファイルを確かめてから、もう一度「実　行」を押すか、「メニューに戻る」を押してくだ"
                "さ"
                "い。ここまでに作ったストロボ写真は残っています。";
    }
    return "ストロボ写真の作成を中止しました。\n" + wf::japaneseText(failure) + "\n" + advice;
}

}  // namespace

void CompositionWindow::ScalePicture(std::int16_t& percent) {
    const engine::PackedImage frame = workfolder::fromQImage(Picture4->picture());
    const auto [w, h] = stages::scaledFrameSize(frame.width, frame.height, percent);
    Picture2->setPicture(engine::scaleImage(frame, w, h));
}

void CompositionWindow::cancelBuild() {
    if (m_build) m_build->cancel();
}

void CompositionWindow::takeOver() {
    if (isLoaded() && !m_build) {
        m_workFolder = windows().form1().Text1->text().toStdString();
        Command1->show();
        Command2->hide();
    }
    windows().bringToFront(*this);
}

void CompositionWindow::runBuild() {
    if (m_build) return;
    Command1->hide();
    const stages::FrameRange range = windows().form3().typedRange();
    const std::int64_t every = windows().form3().interval();
    operationNote->hide();
    const QString note = prepareBuild(windows(), m_workFolder, range, every, *List1);
    stages::BuildResult result;
    {
        // The end button stays: ending the program stops the build after its current step.
        StageButtonsLock lock(windows().form1());
        stages::StrobeBuild build(windows().files(), m_workFolder);
        build.setOperation(static_cast<engine::CompositionOperation>(List1->currentRow()));
        build.setEvery(every);
        m_build = &build;
        result = build.run(range, this);
        m_build = nullptr;
    }
    if (result.cancelled) return;
    operationNote->setText(note);
    operationNote->setVisible(result.completed && !note.isEmpty());
    if (!result.completed) {
        windows().dialogs().messageBox(buildFailureMessage(*result.failure));
        // A borderless window with no button left would trap the user: offer both ways on.
        Command1->show();
    }
    if (result.completed) {
        m_usedFrameFiles = result.frameFiles;
        showTimeStep(*this, m_usedFrameFiles);
    }
    Command2->show();
    Q_EMIT buildFinished(result.completed);
}

void CompositionWindow::stepStarted() {
    windows().dialogs().setWaitCursor(true);
}

void CompositionWindow::showComposed(const engine::PackedImage& composed) {
    Picture3->setPicture(composed);
    Picture3->repaint();
    if (windows().yield()) windows().yield()();
}

void CompositionWindow::stepEnded() {
    windows().dialogs().setWaitCursor(false);
}

void CompositionWindow::finish() {
    std::vector<wf::Failure> failures;
    try {
        const std::int32_t frameCount = wf::toInt32(
            wf::textToNumber(wf::fixedBuffer255(windows().form2().Text1->text().toStdString())));
        failures = stages::deleteFrameFiles(windows().files(), m_workFolder, frameCount).failures;
    } catch (const wf::FailureError& error) {
        failures.push_back(error.failure());
    }
    if (!failures.empty()) {
        std::string text = "次の写真ファイルを削除できませんでした（" +
                           std::to_string(failures.size()) + " 件）。\n";
        for (std::size_t k = 0; k < failures.size() && k < 5; ++k) {
            text += wf::japaneseText(failures[k]) + "\n";
        }
        windows().dialogs().messageBox(text);
    }
    hide();
    windows().form1().stageEnded(MainStage::Composition, StageEnd::Completed);
    windows().bringToFront(windows().form1());
}

}  // namespace strobo::windows
