#include "app/application.h"

#include <QApplication>
#include <iostream>
#include <string_view>

#include "cli/command_line.h"
#include "windows/background/base_image_offer.h"
#include "windows/main/choice_box.h"
#include "windows/main/desktop_dialogs.h"
#include "windows/main/main_window.h"
#include "windows/main/navigation.h"
#include "windows/main/stored_window.h"
#include "windows/main/window_set.h"
#include "workfolder/fonts.h"

namespace strobo::app {

namespace {

bool hasDisplay() {
    return !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

// Creates the program's windows, shows the main window and runs the event loop until the
// program ends.
int runWindows(int argc, char** argv) {
    // Without a display Qt would abort with a message about platform plugins; say what to do.
    if (!hasDisplay() && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        std::cerr << "strobo: 画面が見つからないため、ウィンドウを開けません。"
                     "コマンドで使うか (strobo --help)、見本を試してください (strobo demo)。\n"
                     "strobo: no display found, so the windows cannot open. Use the commands "
                     "(strobo --help) or try the sample (strobo demo).\n";
        return 1;
    }
    // The toolkit's own dialogs (file dialog, message box buttons) speak Japanese too.
    windows::useJapaneseSystemLocale();
    QApplication app(argc, argv);
    windows::installJapaneseToolkitTexts();
    workfolder::installJapaneseFontAlias();
    QApplication::setApplicationName(QStringLiteral("strobo"));
    windows::WindowSet windows;
    windows::connectMainWindow(windows);
    windows.form1().show();
    return app.exec();
}

// The question a work folder without base images meets, as it shows.
QImage renderBaseImageOffer() {
    windows::ChoiceBox box(nullptr, windows::kBaseImageOfferText, windows::baseImageOfferChoices());
    box.show();
    QCoreApplication::processEvents();
    return box.grab().toImage();
}

// Draws a window (or 背景, the base image offer) offscreen and writes it as PNG; needs no
// display.
int renderWindow(int argc, char** argv) {
    if (argc != 4) {
        std::cerr << "strobo: usage / 使い方: strobo --render-window NAME OUT.png\n";
        return 2;
    }
    if (!hasDisplay()) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    workfolder::installJapaneseFontAlias();
    const QString out = QString::fromLocal8Bit(argv[3]);
    if (QString::fromLocal8Bit(argv[2]) == QStringLiteral("背景")) {
        if (!renderBaseImageOffer().save(out, "PNG")) {
            std::cerr << "strobo: 書き込めません / cannot write: " << argv[3] << "\n";
            return 1;
        }
        return 0;
    }
    windows::WindowSet windows;
    windows::StoredWindow* window = windows.window(QString::fromLocal8Bit(argv[2]));
    if (window == nullptr) {
        std::cerr << "strobo: そのウィンドウはありません / no such window: " << argv[2] << "\n";
        return 2;
    }
    if (!window->renderImage().save(out, "PNG")) {
        std::cerr << "strobo: 書き込めません / cannot write: " << argv[3] << "\n";
        return 1;
    }
    return 0;
}

}  // namespace

int runMain(int argc, char** argv) {
    if (argc < 2) return runWindows(argc, argv);
    if (std::string_view(argv[1]) == "--render-window") return renderWindow(argc, argv);
    return cli::runCommandLine(argc, argv);
}

}  // namespace strobo::app
