#include "windows/main/application.h"

#include <QApplication>
#include <QWidget>

namespace strobo::windows {

int runApplication(QApplication& app) {
    QWidget form1;
    form1.setObjectName("form1");
    form1.setWindowTitle("Form1");
    form1.resize(1024, 768);
    form1.show();
    return app.exec();
}

}  // namespace strobo::windows
