#include "cli/make_command.h"

#include <unistd.h>

#include <QDir>
#include <algorithm>
#include <filesystem>
#include <iostream>
#include <limits>
#include <optional>
#include <system_error>

#include "cli/arguments.h"
#include "cli/batch_application.h"
#include "cli/batch_commands.h"
#include "cli/demo_clip.h"
#include "cli/help_texts.h"
#include "cli/interruption.h"
#include "cli/median_background.h"
#include "cli/progress_bar.h"
#include "cli/scratch_folder.h"
#include "engine/fast_composition.h"
#include "engine/scaling.h"
#include "windows/composition/strobe_build.h"
#include "windows/extraction/extraction_flow.h"
#include "windows/output/save_series.h"
#include "workfolder/background_saver.h"
#include "workfolder/file_names.h"
#include "workfolder/file_services.h"
#include "workfolder/media/video_decoder.h"
#include "workfolder/numbers.h"

namespace strobo::cli {

namespace fs = std::filesystem;
namespace wf = workfolder;
namespace media = workfolder::media;

namespace {

constexpr std::int64_t kLargestFrameNumber = std::numeric_limits<std::int32_t>::max() - 1;

fs::path u8path(const std::string& utf8) {
    return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string utf8(const fs::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

void requireClipFile(const std::string& clip) {
    std::error_code ec;
    if (!fs::is_regular_file(u8path(clip), ec)) {
        throw InputError("no such clip / 動画ファイルがありません: " + clip);
    }
}

// Frame file n shows the clip's frame n (counted from 0), the last frame standing in for the
// position one past it: the playback seeks to 1..N and never shows frame 0.
std::int64_t clipIndexOfFrameFile(std::int64_t n, std::int64_t frameCount) {
    return std::min(n, frameCount - 1);
}

void requireRangeFits(const MakeRequest& request, std::int64_t frameCount) {
    if (request.first > request.last || request.last + 1 > frameCount) {
        throw InputError("the range " + std::to_string(request.first) + " to " +
                         std::to_string(request.last) + " does not fit the clip's " +
                         std::to_string(frameCount) + " frames (0 ≤ S ≤ E ≤ " +
                         std::to_string(frameCount - 1) +
                         ") / 範囲が動画のフレーム数に合いません: " + request.clip);
    }
}

// How many frames the range gives with every K-th taken.
std::int64_t usedFrameCount(const MakeRequest& request) {
    return (request.last - request.first) / request.every + 1;
}

engine::PackedImage loadBackground(wf::FileServices& services, const std::string& file) {
    try {
        return services.loadPicture(file);
    } catch (const wf::ServiceError& error) {
        throw InputError("background / 背景: " + oneLine(error.what()));
    }
}

media::VideoDecoder openClip(const std::string& clip) {
    try {
        return media::VideoDecoder(clip);
    } catch (const media::MediaError& error) {
        throw InputError("cannot read the clip / 動画を読めません: " + clip + " (" +
                         oneLine(error.what()) + ")");
    }
}

engine::PackedImage decodeFrame(media::VideoDecoder& decoder, std::int64_t index) {
    try {
        return decoder.frame(index);
    } catch (const media::MediaError& error) {
        throw InputError("cannot decode frame " + std::to_string(index) + " / 動画を読めません: " +
                         decoder.path() + " (" + oneLine(error.what()) + ")");
    }
}

void savePicture(wf::FileServices& services, const engine::PackedImage& picture,
                 const std::string& path) {
    try {
        services.savePicture(picture, path);
    } catch (const wf::ServiceError& error) {
        throw InputError(oneLine(error.what()));
    }
}

// The median of frame files of the work folder, each shrunk as the build shrinks it, laid on
// a black picture of the strobe size: the background the windows would compose onto.
engine::PackedImage windowMedianBackground(wf::FileServices& services, const std::string& folder,
                                           std::int64_t frameCount) {
    const auto shrunkFrameFile = [&](std::int64_t n) {
        try {
            const engine::PackedImage frame = services.loadPicture(wf::frameFile(folder, n));
            const auto [w, h] =
                windows::scaledFrameSize(frame.width, frame.height, windows::kScalePercent);
            return engine::scaleImage(frame, w, h);
        } catch (const wf::ServiceError& error) {
            throw InputError(oneLine(error.what()));
        }
    };
    const engine::PackedImage first = shrunkFrameFile(1);
    const std::vector<std::int64_t> samples =
        evenlySpacedIndexes(frameCount, medianSampleLimit(first.width, first.height));
    MedianAccumulator median(first.width, first.height, static_cast<int>(samples.size()));
    for (const std::int64_t index : samples) {
        throwIfInterrupted();
        const engine::PackedImage shrunk = index == 0 ? first : shrunkFrameFile(index + 1);
        if (shrunk.width != first.width || shrunk.height != first.height) {
            throw InputError("frame files of different sizes / フレームの大きさが揃っていません: " +
                             wf::frameFile(folder, index + 1));
        }
        median.add(shrunk);
    }
    const engine::PackedImage middle = median.median();
    engine::PackedImage background(windows::kStrobeWidth, windows::kStrobeHeight, 0);
    for (int y = 0; y < std::min(middle.height, background.height); ++y) {
        std::copy_n(middle.row(y), std::min(middle.width, background.width), background.row(y));
    }
    return background;
}

engine::PackedImage clipMedianBackground(const std::string& clip) {
    media::VideoDecoder decoder = openClip(clip);
    const std::vector<std::int64_t> samples = evenlySpacedIndexes(
        decoder.frameCount(), medianSampleLimit(decoder.outputWidth(), decoder.outputHeight()));
    MedianAccumulator median(decoder.outputWidth(), decoder.outputHeight(),
                             static_cast<int>(samples.size()));
    ProgressBar bar =
        ProgressBar::onStandardError("median", static_cast<std::int64_t>(samples.size()));
    for (const std::int64_t index : samples) {
        throwIfInterrupted();
        median.add(decodeFrame(decoder, index));
        bar.advance();
    }
    return median.median();
}

// Leaves frame files first+1, first+2, ... holding every K-th frame of the range, so the build
// runs over them as over a plain range. Each target number is at most its source number and
// targets are filled in rising order, so no source is overwritten before it is moved.
std::int64_t keepEveryKthFrame(const std::string& folder, const MakeRequest& request) {
    const std::int64_t used = usedFrameCount(request);
    for (std::int64_t j = 0; j < used; ++j) {
        const std::int64_t source = request.first + 1 + j * request.every;
        const std::int64_t target = request.first + 1 + j;
        if (source == target) continue;
        std::error_code ec;
        fs::rename(u8path(wf::frameFile(folder, source)), u8path(wf::frameFile(folder, target)),
                   ec);
        if (ec) {
            throw InputError("cannot arrange the frames / フレームを並べ替えられません: " +
                             wf::frameFile(folder, source) + " (" + ec.message() + ")");
        }
    }
    return request.first + used - 1;
}

// Shows the build's steps, and stops the build between two steps when the user asks.
class BuildProgress : public windows::StrobeBuildView {
  public:
    BuildProgress(std::int64_t steps, windows::StrobeBuild& build)
        : m_bar(ProgressBar::onStandardError("build", steps)), m_build(build) {}
    void showComposed(const engine::PackedImage&) override {
        m_bar.advance();
        if (interruptRequested()) m_build.cancel();
    }

  private:
    ProgressBar m_bar;
    windows::StrobeBuild& m_build;
};

MakeResult makeInWindowSize(const MakeRequest& request) {
    requireClipFile(request.clip);
    ScratchFolder scratch;
    const std::string& folder = scratch.path();
    wf::FileServices services;

    // The background first, so that a bad one is found before the long extraction.
    const std::string base = wf::baseStrobeImage(folder);
    if (request.background == BackgroundKind::File) {
        loadBackground(services, request.backgroundFile);
        try {
            services.copyFile(request.backgroundFile, base);
        } catch (const wf::ServiceError& error) {
            throw InputError(oneLine(error.what()));
        }
    } else if (request.background == BackgroundKind::Black) {
        savePicture(services, engine::PackedImage(windows::kStrobeWidth, windows::kStrobeHeight, 0),
                    base);
    }

    ProgressBar bar = ProgressBar::onStandardError("extract", 0);
    const windows::ExtractionReport extraction = windows::extractClip(
        request.clip, folder, services, [&bar](std::int32_t saved, std::int32_t total) {
            bar.setTotal(total);
            bar.update(saved);
            return !interruptRequested();
        });
    bar.finish();
    if (extraction.stopped) throw Interrupted();
    if (!extraction.completed) {
        throw InputError(extraction.failure.empty()
                             ? "cannot read the clip / 動画を読めません: " + request.clip
                             : oneLine(extraction.failure));
    }
    MakeResult result;
    result.frameCount = extraction.frameCount;
    requireRangeFits(request, result.frameCount);

    if (request.background == BackgroundKind::Median) {
        savePicture(services, windowMedianBackground(services, folder, result.frameCount), base);
    }

    const std::string firstText = wf::numberText(request.first);
    const std::string lastText = wf::numberText(keepEveryKthFrame(folder, request));
    windows::StrobeBuild build(services, folder);
    build.setOperation(request.operation);
    {
        BuildProgress progress(usedFrameCount(request), build);
        const windows::BuildReport report = build.run(firstText, lastText, &progress);
        if (report.cancelled) throw Interrupted();
        if (!report.completed) throw InputError(failureLine(report.failure));
    }

    services.saveAnswers = {request.output};
    const windows::output::SaveOutcome outcome =
        windows::output::saveSeries(services, folder, {firstText, wf::fixedBuffer255(lastText)});
    if (outcome != windows::output::SaveOutcome::Saved) {
        throw InputError(services.messages.empty() ? "not saved / 保存できません: " + request.output
                                                   : oneLine(services.messages.back()));
    }
    const std::string prefix = wf::savePrefix(request.output);
    for (std::int64_t k = 1; k <= usedFrameCount(request); ++k) {
        result.saved.push_back(wf::savedPicture(prefix, static_cast<double>(k)));
    }
    return result;
}

MakeResult makeInNativeSize(const MakeRequest& request) {
    requireClipFile(request.clip);
    media::VideoDecoder decoder = openClip(request.clip);
    MakeResult result;
    result.frameCount = decoder.frameCount();
    requireRangeFits(request, result.frameCount);
    const int width = decoder.outputWidth();
    const int height = decoder.outputHeight();

    wf::FileServices services;
    engine::PackedImage composed;
    switch (request.background) {
        case BackgroundKind::Black:
            composed = engine::PackedImage(width, height, 0);
            break;
        case BackgroundKind::File: {
            const engine::PackedImage picture = loadBackground(services, request.backgroundFile);
            composed = picture.width == width && picture.height == height
                           ? picture
                           : engine::scaleImage(picture, width, height);
            break;
        }
        case BackgroundKind::Median:
            composed = clipMedianBackground(request.clip);
            break;
    }

    const std::string prefix = wf::savePrefix(request.output);
    ProgressBar bar = ProgressBar::onStandardError("make", usedFrameCount(request));
    wf::BackgroundSaver writer(services);
    try {
        std::int64_t k = 0;
        for (std::int64_t n = request.first + 1; n <= request.last + 1; n += request.every) {
            throwIfInterrupted();
            const engine::PackedImage frame =
                decodeFrame(decoder, clipIndexOfFrameFile(n, result.frameCount));
            engine::composeImagesFast(composed, frame, composed, width, height, request.operation);
            const std::string target = wf::savedPicture(prefix, static_cast<double>(++k));
            writer.save(composed, target);
            result.saved.push_back(target);
            bar.advance();
        }
        writer.finish();
    } catch (const wf::ServiceError& error) {
        throw InputError(oneLine(error.what()));
    }
    return result;
}

void printSaved(const MakeResult& result) {
    std::cout << result.saved.size() << " pictures saved / " << result.saved.size()
              << " 枚保存しました: " << result.saved.front();
    if (result.saved.size() > 1) std::cout << " … " << result.saved.back();
    std::cout << '\n';
}

}  // namespace

MakeRequest parseMakeArguments(const std::vector<std::string>& words) {
    const ParsedArguments args(words, {"--first", "--last", "-o", "--output", "--op",
                                       "--background", "--every", "--size"});
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
    request.operation = requireOperation(args.value("--op").value_or("最大値"));
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
    return request;
}

MakeResult makeStrobe(const MakeRequest& request) {
    return request.size == FrameSize::Native ? makeInNativeSize(request)
                                             : makeInWindowSize(request);
}

int runMake(const std::vector<std::string>& words) {
    if (ParsedArguments(words, {"--first", "--last", "-o", "--output", "--op", "--background",
                                "--every", "--size"})
            .helpRequested()) {
        std::cout << commandHelp("make");
        return kExitSuccess;
    }
    const MakeRequest request = parseMakeArguments(words);
    const auto app = makeBatchApplication(request.size == FrameSize::Window);
    printSaved(makeStrobe(request));
    return kExitSuccess;
}

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
    const ParsedArguments args(words, {});
    if (args.helpRequested()) {
        std::cout << commandHelp("demo");
        return kExitSuccess;
    }
    args.expectPositional(0, 1);
    const auto app = makeBatchApplication(true);
    const std::string folder =
        args.positional().empty()
            ? defaultDemoFolder(QDir::currentPath().toStdString(), QDir::homePath().toStdString())
            : args.positional()[0];
    wf::FileServices services;
    try {
        services.createFolder(folder);
    } catch (const wf::ServiceError& error) {
        throw InputError(oneLine(error.what()));
    }

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

    MakeRequest request;
    request.clip = clip;
    // Contact-sheet pictures 1 to 57, every fourth: fifteen balls along the throw.
    request.first = 1;
    request.last = shape.frames - 3;
    request.every = 4;
    request.background = BackgroundKind::Median;
    request.output = utf8(u8path(folder) / "strobe.bmp");
    const MakeResult result = makeStrobe(request);
    printSaved(result);
    std::cout << "ストロボ写真ができました。全部の球が写った一枚 / the finished picture: "
              << result.saved.back() << '\n';
    return kExitSuccess;
}

}  // namespace strobo::cli
