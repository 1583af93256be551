// Sequential extraction through the media command layer (open, window, status, seek 1..N,
// each frame drawn into an image) against `ffmpeg -i CLIP -f null -` decoding the same clip.
// Both include opening the file. The clips are made with ffmpeg's testsrc2, 300 frames: at
// 640 × 480 MJPEG, and MPEG-4 part 2 with two B-frames, both in AVI; and a camera-like H.264
// MP4 at 1280 × 720 with B-frames, which the player also scales down to 640 × 360.

#include <benchmark/benchmark.h>

#include <QImage>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <stdexcept>
#include <string>

#include "workfolder/media/media_player.h"

namespace {

using strobo::workfolder::media::FrameTarget;
using strobo::workfolder::media::MediaPlayer;

constexpr int kFrames = 300;

struct Clips {
    std::filesystem::path folder;
    std::string mjpeg;
    std::string mpeg4;
    std::string h264;

    Clips() {
        folder = std::filesystem::temp_directory_path() / "strobo-bench-media";
        std::filesystem::create_directories(folder);
        mjpeg = (folder / "testsrc2_mjpeg.avi").string();
        mpeg4 = (folder / "testsrc2_mpeg4_bframes.avi").string();
        make(mjpeg, "-c:v mjpeg -q:v 3 -pix_fmt yuvj420p");
        make(mpeg4, "-c:v mpeg4 -q:v 3 -bf 2 -g 30");
        h264 = (folder / "testsrc2_h264_720p.mp4").string();
        make(h264, "-c:v libx264 -preset veryfast -bf 3 -g 60", "1280x720");
    }
    ~Clips() {
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
    }
    static void make(const std::string& path, const std::string& codec,
                     const std::string& size = "640x480") {
        const std::string command =
            "ffmpeg -v error -nostdin -y -f lavfi -i testsrc2=size=" + size +
            ":rate=30 -frames:v " + std::to_string(kFrames) + " " + codec + " '" + path + "'";
        if (std::system(command.c_str()) != 0) throw std::runtime_error("cannot make " + path);
    }
};

Clips& clips() {
    static Clips c;
    return c;
}

// Draws each frame into an image the way a picture box keeps it.
class ImageTarget : public FrameTarget {
  public:
    void showVideoFrame(const strobo::engine::PackedImage& frame) override {
        if (image.width() != frame.width || image.height() != frame.height) {
            image = QImage(frame.width, frame.height, QImage::Format_RGBX8888);
        }
        for (int y = 0; y < frame.height; ++y) {
            std::memcpy(image.scanLine(y), frame.row(y), static_cast<std::size_t>(frame.width) * 4);
        }
    }
    void clearVideoFrame() override { image.fill(Qt::white); }
    QImage image;
};

std::map<std::string, double>& framesPerSecond() {
    static std::map<std::string, double> fps;
    return fps;
}

void record(benchmark::State& state, const std::string& name, std::int64_t frames, double seconds) {
    state.SetItemsProcessed(frames);
    state.counters["fps"] = benchmark::Counter(static_cast<double>(frames) / seconds);
    framesPerSecond()[name] = static_cast<double>(frames) / seconds;
}

void extractThroughPlayer(benchmark::State& state, const std::string& name,
                          const std::string& path) {
    std::int64_t frames = 0;
    double seconds = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        ImageTarget target;
        MediaPlayer player;
        player.setFrameTargetResolver([&target](std::uint64_t) { return &target; });
        player.sendString("open \"" + path + "\" alias test");
        player.sendString("window test handle  1");
        std::string reply;
        player.sendString("status test length", &reply, 255);
        const int count = std::atoi(reply.c_str());
        for (int i = 1; i <= count; ++i) {
            if (player.sendString("seek test to " + std::to_string(i)) != 0) {
                state.SkipWithError("seek failed");
                return;
            }
            benchmark::DoNotOptimize(target.image.constBits());
        }
        player.sendString("stop test");
        player.sendString("close test");
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        frames += count;
    }
    record(state, name, frames, seconds);
}

void decodeWithFfmpeg(benchmark::State& state, const std::string& name, const std::string& path) {
    const std::string command = "ffmpeg -v error -nostdin -i '" + path + "' -f null -";
    std::int64_t frames = 0;
    double seconds = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("ffmpeg failed");
            return;
        }
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        frames += kFrames;
    }
    record(state, name, frames, seconds);
}

void BM_PlayerMjpeg(benchmark::State& s) {
    extractThroughPlayer(s, "player mjpeg", clips().mjpeg);
}
void BM_FfmpegMjpeg(benchmark::State& s) {
    decodeWithFfmpeg(s, "ffmpeg mjpeg", clips().mjpeg);
}
void BM_PlayerMpeg4BFrames(benchmark::State& s) {
    extractThroughPlayer(s, "player mpeg4", clips().mpeg4);
}
void BM_FfmpegMpeg4BFrames(benchmark::State& s) {
    decodeWithFfmpeg(s, "ffmpeg mpeg4", clips().mpeg4);
}

void BM_PlayerH264(benchmark::State& s) {
    extractThroughPlayer(s, "player h264", clips().h264);
}
void BM_FfmpegH264(benchmark::State& s) {
    decodeWithFfmpeg(s, "ffmpeg h264", clips().h264);
}

BENCHMARK(BM_PlayerMjpeg)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_FfmpegMjpeg)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_PlayerMpeg4BFrames)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_FfmpegMpeg4BFrames)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_PlayerH264)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_FfmpegH264)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    clips();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    auto& fps = framesPerSecond();
    for (const char* codec : {"mjpeg", "mpeg4", "h264"}) {
        const auto player = fps.find(std::string("player ") + codec);
        const auto ffmpeg = fps.find(std::string("ffmpeg ") + codec);
        if (player == fps.end() || ffmpeg == fps.end()) continue;
        std::printf("%-6s player %8.1f fps, ffmpeg -f null %8.1f fps, ratio %.2fx\n", codec,
                    player->second, ffmpeg->second, player->second / ffmpeg->second);
    }
    return 0;
}
