#include "cli/batch_commands.h"

#include <algorithm>
#include <iostream>
#include <sstream>

#include "cli/arguments.h"
#include "cli/batch_application.h"
#include "cli/help_texts.h"
#include "cli/interruption.h"
#include "cli/progress_bar.h"
#include "windows/composition/strobe_build.h"
#include "windows/extraction/extraction_flow.h"
#include "windows/output/save_series.h"
#include "workfolder/file_names.h"
#include "workfolder/file_services.h"
#include "workfolder/numbers.h"

namespace strobo::cli {

namespace wf = workfolder;

namespace {

bool printHelpIfAsked(const ParsedArguments& args, std::string_view command) {
    if (!args.helpRequested()) return false;
    std::cout << commandHelp(command);
    return true;
}

void requireFolder(wf::PlatformServices& services, const std::string& folder) {
    if (!services.folderExists(folder)) {
        throw InputError("no such folder / 作業フォルダーがありません: " + folder);
    }
}

// The number of steps a range will take, for the progress bar only; the build itself judges
// the range.
std::int64_t stepCount(const std::string& firstText, const std::string& lastText) {
    const double s = wf::textToNumber(firstText);
    const double e = wf::textToNumber(lastText);
    if (!(e >= s)) return 0;
    return std::min<double>(e - s + 1, 1e9);
}

class ProgressView : public windows::StrobeBuildView {
  public:
    ProgressView(ProgressBar& bar, windows::StrobeBuild& build) : m_bar(bar), m_build(build) {}
    void showComposed(const engine::PackedImage&) override {
        m_bar.advance();
        if (interruptRequested()) m_build.cancel();
    }

  private:
    ProgressBar& m_bar;
    windows::StrobeBuild& m_build;
};

}  // namespace

engine::CompositionOperation requireOperation(const std::string& text) {
    if (const auto op = engine::parseOperation(text)) return *op;
    throw InputError("unknown operation / 重ね方が分かりません: \"" + text + "\"");
}

std::int64_t countFrameFiles(const std::string& folder) {
    wf::FileServices services;
    std::int64_t n = 0;
    while (services.fileExists(wf::frameFile(folder, n + 1))) ++n;
    return n;
}

std::string failureLine(const std::string& failure) {
    std::istringstream lines(failure);
    std::string line;
    std::string out;
    for (int kept = 0; kept < 2 && std::getline(lines, line); ++kept) {
        if (!out.empty()) out += ' ';
        out += line;
    }
    return oneLine(out);
}

int runExtract(const std::vector<std::string>& words) {
    const ParsedArguments args(words, {});
    if (printHelpIfAsked(args, "extract")) return kExitSuccess;
    args.expectPositional(2, 2);
    const std::string& clip = args.positional()[0];
    const std::string& folder = args.positional()[1];

    const auto app = makeBatchApplication(true);
    wf::FileServices services;
    requireFolder(services, folder);
    ProgressBar bar = ProgressBar::onStandardError("extract", 0);
    const windows::ExtractionReport report = windows::extractClip(
        clip, folder, services, [&bar](std::int32_t saved, std::int32_t total) {
            bar.setTotal(total);
            bar.update(saved);
            return !interruptRequested();
        });
    bar.finish();
    if (report.stopped) throw Interrupted();
    if (!report.completed) {
        throw InputError(report.failure.empty() ? "cannot extract / 書き出せません: " + clip
                                                : oneLine(report.failure));
    }
    std::cout << report.written << " frame files / フレームファイル " << report.written
              << " 枚: " << wf::frameFile(folder, 1);
    if (report.written > 1) std::cout << " … " << wf::frameFile(folder, report.written);
    std::cout << '\n';
    return kExitSuccess;
}

int runBuild(const std::vector<std::string>& words) {
    const ParsedArguments args(words, {"--op"}, {"--keep-frames"});
    if (printHelpIfAsked(args, "build")) return kExitSuccess;
    args.expectPositional(3, 3);
    const std::string& folder = args.positional()[0];
    const std::string first = requireNumberText("FIRST", args.positional()[1]);
    const std::string last = requireNumberText("LAST", args.positional()[2]);
    const engine::CompositionOperation op = requireOperation(args.value("--op").value_or("最大値"));

    const auto app = makeBatchApplication(false);
    wf::FileServices services;
    requireFolder(services, folder);
    const std::int64_t frameCount = countFrameFiles(folder);

    windows::StrobeBuild build(services, folder);
    build.setOperation(op);
    ProgressBar bar = ProgressBar::onStandardError("build", stepCount(first, last));
    ProgressView view(bar, build);
    const windows::BuildReport report = build.run(first, last, &view);
    bar.finish();
    if (report.cancelled) throw Interrupted();
    if (!report.completed) throw InputError(failureLine(report.failure));

    std::cout << report.written.size() << " strobe files / ストロボ写真 " << report.written.size()
              << " 枚: " << report.written.front();
    if (report.written.size() > 1) std::cout << " … " << report.written.back();
    std::cout << '\n';

    if (args.flag("--keep-frames")) return kExitSuccess;
    const windows::FinishReport finish =
        windows::deleteFrameFiles(services, folder, wf::numberText(frameCount));
    if (!finish.failures.empty()) {
        throw InputError("frame files not deleted / フレームファイルを消せません: " +
                         oneLine(finish.failures.front()));
    }
    return kExitSuccess;
}

int runSave(const std::vector<std::string>& words) {
    const ParsedArguments args(words, {});
    if (printHelpIfAsked(args, "save")) return kExitSuccess;
    args.expectPositional(4, 4);
    const std::string& folder = args.positional()[0];
    const std::string first = requireNumberText("FIRST", args.positional()[1]);
    const std::string last = requireNumberText("LAST", args.positional()[2]);
    const std::string& path = args.positional()[3];
    if (path.empty()) throw UsageError("PATH is empty / 保存先が空です");

    const auto app = makeBatchApplication(false);
    wf::FileServices services;
    requireFolder(services, folder);
    services.saveAnswers = {path};
    const windows::output::SaveOutcome outcome =
        windows::output::saveSeries(services, folder, {first, wf::fixedBuffer255(last)});
    if (outcome != windows::output::SaveOutcome::Saved) {
        throw InputError(services.messages.empty() ? "not saved / 保存できません: " + path
                                                   : oneLine(services.messages.back()));
    }
    const double s = wf::textToNumber(first);
    const std::int64_t count = std::max<std::int64_t>(
        0, static_cast<std::int64_t>(wf::toInt32(wf::textToNumber(last) + 1)) - wf::toInt32(s + 1) +
               1);
    const std::string prefix = wf::savePrefix(path);
    std::cout << count << " pictures saved / " << count << " 枚保存しました";
    if (count > 0) {
        const double firstK = wf::toInt32(s + 1) - s;
        std::cout << ": " << wf::savedPicture(prefix, firstK);
        if (count > 1) std::cout << " … " << wf::savedPicture(prefix, firstK + count - 1);
    }
    std::cout << '\n';
    return kExitSuccess;
}

}  // namespace strobo::cli
