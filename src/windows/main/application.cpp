#include "windows/main/application.h"

#include <QApplication>

#include "windows/main/main_window.h"
#include "windows/main/navigation.h"
#include "windows/main/window_set.h"

namespace strobo::windows {

int runApplication(QApplication& app) {
    QApplication::setApplicationName(QStringLiteral("strobo"));
    WindowSet windows;
    connectMainWindow(windows);
    windows.form1().show();
    return app.exec();
}

}  // namespace strobo::windows
