#include "cli/command_line.h"

#include <QApplication>
#include <QImage>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "cli/arguments.h"
#include "cli/batch_commands.h"
#include "cli/help_texts.h"
#include "cli/interruption.h"
#include "cli/make_command.h"
#include "windows/main/application.h"
#include "windows/main/stored_window.h"
#include "windows/main/window_set.h"
#include "workfolder/fonts.h"

namespace strobo::cli {

namespace {

// Draws a window offscreen and writes it as PNG; needs no display.
int renderWindow(int argc, char** argv) {
    if (argc != 4) {
        std::cerr << "strobo: usage / 使い方: strobo --render-window NAME OUT.png\n";
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

// Runs one batch command, turning its errors into a one-line message and the exit code.
int runCommand(std::string_view name, const std::vector<std::string>& words,
               int (*command)(const std::vector<std::string>&)) {
    const InterruptGuard guard;
    try {
        return command(words);
    } catch (const Interrupted& error) {
        std::cerr << "strobo " << name << ": " << error.what() << "\n";
        return interruptedExitCode();
    } catch (const UsageError& error) {
        std::cerr << "strobo " << name << ": " << error.what() << " (strobo " << name
                  << " --help)\n";
        return kExitUsage;
    } catch (const InputError& error) {
        std::cerr << "strobo " << name << ": " << error.what() << "\n";
        return kExitFailure;
    } catch (const std::exception& error) {
        std::cerr << "strobo " << name << ": " << oneLine(error.what()) << "\n";
        return kExitFailure;
    }
}

}  // namespace

int runMain(int argc, char** argv) {
    if (argc >= 2) {
        const std::string_view first = argv[1];
        const std::vector<std::string> words(argv + 2, argv + argc);
        if (first == "--help" || first == "-h" || first == "help") {
            std::cout << generalHelp();
            return kExitSuccess;
        }
        if (first == "--render-window") return renderWindow(argc, argv);
        if (first == "--version") {
            std::cout << "strobo " STROBO_VERSION "\n";
            return kExitSuccess;
        }
        if (first == "extract") return runCommand(first, words, runExtract);
        if (first == "build") return runCommand(first, words, runBuild);
        if (first == "save") return runCommand(first, words, runSave);
        if (first == "make") return runCommand(first, words, runMake);
        if (first == "demo") return runCommand(first, words, runDemo);
        std::cerr << "strobo: 不明なコマンドです / unknown command: " << argv[1]
                  << " (strobo --help)\n";
        return kExitUsage;
    }
    // Without a display Qt would abort with a message about platform plugins; say what to do.
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        std::cerr << "strobo: 画面が見つからないため、ウィンドウを開けません。"
                     "コマンドで使うか (strobo --help)、見本を試してください (strobo demo)。\n"
                     "strobo: no display found, so the windows cannot open. Use the commands "
                     "(strobo --help) or try the sample (strobo demo).\n";
        return kExitFailure;
    }
    QApplication app(argc, argv);
    workfolder::installJapaneseFontAlias();
    return windows::runApplication(app);
}

}  // namespace strobo::cli
