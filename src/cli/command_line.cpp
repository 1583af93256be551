#include "cli/command_line.h"

#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "cli/arguments.h"
#include "cli/batch_commands.h"
#include "cli/demo_command.h"
#include "cli/failure_line.h"
#include "cli/help_texts.h"
#include "cli/interruption.h"
#include "cli/make_command.h"
#include "workfolder/failure.h"

namespace strobo::cli {

namespace {

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
        std::cerr << "strobo " << name << ": " << failureLine(workfolder::failureOf(error)) << "\n";
        return kExitFailure;
    }
}

}  // namespace

int runCommandLine(int argc, char** argv) {
    if (argc < 2) {
        std::cout << generalHelp();
        return kExitUsage;
    }
    const std::string_view first = argv[1];
    const std::vector<std::string> words(argv + 2, argv + argc);
    if (first == "--help" || first == "-h" || first == "help") {
        std::cout << generalHelp();
        return kExitSuccess;
    }
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

}  // namespace strobo::cli
