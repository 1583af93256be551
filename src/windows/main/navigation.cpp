#include "windows/main/navigation.h"

#include <QCoreApplication>
#include <QPushButton>

#include "windows/composition/composition_window.h"
#include "windows/contactsheet/contact_sheet_flow.h"
#include "windows/extraction/extraction_flow.h"
#include "windows/main/main_window.h"
#include "windows/main/window_set.h"
#include "windows/output/output_flow.h"

namespace strobo::windows {

void connectMainWindow(WindowSet& windows) {
    MainWindow& form1 = windows.form1();
    QObject::connect(form1.Command1, &QPushButton::clicked, &form1,
                     [&windows] { runExtraction(windows); });
    QObject::connect(form1.Command2, &QPushButton::clicked, &form1,
                     [&windows] { openContactSheet(windows); });
    QObject::connect(form1.Command3, &QPushButton::clicked, &form1,
                     [&windows] { openSaveWindow(windows); });
    QObject::connect(form1.Command4, &QPushButton::clicked, &form1,
                     [&windows] { endProgram(windows); });
    QObject::connect(form1.Command5, &QPushButton::clicked, &form1,
                     [&windows] { openAnimation(windows); });
}

void endProgram(WindowSet& windows) {
    windows.requestEnd();
    if (windows.isCreated(QStringLiteral("合成"))) windows.composition().cancelBuild();
    for (const QString& name : WindowSet::windowNames()) {
        if (windows.isCreated(name)) windows.window(name)->hide();
    }
    QCoreApplication::quit();
}

}  // namespace strobo::windows
