#include "cli/command_line.h"

#include <QApplication>
#include <QImage>
#include <cstring>
#include <iostream>

#include "windows/main/application.h"
#include "windows/main/stored_window.h"
#include "windows/main/window_set.h"
#include "workfolder/fonts.h"

namespace strobo::cli {

namespace {

constexpr const char* kUsage =
    "strobo " STROBO_VERSION
    " — ビデオからストロボ写真を作る / makes strobe photographs from a video clip\n"
    "\n"
    "Usage: strobo            open the windows\n"
    "       strobo --help     show this help\n"
    "       strobo --version  show the version\n"
    "       strobo --render-window NAME OUT.png\n"
    "                         draw one window as stored (form1, Form2, Form3, 合成, Form4, Form5)\n"
    "                         into a PNG file, without showing it\n";

// Draws a window offscreen and writes it as PNG; needs no display.
int renderWindow(int argc, char** argv) {
    if (argc != 4) {
        std::cerr << "strobo: --render-window NAME OUT.png\n" << kUsage;
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    workfolder::installJapaneseFontAlias();
    windows::WindowSet windows;
    windows::StoredWindow* window = windows.window(QString::fromLocal8Bit(argv[2]));
    if (window == nullptr) {
        std::cerr << "strobo: そのウィンドウはありません / no such window: " << argv[2] << "\n";
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[3]);
    if (!window->renderImage().save(out, "PNG")) {
        std::cerr << "strobo: 書き込めません / cannot write: " << argv[3] << "\n";
        return 1;
    }
    return 0;
}

}  // namespace

int runMain(int argc, char** argv) {
    if (argc >= 2) {
        if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
            std::cout << kUsage;
            return 0;
        }
        if (std::strcmp(argv[1], "--render-window") == 0) return renderWindow(argc, argv);
        if (std::strcmp(argv[1], "--version") == 0) {
            std::cout << "strobo " STROBO_VERSION "\n";
            return 0;
        }
        std::cerr << "strobo: 不明な引数です / unknown argument: " << argv[1] << "\n" << kUsage;
        return 2;
    }
    QApplication app(argc, argv);
    workfolder::installJapaneseFontAlias();
    return windows::runApplication(app);
}

}  // namespace strobo::cli
