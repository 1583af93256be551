#include "cli/make_command.h"

#include <iostream>
#include <limits>
#include <optional>

#include "cli/arguments.h"
#include "cli/batch_application.h"
#include "cli/batch_commands.h"
#include "cli/command_options.h"
#include "cli/help_texts.h"
#include "cli/interruption.h"
#include "cli/operation_choice_text.h"
#include "cli/progress_view.h"

namespace strobo::cli {

using stages::BackgroundKind;
using stages::FrameSize;
using stages::MakeRequest;
using stages::MakeResult;

namespace {

constexpr std::int64_t kLargestFrameNumber = std::numeric_limits<std::int32_t>::max() - 1;

}  // namespace

MakeRequest parseMakeArguments(const std::vector<std::string>& words) {
    const ParsedArguments args = parseCommandWords("make", words);
    args.expectPositional(1, 1);
    MakeRequest request;
    request.clip = args.positional()[0];
    const auto first = args.value("--first");
    const auto last = args.value("--last");
    std::optional<std::string> output = args.value("-o");
    if (const auto longOutput = args.value("--output")) {
        if (output) throw UsageError("-o given twice / -o が二度指定されています");
        output = longOutput;
    }
    if (!first || !last || !output) {
        throw UsageError("make needs --first, --last and -o / --first, --last, -o が必要です");
    }
    if (output->empty()) throw UsageError("-o is empty / 保存先が空です");
    request.output = *output;
    request.first = requireWholeNumber("--first", *first, 0, kLargestFrameNumber);
    request.last = requireWholeNumber("--last", *last, 0, kLargestFrameNumber);
    if (request.first > request.last) {
        throw InputError("--first must not exceed --last / 最初の番号が最後の番号より大きいです: " +
                         *first + " > " + *last);
    }
    const auto operation = requireOperationChoice(args.value("--op").value_or("auto"));
    request.operation = operation.value_or(engine::kOperationMax);
    request.chooseOperation = !operation;
    request.stopRequested = [] { return interruptRequested(); };
    request.every = requireWholeNumber("--every", args.value("--every").value_or("1"), 1,
                                       std::numeric_limits<std::int32_t>::max());
    const std::string size = args.value("--size").value_or("window");
    if (size == "window") {
        request.size = FrameSize::Window;
    } else if (size == "native") {
        request.size = FrameSize::Native;
    } else {
        throw InputError("--size is window or native / --size は window か native です: \"" + size +
                         "\"");
    }
    const std::string background = args.value("--background").value_or("black");
    if (background == "black") {
        request.background = BackgroundKind::Black;
    } else if (background == "median") {
        request.background = BackgroundKind::Median;
    } else if (background.empty()) {
        throw InputError("--background is empty / 背景が空です");
    } else {
        request.background = BackgroundKind::File;
        request.backgroundFile = background;
    }
    request.decoderThreads = requireDecoderThreads(args);
    return request;
}

stages::MakeExtras parseMakeExtras(const std::vector<std::string>& words) {
    const ParsedArguments args = parseCommandWords("make", words);
    stages::MakeExtras extras;
    const auto name = [&](const char* option) {
        const std::string value = args.value(option).value_or("");
        if (args.value(option) && value.empty()) {
            throw InputError(std::string(option) + " is empty / " + option +
                             " のファイル名が空です");
        }
        return value;
    };
    extras.csv = name("--csv");
    extras.gif = name("--gif");
    extras.mp4 = name("--mp4");
    extras.labels = args.flag("--labels");
    return extras;
}

MakeResult runMakeRoad(const MakeRequest& request) {
    ProgressView view;
    MakeResult result = stages::makeStrobe(request, view.progress());
    view.finish();
    if (!result.stopped && !result.failure) return result;
    // Pictures saved before the stop stay where they are; the user must know which.
    if (!result.saved.empty()) printKept(result.saved);
    if (result.stopped) throw Interrupted();
    throw workfolder::FailureError(*result.failure);
}

void printSaved(const MakeResult& result) {
    if (result.tone) std::cout << operationChoiceLine(*result.tone, result.operation) << '\n';
    const std::string n = std::to_string(result.saved.size());
    printSummary(n + " pictures saved / " + n + " 枚保存しました", result.saved);
}

int runMake(const std::vector<std::string>& words) {
    if (parseCommandWords("make", words).helpRequested()) {
        std::cout << commandHelp("make");
        return kExitSuccess;
    }
    const MakeRequest request = parseMakeArguments(words);
    const stages::MakeExtras extras = parseMakeExtras(words);
    const auto app = makeBatchApplication();
    ProgressView view;
    const stages::MakeAndShareResult result =
        stages::makeAndShare(request, extras, view.progress());
    view.finish();
    if (result.made.stopped) throw Interrupted();
    if (result.made.failure) throw workfolder::FailureError(*result.made.failure);
    printSaved(result.made);
    for (const std::string& file : result.shared) {
        std::cout << "written / 書き出しました: " << file << '\n';
    }
    return kExitSuccess;
}

}  // namespace strobo::cli
