// Strobe build steps per second: strobo's build loop against ImageMagick running the same step
// chain (load previous, shrink the frame to 62 %, lighten, crop 400x300, save) as one process per
// step, both on 653x480 frame files, measured in the same run.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "stages/composition/strobe_build.h"
#include "workfolder/file_names.h"
#include "workfolder/file_services.h"
#include "workfolder/memory_tuning.h"

namespace {

namespace wf = strobo::workfolder;
using strobo::engine::packColor;
using strobo::engine::PackedImage;

constexpr int kSteps = 100;
const char* kConvert = "/usr/bin/convert-im6.q16";

double g_stroboStepsPerSecond = 0;
double g_magickStepsPerSecond = 0;

struct Folder {
    Folder() {
        path = dir.path().toStdString();
        wf::FileServices services;
        PackedImage base(400, 300);
        for (int y = 0; y < 300; ++y)
            for (int x = 0; x < 400; ++x) base.set(x, y, packColor(x % 200, y % 150, 60));
        services.savePicture(base, wf::baseStrobeImage(path));
        for (int n = 1; n <= kSteps + 1; ++n) {
            PackedImage frame(653, 480);
            for (int y = 0; y < 480; ++y)
                for (int x = 0; x < 653; ++x)
                    frame.set(x, y, packColor((x + n) % 256, (y * 3) % 256, (x ^ y) % 256));
            services.savePicture(frame, wf::frameFile(path, n));
        }
    }
    QTemporaryDir dir;
    std::string path;
};

Folder& folder() {
    static Folder f;
    return f;
}

void BM_StroboBuild(benchmark::State& state) {
    wf::FileServices services;
    for (auto _ : state) {
        strobo::stages::StrobeBuild build(services, folder().path);
        const auto start = std::chrono::steady_clock::now();
        const auto report = build.run({0, static_cast<double>(kSteps - 1)});
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (!report.completed) state.SkipWithError("the build did not complete");
        g_stroboStepsPerSecond = kSteps / seconds;
    }
    state.counters["steps_per_s"] = g_stroboStepsPerSecond;
}
BENCHMARK(BM_StroboBuild)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_ImageMagickChain(benchmark::State& state) {
    const std::string& dir = folder().path;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        std::system(("cp '" + dir + "/Sstrobe.bmp' '" + dir + "/M0.bmp'").c_str());
        for (int i = 1; i <= kSteps; ++i) {
            const std::string cmd = std::string(kConvert) + " '" + dir + "/M" +
                                    std::to_string(i - 1) + ".bmp' '(' '" + wf::frameFile(dir, i) +
                                    "' -resize 62% ')' -compose lighten -composite -crop "
                                    "400x300+0+0 +repage 'BMP3:" +
                                    dir + "/M" + std::to_string(i) + ".bmp'";
            if (std::system(cmd.c_str()) != 0) {
                state.SkipWithError("ImageMagick failed");
                return;
            }
        }
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        g_magickStepsPerSecond = kSteps / seconds;
    }
    state.counters["steps_per_s"] = g_magickStepsPerSecond;
}
BENCHMARK(BM_ImageMagickChain)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
    strobo::workfolder::keepFreedMemoryForReuse();
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (g_stroboStepsPerSecond > 0 && g_magickStepsPerSecond > 0) {
        std::printf(
            "\nstrobe build: strobo %.1f steps/s, ImageMagick %.1f steps/s, ratio %.1fx (target >= "
            "10x)\n",
            g_stroboStepsPerSecond, g_magickStepsPerSecond,
            g_stroboStepsPerSecond / g_magickStepsPerSecond);
    }
    return 0;
}
