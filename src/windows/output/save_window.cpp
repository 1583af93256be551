#include "windows/output/save_window.h"

#include <QLineEdit>
#include <QPushButton>

#include "ui_save_window.h"
#include "windows/contactsheet/contact_sheet_window.h"
#include "windows/main/main_window.h"
#include "windows/main/window_set.h"
#include "windows/output/save_series.h"
#include "workfolder/numbers.h"

namespace strobo::windows {

SaveWindow::SaveWindow(WindowSet& windows) : StoredWindow(windows) {
    Ui::Form4 ui;
    ui.setupUi(this);
    Command1 = ui.Command1;
    Command2 = ui.Command2;
    applyStoredLayout();
    connect(Command1, &QPushButton::clicked, this, &SaveWindow::saveClicked);
    connect(Command2, &QPushButton::clicked, this, &SaveWindow::resetClicked);
}

void SaveWindow::onLoad() {
    m_workFolder = windows().form1().Text1->text().toStdString();
}

void SaveWindow::saveClicked() {
    ContactSheetWindow& form3 = windows().form3();
    const output::FrameRangeText range{
        form3.Text1->text().toStdString(),
        workfolder::fixedBuffer255(form3.Text2->text().toStdString())};
    if (output::saveSeries(windows().services(), m_workFolder, range) != output::SaveOutcome::Saved)
        return;
    Command1->setText(QStringLiteral("完了しました。"));
    Command1->setEnabled(false);
}

void SaveWindow::resetClicked() {
    if (!output::resetBaseImage(windows().services(), m_workFolder)) return;
    hide();
    MainWindow& form1 = windows().form1();
    form1.Command3->setEnabled(false);
    form1.show();
}

}  // namespace strobo::windows
