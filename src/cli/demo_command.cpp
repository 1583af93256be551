#include "cli/demo_command.h"

#include <unistd.h>

#include <QDir>
#include <filesystem>
#include <iostream>
#include <system_error>

#include "cli/arguments.h"
#include "cli/batch_application.h"
#include "cli/command_options.h"
#include "cli/demo_clip.h"
#include "cli/help_texts.h"
#include "cli/make_command.h"
#include "workfolder/file_services.h"
#include "workfolder/utf8_path.h"

namespace strobo::cli {

using workfolder::u8path;
using workfolder::utf8;

namespace fs = std::filesystem;

namespace {}  // namespace

std::string defaultDemoFolder(const std::string& current, const std::string& home) {
    const std::string base =
        !current.empty() && access(current.c_str(), W_OK | X_OK) == 0 ? current : home;
    const fs::path root = u8path(base);
    for (int n = 1;; ++n) {
        const std::string name = n == 1 ? "strobo-demo" : "strobo-demo-" + std::to_string(n);
        std::error_code ec;
        if (!fs::exists(root / name, ec)) return utf8(root / name);
    }
}

int runDemo(const std::vector<std::string>& words) {
    const ParsedArguments args = parseCommandWords("demo", words);
    if (args.helpRequested()) {
        std::cout << commandHelp("demo");
        return kExitSuccess;
    }
    args.expectPositional(0, 1);
    const auto app = makeBatchApplication();
    const std::string folder =
        args.positional().empty()
            ? defaultDemoFolder(QDir::currentPath().toStdString(), QDir::homePath().toStdString())
            : args.positional()[0];
    workfolder::FileServices files;
    files.createFolder(folder);

    const DemoClipShape shape;
    const std::string clip = utf8(u8path(folder) / "ball.avi");
    try {
        writeDemoClip(clip, shape);
    } catch (const std::exception& error) {
        throw InputError("cannot write the sample clip / 見本の動画を書けません: " + clip + " (" +
                         oneLine(error.what()) + ")");
    }
    std::cout << "見本の動画 / sample clip: " << clip << " (" << shape.width << "×" << shape.height
              << ", " << shape.frames << " frames)\n";

    stages::MakeRequest request;
    request.clip = clip;
    // Contact-sheet pictures 1 to 57, every fourth: fifteen balls along the throw.
    request.first = 1;
    request.last = shape.frames - 3;
    request.every = 4;
    request.background = stages::BackgroundKind::Median;
    request.output = utf8(u8path(folder) / "strobe.bmp");
    const stages::MakeResult result = runMakeRoad(request);
    printSaved(result);
    std::cout << "ストロボ写真ができました。全部の球が写った一枚 / the finished picture: "
              << result.saved.back() << '\n';
    return kExitSuccess;
}

}  // namespace strobo::cli
