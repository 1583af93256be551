// What the table of positions costs: `make` with and without --csv on the same clip, on both
// roads. Both find the object in the frames they decode anyway, the window road converting each
// frame used at the clip's full size beside its own. Against a black background the object is
// found against the clip's median, which takes frames sampled over the whole clip; with
// --background median the road's own median serves.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

#include "stages/output/make_outputs.h"

namespace {

namespace st = strobo::stages;

struct Clip {
    Clip() {
        path = dir.path().toStdString() + "/throw.mp4";
        // Five seconds of a 1280 x 720 phone clip: a light ball thrown across a dark wall.
        const std::string command =
            "ffmpeg -v error -nostdin -y -f lavfi -i \"color=c=0x203040:s=1280x720:r=30:d=5,"
            "format=yuv444p,geq=lum='if(lt(hypot(X-(80+7*N)\\,Y-(600-14*N+0.1*N*N))\\,20)\\,220\\,"
            "40+mod(X\\,7))':cb=128:cr=120\" -c:v libx264 -pix_fmt yuv420p '" +
            path + "'";
        ok = std::system(command.c_str()) == 0;
    }
    QTemporaryDir dir;
    std::string path;
    bool ok = false;
};

Clip& clip() {
    static Clip c;
    return c;
}

// Milliseconds per run, by name, for the ratios printed at the end.
std::map<std::string, double> g_milliseconds;

void runMake(benchmark::State& state, const std::string& name, st::FrameSize size,
             st::BackgroundKind background, bool csv) {
    if (!clip().ok) {
        state.SkipWithError("ffmpeg could not make the clip");
        return;
    }
    st::MakeRequest request;
    request.clip = clip().path;
    request.first = 0;
    request.last = 148;
    request.every = 3;
    request.size = size;
    request.background = background;
    request.output = clip().dir.path().toStdString() + "/" + name + ".bmp";
    st::MakeExtras extras;
    if (csv) extras.csv = clip().dir.path().toStdString() + "/" + name + ".csv";
    double total = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const st::MakeAndShareResult result = st::makeAndShare(request, extras);
        total += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                     .count();
        if (result.made.failure) state.SkipWithError("make failed");
    }
    g_milliseconds[name] = total / static_cast<double>(state.iterations());
}

void BM_NativeBlack(benchmark::State& s) {
    runMake(s, "native-black", st::FrameSize::Native, st::BackgroundKind::Black, false);
}
void BM_NativeBlackCsv(benchmark::State& s) {
    runMake(s, "native-black-csv", st::FrameSize::Native, st::BackgroundKind::Black, true);
}
void BM_NativeMedian(benchmark::State& s) {
    runMake(s, "native-median", st::FrameSize::Native, st::BackgroundKind::Median, false);
}
void BM_NativeMedianCsv(benchmark::State& s) {
    runMake(s, "native-median-csv", st::FrameSize::Native, st::BackgroundKind::Median, true);
}
void BM_WindowBlack(benchmark::State& s) {
    runMake(s, "window-black", st::FrameSize::Window, st::BackgroundKind::Black, false);
}
void BM_WindowBlackCsv(benchmark::State& s) {
    runMake(s, "window-black-csv", st::FrameSize::Window, st::BackgroundKind::Black, true);
}

// One frame searched against its background at 1280 x 720: the cost the native road adds per
// image used.
void BM_FindObject(benchmark::State& state) {
    strobo::engine::PackedImage background(1280, 720);
    for (int y = 0; y < 720; ++y)
        for (int x = 0; x < 1280; ++x)
            background.set(x, y, strobo::engine::packColor(40 + x % 7, 50 + y % 5, 60));
    strobo::engine::PackedImage frame = background;
    for (int y = 300; y < 340; ++y)
        for (int x = 600; x < 640; ++x) frame.set(x, y, strobo::engine::packColor(230, 230, 230));
    const st::ObjectFinder finder(background);
    for (auto _ : state) benchmark::DoNotOptimize(finder.find(frame));
}

BENCHMARK(BM_FindObject)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NativeBlack)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);
BENCHMARK(BM_NativeBlackCsv)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);
BENCHMARK(BM_NativeMedian)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);
BENCHMARK(BM_NativeMedianCsv)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);
BENCHMARK(BM_WindowBlack)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);
BENCHMARK(BM_WindowBlackCsv)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    for (const char* road : {"native-black", "native-median", "window-black"}) {
        const auto plain = g_milliseconds.find(road);
        const auto withCsv = g_milliseconds.find(std::string(road) + "-csv");
        if (plain == g_milliseconds.end() || withCsv == g_milliseconds.end()) continue;
        std::printf("make --csv / make, %s: %.2f\n", road, withCsv->second / plain->second);
    }
    return 0;
}
