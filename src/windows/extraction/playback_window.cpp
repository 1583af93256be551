#include "windows/extraction/playback_window.h"

#include "ui_playback_window.h"

namespace strobo::windows {

PlaybackWindow::PlaybackWindow(WindowSet& windows) : StoredWindow(windows) {
    Ui::Form2 ui;
    ui.setupUi(this);
    Picture1 = ui.Picture1;
    Text1 = ui.Text1;
    Text2 = ui.Text2;
    applyStoredLayout();
}

}  // namespace strobo::windows
