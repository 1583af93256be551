// Frame extraction through the windows (offscreen): the whole Command1 handler, from the open
// command to the close command, playing each frame into the playback window, capturing it and
// saving it as a 653 x 480 bitmap; against `ffmpeg -i CLIP -start_number 1 DIR/test%d.bmp`
// writing 640 x 480 bitmaps of the same clip. The clip is ffmpeg's testsrc2 at 640 x 480, 150
// frames of MJPEG in AVI. Both include opening the clip and writing every file. Besides wall
// time, the processor time each side spends (this process's, and ffmpeg's as a child) gives a
// second ratio that holds up better on a busy machine.

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <QApplication>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <stdexcept>
#include <string>

#include "scripted_dialogs.h"
#include "windows/extraction/extraction_flow.h"
#include "windows/main/main_window.h"
#include "windows/main/window_set.h"
#include "workfolder/fonts.h"
#include "workfolder/memory_tuning.h"

namespace {

namespace fs = std::filesystem;
namespace sw = strobo::windows;
namespace wf = strobo::workfolder;

constexpr int kFrames = 150;

struct Workspace {
    fs::path folder;
    std::string clip;
    std::string stroboOut;
    std::string ffmpegOut;

    Workspace() {
        folder = fs::temp_directory_path() / "strobo-bench-extraction";
        fs::remove_all(folder);
        fs::create_directories(folder);
        clip = (folder / "testsrc2_mjpeg.avi").string();
        stroboOut = (folder / "strobo").string();
        ffmpegOut = (folder / "ffmpeg").string();
        fs::create_directories(stroboOut);
        fs::create_directories(ffmpegOut);
        const std::string command =
            "ffmpeg -v error -nostdin -y -f lavfi -i testsrc2=size=640x480:rate=30 -frames:v " +
            std::to_string(kFrames) + " -c:v mjpeg -q:v 3 -pix_fmt yuvj420p '" + clip + "'";
        if (std::system(command.c_str()) != 0) throw std::runtime_error("cannot make " + clip);
    }
    ~Workspace() {
        std::error_code ec;
        fs::remove_all(folder, ec);
    }
};

Workspace& workspace() {
    static Workspace w;
    return w;
}

std::map<std::string, double>& framesPerSecond() {
    static std::map<std::string, double> fps;
    return fps;
}

// User plus system time of this process (or of its finished children), in seconds.
double processorSeconds(int who) {
    rusage usage{};
    getrusage(who, &usage);
    const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

void record(benchmark::State& state, const std::string& name, std::int64_t frames, double seconds,
            double cpuSeconds) {
    state.SetItemsProcessed(frames);
    state.counters["fps"] = benchmark::Counter(static_cast<double>(frames) / seconds);
    state.counters["cpu_fps"] = benchmark::Counter(static_cast<double>(frames) / cpuSeconds);
    framesPerSecond()[name] = static_cast<double>(frames) / seconds;
    framesPerSecond()[name + " cpu"] = static_cast<double>(frames) / cpuSeconds;
}

void BM_ExtractionThroughWindows(benchmark::State& state) {
    const Workspace& w = workspace();
    std::int64_t frames = 0;
    double seconds = 0;
    double cpuSeconds = 0;
    for (auto _ : state) {
        strobo::testing::ScriptedDialogs dialogs;
        sw::WindowSet windows;
        windows.setDialogs(dialogs);
        windows.form1();
        windows.form2();
        dialogs.openAnswers.push_back(w.clip);
        dialogs.inputAnswers.push_back(w.stroboOut);
        const auto start = std::chrono::steady_clock::now();
        const double cpuStart = processorSeconds(RUSAGE_SELF);
        sw::runExtraction(windows);
        cpuSeconds += processorSeconds(RUSAGE_SELF) - cpuStart;
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (dialogs.messages.size() != 1 || dialogs.messages[0] != sw::kCompletionMessage) {
            state.SkipWithError("extraction did not complete");
            return;
        }
        frames += kFrames;
    }
    record(state, "strobo", frames, seconds, cpuSeconds);
}

void BM_FfmpegToBitmaps(benchmark::State& state) {
    const Workspace& w = workspace();
    const std::string command = "ffmpeg -v error -nostdin -y -i '" + w.clip +
                                "' -start_number 1 '" + w.ffmpegOut + "/test%d.bmp'";
    std::int64_t frames = 0;
    double seconds = 0;
    double cpuSeconds = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const double cpuStart = processorSeconds(RUSAGE_CHILDREN);
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("ffmpeg failed");
            return;
        }
        cpuSeconds += processorSeconds(RUSAGE_CHILDREN) - cpuStart;
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        frames += kFrames;
    }
    record(state, "ffmpeg", frames, seconds, cpuSeconds);
}

BENCHMARK(BM_ExtractionThroughWindows)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);
BENCHMARK(BM_FfmpegToBitmaps)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    wf::installJapaneseFontAlias();
    // As the program does at start.
    wf::keepFreedMemoryForReuse();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    workspace();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    const auto& fps = framesPerSecond();
    for (const char* kind : {"", " cpu"}) {
        const auto strobo = fps.find(std::string("strobo") + kind);
        const auto ffmpeg = fps.find(std::string("ffmpeg") + kind);
        if (strobo == fps.end() || ffmpeg == fps.end()) continue;
        std::printf("extraction%s: strobo %.1f fps, ffmpeg to bmp %.1f fps, ratio %.2fx\n",
                    *kind ? " (processor time)" : "", strobo->second, ffmpeg->second,
                    strobo->second / ffmpeg->second);
    }
    return 0;
}
