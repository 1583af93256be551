#include "cli/command_line.h"

#include <QApplication>
#include <cstring>
#include <iostream>

#include "windows/main/application.h"
#include "workfolder/fonts.h"

namespace strobo::cli {

namespace {

constexpr const char* kUsage =
    "strobo " STROBO_VERSION
    " — ビデオからストロボ写真を作る / makes strobe photographs from a video clip\n"
    "\n"
    "Usage: strobo            open the windows\n"
    "       strobo --help     show this help\n"
    "       strobo --version  show the version\n";

}  // namespace

int runMain(int argc, char** argv) {
    if (argc >= 2) {
        if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
            std::cout << kUsage;
            return 0;
        }
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
