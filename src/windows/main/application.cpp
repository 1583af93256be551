#include "windows/main/application.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include "windows/main/main_window.h"
#include "windows/main/navigation.h"
#include "windows/main/window_set.h"

namespace strobo::windows {

bool installJapaneseTranslations(QTranslator& translator) {
    // The toolkit's own dialogs (file dialog, message box buttons) speak Japanese too.
    return translator.load(QLocale(QLocale::Japanese, QLocale::Japan), QStringLiteral("qtbase"),
                           QStringLiteral("_"),
                           QLibraryInfo::path(QLibraryInfo::TranslationsPath)) &&
           QCoreApplication::installTranslator(&translator);
}

int runApplication(QApplication& app) {
    QApplication::setApplicationName(QStringLiteral("strobo"));
    QTranslator translator;
    installJapaneseTranslations(translator);
    WindowSet windows;
    connectMainWindow(windows);
    windows.form1().show();
    return app.exec();
}

}  // namespace strobo::windows
