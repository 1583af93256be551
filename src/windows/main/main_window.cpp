#include "windows/main/main_window.h"

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

}  // namespace strobo::windows
