#include "windows/output/save_window.h"

#include "ui_save_window.h"

namespace strobo::windows {

SaveWindow::SaveWindow(WindowSet& windows) : StoredWindow(windows) {
    Ui::Form4 ui;
    ui.setupUi(this);
    Command1 = ui.Command1;
    Command2 = ui.Command2;
    applyStoredLayout();
}

}  // namespace strobo::windows
