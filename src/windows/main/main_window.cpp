#include "windows/main/main_window.h"

#include <QPushButton>

#include "ui_main_window.h"

namespace strobo::windows {

MainWindow::MainWindow(WindowSet& windows) : StoredWindow(windows) {
    Ui::Form1 ui;
    ui.setupUi(this);
    Label1 = ui.Label1;
    Command1 = ui.Command1;
    Command2 = ui.Command2;
    Command3 = ui.Command3;
    Command4 = ui.Command4;
    Command5 = ui.Command5;
    Text1 = ui.Text1;
    applyStoredLayout();
}

void MainWindow::stageEnded(MainStage stage, StageEnd end, bool wroteFrames) {
    m_work = afterStage(m_work, stage, end, wroteFrames);
    applyButtonRules();
}

void MainWindow::applyButtonRules() {
    const MainButtons on = mainButtons(m_work);
    Command1->setEnabled(on.command1);
    Command2->setEnabled(on.command2);
    Command3->setEnabled(on.command3);
    Command4->setEnabled(on.command4);
    Command5->setEnabled(on.command5);
}

StageButtonsLock::StageButtonsLock(MainWindow& form1) : m_form1(form1) {
    ++m_form1.m_work.running;
    m_form1.applyButtonRules();
}

StageButtonsLock::~StageButtonsLock() {
    --m_form1.m_work.running;
    m_form1.applyButtonRules();
}

}  // namespace strobo::windows
