#include "windows/composition/composition_window.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include "engine/composition.h"
#include "engine/scaling.h"
#include "ui_composition_window.h"
#include "windows/contactsheet/contact_sheet_window.h"
#include "windows/extraction/playback_window.h"
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

void CompositionWindow::ScalePicture(std::int16_t& percent) {
    const engine::PackedImage frame = workfolder::fromQImage(Picture4->picture());
    const auto [w, h] = scaledFrameSize(frame.width, frame.height, percent);
    Picture2->setPicture(engine::scaleImage(frame, w, h));
}

void CompositionWindow::cancelBuild() {
    if (m_build) m_build->cancel();
}

void CompositionWindow::runBuild() {
    if (m_build) return;
    Command1->hide();
    ContactSheetWindow& form3 = windows().form3();
    BuildReport report;
    {
        // The end button stays: ending the program stops the build after its current step.
        StageButtonsLock lock(windows().form1());
        StrobeBuild build(windows().services(), m_workFolder);
        build.setOperation(static_cast<engine::CompositionOperation>(List1->currentRow()));
        m_build = &build;
        report =
            build.run(form3.Text1->text().toStdString(), form3.Text2->text().toStdString(), this);
        m_build = nullptr;
    }
    if (report.cancelled) return;
    if (!report.completed) {
        windows().services().messageBox(report.failure);
        // A borderless window with no button left would trap the user: offer both ways on.
        Command1->show();
    }
    Command2->show();
    Q_EMIT buildFinished(report.completed);
}

void CompositionWindow::showComposed(const engine::PackedImage& composed) {
    Picture3->setPicture(composed);
    Picture3->repaint();
}

void CompositionWindow::finish() {
    const FinishReport report = deleteFrameFiles(windows().services(), m_workFolder,
                                                 windows().form2().Text1->text().toStdString());
    if (!report.failures.empty()) {
        std::string text = "次の写真ファイルを削除できませんでした（" +
                           std::to_string(report.failures.size()) + " 件）。\n";
        for (std::size_t k = 0; k < report.failures.size() && k < 5; ++k) {
            text += report.failures[k] + "\n";
        }
        windows().services().messageBox(text);
    }
    hide();
    MainWindow& form1 = windows().form1();
    form1.Command2->setEnabled(false);
    form1.show();
}

}  // namespace strobo::windows
