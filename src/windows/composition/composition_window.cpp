#include "windows/composition/composition_window.h"

#include "ui_composition_window.h"

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
}

}  // namespace strobo::windows
