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

StageButtonsLock::StageButtonsLock(MainWindow& form1, EndButton end) {
    std::vector<QPushButton*> buttons = {form1.Command1, form1.Command2, form1.Command3,
                                         form1.Command5};
    if (end == kWithEndButton) buttons.push_back(form1.Command4);
    for (QPushButton* button : buttons) {
        m_buttons.emplace_back(button, button->isEnabled());
        button->setEnabled(false);
    }
}

StageButtonsLock::~StageButtonsLock() {
    for (const auto& [button, enabled] : m_buttons) button->setEnabled(enabled);
}

}  // namespace strobo::windows
