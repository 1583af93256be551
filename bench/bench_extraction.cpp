// Frame extraction through the windows (offscreen): the whole Command1 handler, from the open
// command to the close command, playing each frame into the playback window, capturing it and
// saving it as a 653 x 480 bitmap; against ffmpeg writing the same 653 x 480 pictures (the video
// fitted into 640 x 480 and padded at (2, 2), as compare_peers.sh has it). Two clips of ffmpeg's
// testsrc2: 150 frames of 640 x 480 MJPEG in AVI, and 120 frames of 1080p60 H.264 in MP4. Both
// sides include opening the clip and writing every file. Besides wall time, the processor time
// each side spends (this process's, and ffmpeg's as a child) gives a second ratio that holds up
// better on a busy machine.

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
#include <vector>

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

struct Clip {
    const char* name;
    int frames;
    const char* source;   // ffmpeg's input
    const char* encoder;  // and its encoder options
    const char* file;
};

constexpr Clip kClips[] = {
    {"mjpeg", 150, "-f lavfi -i testsrc2=size=640x480:rate=30",
     "-c:v mjpeg -q:v 3 -pix_fmt yuvj420p", "clip.avi"},
    {"h264", 120, "-f lavfi -i testsrc2=size=1920x1080:rate=60",
     "-c:v libx264 -preset veryfast -g 60 -pix_fmt yuv420p", "clip.mp4"},
};

struct Workspace {
    fs::path folder;
    std::vector<std::string> clips;

    Workspace() {
        folder = fs::temp_directory_path() / "strobo-bench-extraction";
        fs::remove_all(folder);
        fs::create_directories(folder);
        for (const Clip& clip : kClips) {
            const std::string path = (folder / (std::string(clip.name) + "-" + clip.file)).string();
            const std::string command = std::string("ffmpeg -v error -nostdin -y ") + clip.source +
                                        " -frames:v " + std::to_string(clip.frames) + " " +
                                        clip.encoder + " '" + path + "'";
            if (std::system(command.c_str()) != 0) throw std::runtime_error("cannot make " + path);
            clips.push_back(path);
        }
    }
    ~Workspace() {
        std::error_code ec;
        fs::remove_all(folder, ec);
    }
    // A fresh folder for one run's pictures.
    std::string output(const std::string& name) {
        const fs::path out = folder / name;
        fs::remove_all(out);
        fs::create_directories(out);
        return out.string();
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
    Workspace& w = workspace();
    const Clip& clip = kClips[state.range(0)];
    const std::string out = w.output(std::string("strobo-") + clip.name);
    std::int64_t frames = 0;
    double seconds = 0;
    double cpuSeconds = 0;
    for (auto _ : state) {
        strobo::testing::ScriptedDialogs dialogs;
        sw::WindowSet windows;
        windows.setDialogs(dialogs);
        windows.form1();
        windows.form2();
        dialogs.openAnswers.push_back(w.clips[state.range(0)]);
        dialogs.inputAnswers.push_back(out);
        const auto start = std::chrono::steady_clock::now();
        const double cpuStart = processorSeconds(RUSAGE_SELF);
        sw::runExtraction(windows);
        cpuSeconds += processorSeconds(RUSAGE_SELF) - cpuStart;
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (dialogs.messages.size() != 1 || dialogs.messages[0] != sw::kCompletionMessage) {
            state.SkipWithError("extraction did not complete");
            return;
        }
        frames += clip.frames;
    }
    record(state, std::string("strobo ") + clip.name, frames, seconds, cpuSeconds);
}

void BM_FfmpegToBitmaps(benchmark::State& state) {
    Workspace& w = workspace();
    const Clip& clip = kClips[state.range(0)];
    const std::string command =
        "ffmpeg -v error -nostdin -y -i '" + w.clips[state.range(0)] +
        "' -vf scale=640:480:force_original_aspect_ratio=decrease:flags=bicubic,pad=653:480:2:2 "
        "-start_number 1 '" +
        w.output(std::string("ffmpeg-") + clip.name) + "/test%d.bmp'";
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
        frames += clip.frames;
    }
    record(state, std::string("ffmpeg ") + clip.name, frames, seconds, cpuSeconds);
}

BENCHMARK(BM_ExtractionThroughWindows)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(3.0);
BENCHMARK(BM_FfmpegToBitmaps)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(3.0);

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
    for (const Clip& clip : kClips) {
        for (const char* kind : {"", " cpu"}) {
            const auto strobo = fps.find(std::string("strobo ") + clip.name + kind);
            const auto ffmpeg = fps.find(std::string("ffmpeg ") + clip.name + kind);
            if (strobo == fps.end() || ffmpeg == fps.end()) continue;
            // Time per frame, strobo's over ffmpeg's: below 1 means strobo is faster.
            std::printf(
                "extraction %s%s: strobo %.1f fps, ffmpeg to bmp %.1f fps, time ratio %.2fx\n",
                clip.name, *kind ? " (processor time)" : "", strobo->second, ffmpeg->second,
                ffmpeg->second / strobo->second);
        }
    }
    return 0;
}
