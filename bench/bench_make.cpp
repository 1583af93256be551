// make's window-sized road over a whole clip against the decoding it cannot do without: the same
// frames read through strobo's decoder as the extraction's player reads them (fitted to
// 640 x 480), and `ffmpeg -i CLIP -f null -` decoding the clip without converting anything. The
// clip is ffmpeg's testsrc2 as 300 frames of 1080p60 H.264 in MP4. make's ratio to the first is
// what its own work (painting, shrinking, composing, writing) adds to decoding; to the second,
// what the whole road costs against the decoder's own speed.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <QCoreApplication>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <stdexcept>
#include <string>

#include "stages/make/make_strobe.h"
#include "workfolder/media/media_player.h"
#include "workfolder/media/video_decoder.h"
#include "workfolder/memory_tuning.h"

namespace {

namespace fs = std::filesystem;
namespace media = strobo::workfolder::media;
namespace stages = strobo::stages;

constexpr int kFrames = 300;

struct Workspace {
    fs::path folder;
    std::string clip;

    Workspace() {
        folder = fs::temp_directory_path() / "strobo-bench-make";
        fs::remove_all(folder);
        fs::create_directories(folder);
        clip = (folder / "h264.mp4").string();
        const std::string command =
            "ffmpeg -v error -nostdin -y -f lavfi -i testsrc2=size=1920x1080:rate=60 -frames:v " +
            std::to_string(kFrames) + " -c:v libx264 -preset veryfast -g 60 -pix_fmt yuv420p '" +
            clip + "'";
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

std::map<std::string, double>& bestSeconds() {
    static std::map<std::string, double> best;
    return best;
}

double processorSeconds(int who) {
    rusage usage{};
    getrusage(who, &usage);
    const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Runs `body` once per iteration and keeps the fastest wall and processor time.
template <typename Body>
void measure(benchmark::State& state, const std::string& name, int who, Body body) {
    double wall = 1e9;
    double cpu = 1e9;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const double cpuStart = processorSeconds(who);
        if (!body()) {
            state.SkipWithError((name + " failed").c_str());
            return;
        }
        cpu = std::min(cpu, processorSeconds(who) - cpuStart);
        wall = std::min(
            wall, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    bestSeconds()[name] = wall;
    bestSeconds()[name + " cpu"] = cpu;
    state.counters["best_s"] = wall;
    state.counters["best_cpu_s"] = cpu;
}

void BM_MakeWholeClip(benchmark::State& state) {
    const Workspace& w = workspace();
    stages::MakeRequest request;
    request.clip = w.clip;
    request.first = 0;
    request.last = kFrames - 2;
    request.output = (w.folder / "made.bmp").string();
    measure(state, "make", RUSAGE_SELF, [&] { return !stages::makeStrobe(request).failure; });
}

void BM_DecoderAlone(benchmark::State& state) {
    const Workspace& w = workspace();
    measure(state, "decoder", RUSAGE_SELF, [&] {
        media::DecoderOptions options;
        options.maxWidth = media::MediaPlayer::kMaxFrameWidth;
        options.maxHeight = media::MediaPlayer::kMaxFrameHeight;
        options.enlargeToFit = true;
        media::VideoDecoder decoder(w.clip, options);
        for (std::int64_t i = 1; i < decoder.frameCount(); ++i)
            benchmark::DoNotOptimize(decoder.frame(i));
        return true;
    });
}

void BM_FfmpegDecodeOnly(benchmark::State& state) {
    const Workspace& w = workspace();
    const std::string command = "ffmpeg -v error -nostdin -i '" + w.clip + "' -f null -";
    measure(state, "ffmpeg", RUSAGE_CHILDREN, [&] { return std::system(command.c_str()) == 0; });
}

BENCHMARK(BM_MakeWholeClip)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_DecoderAlone)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_FfmpegDecodeOnly)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
    // As the program does at start.
    strobo::workfolder::keepFreedMemoryForReuse();
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    workspace();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    const auto& best = bestSeconds();
    for (const char* kind : {"", " cpu"}) {
        const auto make = best.find(std::string("make") + kind);
        const auto decoder = best.find(std::string("decoder") + kind);
        const auto ffmpeg = best.find(std::string("ffmpeg") + kind);
        if (make == best.end() || decoder == best.end() || ffmpeg == best.end()) continue;
        std::printf(
            "make of %d 1080p frames%s: %.3f s; strobo's decoder alone %.3f s (%.2fx); ffmpeg "
            "decoding only %.3f s (%.2fx, target <= 1.3x)\n",
            kFrames - 1, *kind ? " (processor time)" : "", make->second, decoder->second,
            make->second / decoder->second, ffmpeg->second, make->second / ffmpeg->second);
    }
    return 0;
}
