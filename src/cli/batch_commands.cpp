#include "cli/batch_commands.h"

#include <iostream>
#include <limits>

#include "cli/arguments.h"
#include "cli/batch_application.h"
#include "cli/command_options.h"
#include "cli/help_texts.h"
#include "cli/interruption.h"
#include "cli/operation_choice_text.h"
#include "cli/progress_view.h"
#include "stages/composition/frame_interval.h"
#include "stages/composition/operation_choice.h"
#include "stages/composition/strobe_build.h"
#include "stages/extraction/media_playback.h"
#include "stages/output/save_series.h"
#include "workfolder/file_names.h"
#include "workfolder/file_services.h"

namespace strobo::cli {

namespace wf = workfolder;

namespace {

bool printHelpIfAsked(const ParsedArguments& args, std::string_view command) {
    if (!args.helpRequested()) return false;
    std::cout << commandHelp(command);
    return true;
}

void requireFolder(wf::FileServices& files, const std::string& folder) {
    if (!files.folderExists(folder)) {
        throw InputError("no such folder / 作業フォルダーがありません: " + folder);
    }
}

std::string countText(std::size_t count) {
    return std::to_string(count);
}

std::int64_t requireEvery(const ParsedArguments& args) {
    return requireWholeNumber("--every", args.value("--every").value_or("1"), 1,
                              std::numeric_limits<std::int32_t>::max());
}

}  // namespace

int requireDecoderThreads(const ParsedArguments& args) {
    // Each thread of a frame-threaded decoder holds pictures of its own: beyond a few per
    // processor, more only cost memory.
    constexpr std::int64_t kMostThreads = 64;
    return static_cast<int>(
        requireWholeNumber("--threads", args.value("--threads").value_or("0"), 0, kMostThreads));
}

engine::CompositionOperation requireOperation(const std::string& text) {
    if (const auto op = engine::parseOperation(text)) return *op;
    throw InputError("unknown operation / 重ね方が分かりません: \"" + text + "\"");
}

std::int64_t countFrameFiles(const std::string& folder) {
    wf::FileServices files;
    std::int64_t n = 0;
    while (files.fileExists(wf::frameFile(folder, n + 1))) ++n;
    return n;
}

namespace {

void printHeadAndFiles(std::ostream& out, const std::string& head,
                       const std::vector<std::string>& files) {
    out << head;
    if (!files.empty()) {
        out << ": " << files.front();
        if (files.size() > 1) out << " … " << files.back();
    }
    out << '\n';
}

}  // namespace

void printSummary(const std::string& head, const std::vector<std::string>& files) {
    printHeadAndFiles(std::cout, head, files);
}

void printKept(const std::vector<std::string>& saved) {
    if (saved.empty()) {
        std::cerr << "no picture saved / 写真は保存されていません\n";
        return;
    }
    const std::string n = countText(saved.size());
    printHeadAndFiles(std::cerr, n + " pictures saved and kept / " + n + " 枚は保存済みです",
                      saved);
}

int runExtract(const std::vector<std::string>& words) {
    const ParsedArguments args = parseCommandWords("extract", words);
    if (printHelpIfAsked(args, "extract")) return kExitSuccess;
    args.expectPositional(2, 2);
    const std::string& clip = args.positional()[0];
    const std::string& folder = args.positional()[1];
    const int threads = requireDecoderThreads(args);

    const auto app = makeBatchApplication();
    wf::FileServices files;
    requireFolder(files, folder);
    ProgressView view;
    // Ctrl-C or a termination request stops the reading of the clip at once, not only between
    // two frames.
    const stages::ExtractionResult result = stages::extractClip(
        clip, folder, files, view.progress(), [] { return interruptRequested(); }, threads);
    view.finish();
    if (result.stopped) throw Interrupted();
    if (result.failure) throw wf::FailureError(*result.failure);
    std::vector<std::string> written;
    if (result.written >= 1)
        written = {wf::frameFile(folder, 1), wf::frameFile(folder, result.written)};
    const std::string n = countText(static_cast<std::size_t>(result.written));
    printSummary(n + " frame files / フレームファイル " + n + " 枚", written);
    return kExitSuccess;
}

int runBuild(const std::vector<std::string>& words) {
    const ParsedArguments args = parseCommandWords("build", words);
    if (printHelpIfAsked(args, "build")) return kExitSuccess;
    args.expectPositional(3, 3);
    const std::string& folder = args.positional()[0];
    const stages::FrameRange range{requireNumber("FIRST", args.positional()[1]),
                                   requireNumber("LAST", args.positional()[2])};
    const auto op = requireOperationChoice(args.value("--op").value_or("auto"));
    const std::int64_t every = requireEvery(args);

    const auto app = makeBatchApplication();
    wf::FileServices files;
    requireFolder(files, folder);
    const std::int64_t frameCount = countFrameFiles(folder);

    stages::StrobeBuild build(files, folder);
    build.setOperation(op.value_or(engine::kOperationMax));
    build.setEvery(every);
    if (!op) {
        // A choice that cannot look at the files leaves the build to say what is missing.
        const stages::OperationChoice choice = stages::chooseOperation(files, folder, range, every);
        build.setOperation(choice.operation);
        if (!choice.failure)
            std::cout << operationChoiceLine(choice.tone, choice.operation) << '\n';
    }
    ProgressView view;
    const stages::BuildResult result = build.run(range, nullptr, view.progress());
    view.finish();
    if (result.cancelled) throw Interrupted();
    if (result.failure) throw wf::FailureError(*result.failure);

    const std::string n = countText(result.written.size());
    printSummary(n + " strobe files / ストロボ写真 " + n + " 枚", result.written);

    if (args.flag("--keep-frames")) return kExitSuccess;
    const stages::FinishResult finish =
        stages::deleteFrameFiles(files, folder, static_cast<std::int32_t>(frameCount));
    if (!finish.failures.empty()) {
        throw InputError("frame files not deleted / フレームファイルを消せません: " +
                         oneLine(wf::japaneseText(finish.failures.front())));
    }
    return kExitSuccess;
}

int runSave(const std::vector<std::string>& words) {
    const ParsedArguments args = parseCommandWords("save", words);
    if (printHelpIfAsked(args, "save")) return kExitSuccess;
    args.expectPositional(4, 4);
    const std::string& folder = args.positional()[0];
    const stages::FrameRange range{requireNumber("FIRST", args.positional()[1]),
                                   requireNumber("LAST", args.positional()[2])};
    const std::string& path = args.positional()[3];
    if (path.empty()) throw UsageError("PATH is empty / 保存先が空です");
    const std::int64_t every = requireEvery(args);

    const auto app = makeBatchApplication();
    wf::FileServices files;
    requireFolder(files, folder);
    const stages::SaveResult result =
        stages::saveSeries(files, folder, stages::seriesRange(range, every), wf::savePrefix(path),
                           [] { return interruptRequested(); });
    if (result.outcome == stages::SaveOutcome::Stopped) {
        printKept(result.saved);
        throw Interrupted();
    }
    if (result.failure) {
        if (!result.saved.empty()) printKept(result.saved);
        throw wf::FailureError(*result.failure);
    }
    const std::string n = countText(result.saved.size());
    printSummary(n + " pictures saved / " + n + " 枚保存しました", result.saved);
    return kExitSuccess;
}

}  // namespace strobo::cli
