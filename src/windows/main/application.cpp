#include "windows/main/application.h"

#include <QApplication>

#include "windows/main/main_window.h"
#include "windows/main/window_set.h"

namespace strobo::windows {

int runApplication(QApplication& app) {
    WindowSet windows;
    windows.form1().show();
    return app.exec();
}

}  // namespace strobo::windows
