#include "windows/output/animation_window.h"

#include <QTimer>

#include "ui_animation_window.h"

namespace strobo::windows {

AnimationWindow::AnimationWindow(WindowSet& windows) : StoredWindow(windows) {
    Ui::Form5 ui;
    ui.setupUi(this);
    Picture1 = ui.Picture1;
    Command1 = ui.Command1;
    Command2 = ui.Command2;
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(kTimerInterval);
    applyStoredLayout();
}

}  // namespace strobo::windows
