#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

#include "stages/measure/object_positions.h"
#include "stages/output/make_outputs.h"
#include "workfolder/file_services.h"
#include "workfolder/media/video_decoder.h"
#include "workfolder/media_test_clips.h"

namespace strobo::stages {

namespace fs = std::filesystem;
namespace mt = workfolder::media::testing;
namespace media = workfolder::media;

namespace {

// The ball's centre in frame n of the clips below, in pixels.
double ballX(std::int64_t n) {
    return 30.0 + 7.0 * static_cast<double>(n);
}
double ballY(std::int64_t n) {
    return 40.0 + 5.0 * static_cast<double>(n);
}

// A dark ball crossing a light 320 x 240 picture on the path above, filmed at 240 frames a
// second and stored with time stamps that grow further apart frame by frame, as a phone's
// variable-rate slow motion does: no single rate gives the shown times. H.264 with B-frames, so
// decode order differs from the order shown.
std::string variableRateBallClip(const mt::TempFolder& temp) {
    const std::string clip = temp.file("ball.mp4");
    const bool made = mt::runFfmpeg(
        "-f lavfi -i \"color=c=0xF0F0F0:s=320x240:r=240:d=0.125,format=yuv444p,"
        "geq=lum='if(lt(hypot(X-(30+7*N)\\,Y-(40+5*N))\\,9)\\,40\\,230)':cb=128:cr=128,"
        "setpts='(N*N/2+4*N)/(240*TB)'\" -fps_mode passthrough -video_track_timescale 24000 "
        "-c:v libx264 -pix_fmt yuv420p " +
        mt::shellWord(clip));
    return made ? clip : std::string();
}

// The times ffprobe reads from the clip's own time stamps, in the order shown, from the first.
std::vector<double> probedFrameTimes(const std::string& clip) {
    std::vector<double> times;
    const std::string command =
        "ffprobe -v error -select_streams v:0 -show_entries frame=pts_time -of default=nw=1:nk=1 " +
        mt::shellWord(clip);
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return times;
    double t = 0;
    while (std::fscanf(pipe, "%lf", &t) == 1) times.push_back(t);
    pclose(pipe);
    const double first = times.empty() ? 0 : times.front();
    for (double& time : times) time -= first;
    return times;
}

struct CsvRow {
    int image = 0;
    std::int64_t frame = 0;
    double time = 0;
    std::string x;
    std::string y;
    std::string area;
};

std::vector<CsvRow> readCsv(const std::string& file, std::string* header) {
    std::istringstream in(mt::readBytes(file));
    std::vector<CsvRow> rows;
    std::string line;
    std::getline(in, line);
    *header = line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::vector<std::string> cells;
        std::stringstream cellStream(line);
        std::string cell;
        while (std::getline(cellStream, cell, ',')) cells.push_back(cell);
        while (cells.size() < 6) cells.emplace_back();
        rows.push_back({std::stoi(cells[0]), std::stoll(cells[1]), std::stod(cells[2]), cells[3],
                        cells[4], cells[5]});
    }
    return rows;
}

MakeRequest ballRequest(const std::string& clip, const std::string& output, FrameSize size) {
    MakeRequest request;
    request.clip = clip;
    request.first = 1;
    request.last = 28;
    request.every = 3;
    request.output = output;
    request.size = size;
    return request;
}

TEST(ClassOutputsTest, PositionsAndTimesFollowTheBallOnBothRoads) {
    mt::TempFolder temp;
    const std::string clip = variableRateBallClip(temp);
    ASSERT_FALSE(clip.empty());
    const std::vector<double> times = probedFrameTimes(clip);
    ASSERT_EQ(times.size(), 30u);

    for (const FrameSize size : {FrameSize::Native, FrameSize::Window}) {
        SCOPED_TRACE(size == FrameSize::Native ? "native" : "window");
        const std::string name = size == FrameSize::Native ? "native" : "window";
        MakeExtras extras;
        extras.csv = temp.file(name + ".csv");
        const MakeAndShareResult result =
            makeAndShare(ballRequest(clip, temp.file(name + ".bmp"), size), extras);
        ASSERT_FALSE(result.made.failure) << workfolder::japaneseText(*result.made.failure);
        EXPECT_EQ(result.shared, std::vector<std::string>{extras.csv});

        std::string header;
        const std::vector<CsvRow> rows = readCsv(extras.csv, &header);
        EXPECT_EQ(header, "image,frame,time_s,x_px,y_px,area_px\r");
        // Frame files 2, 5, ..., 29 show clip frames 2, 5, ..., 29.
        ASSERT_EQ(rows.size(), 10u);
        for (std::size_t k = 0; k < rows.size(); ++k) {
            const CsvRow& row = rows[k];
            const std::int64_t frame = 2 + 3 * static_cast<std::int64_t>(k);
            EXPECT_EQ(row.image, static_cast<int>(k) + 1);
            EXPECT_EQ(row.frame, frame);
            // Both sides are printed to the microsecond.
            EXPECT_NEAR(row.time, times[static_cast<std::size_t>(frame)], 1.001e-6) << frame;
            ASSERT_FALSE(row.x.empty()) << frame;
            EXPECT_NEAR(std::stod(row.x), ballX(frame), 1.0) << frame;
            EXPECT_NEAR(std::stod(row.y), ballY(frame), 1.0) << frame;
            EXPECT_NEAR(std::stod(row.area), std::numbers::pi * 81, 40) << frame;
        }
    }
}

TEST(ClassOutputsTest, NothingMovedLeavesEveryPositionEmpty) {
    mt::TempFolder temp;
    const std::string clip = temp.file("still.mp4");
    // A still scene with grain that changes every frame, as a camera's sensor gives.
    ASSERT_TRUE(
        mt::runFfmpeg("-f lavfi -i \"color=c=0x336699:s=160x120:r=25:d=1,noise=alls=12:allf=t\" "
                      "-c:v libx264 -pix_fmt yuv420p " +
                      mt::shellWord(clip)));
    PositionsRequest request;
    request.clip = clip;
    for (std::int64_t n = 0; n < 25; ++n) request.frames.push_back(n);
    const PositionsResult result = measurePositions(request);
    ASSERT_FALSE(result.failure) << workfolder::japaneseText(*result.failure);
    ASSERT_EQ(result.positions.size(), 25u);
    for (const ObjectPosition& position : result.positions) {
        EXPECT_FALSE(position.object) << position.frame << ": " << position.object->x << ", "
                                      << position.object->y << " " << position.object->area;
    }
}

TEST(ClassOutputsTest, SharedFilesReadBackAndNeverReplaceTheClip) {
    mt::TempFolder temp;
    const std::string clip = variableRateBallClip(temp);
    ASSERT_FALSE(clip.empty());
    const std::uintmax_t clipSize = fs::file_size(mt::u8(clip));

    MakeExtras extras;
    extras.gif = temp.file("run.gif");
    extras.mp4 = temp.file("run.mp4");
    extras.csv = temp.file("run.csv");
    extras.labels = true;
    const MakeAndShareResult result =
        makeAndShare(ballRequest(clip, temp.file("run.png"), FrameSize::Native), extras);
    ASSERT_FALSE(result.made.failure) << workfolder::japaneseText(*result.made.failure);
    ASSERT_EQ(result.made.saved.size(), 10u);
    EXPECT_EQ(result.made.saved.back(), temp.file("run10.png"));
    EXPECT_FALSE(fs::exists(mt::u8(temp.file("run1.bmp"))));

    // The pictures are PNG files of the clip's size, marked on each object's centre.
    workfolder::FileServices files;
    const engine::PackedImage last = files.loadPicture(result.made.saved.back());
    EXPECT_EQ(mt::readBytes(result.made.saved.back()).substr(1, 3), "PNG");
    ASSERT_EQ(last.width, 320);
    ASSERT_EQ(last.height, 240);
    ASSERT_EQ(result.positions.size(), 10u);
    for (const ObjectPosition& p : result.positions) {
        ASSERT_TRUE(p.object);
        EXPECT_EQ(last.at(static_cast<int>(std::lround(p.object->x)),
                          static_cast<int>(std::lround(p.object->y))),
                  engine::packColor(255, 40, 40))
            << p.image;
    }

    for (const std::string& animation : {extras.gif, extras.mp4}) {
        media::VideoDecoder decoder(animation);
        EXPECT_EQ(decoder.frameCount(), 10) << animation;
        EXPECT_EQ(decoder.outputWidth(), 320) << animation;
        EXPECT_EQ(decoder.outputHeight(), 240) << animation;
        EXPECT_NEAR(decoder.frameTime(9), 9 * 0.3, 1e-6) << animation;
    }

    // An output that names the clip is refused before anything is written.
    MakeExtras ontoClip;
    ontoClip.mp4 = temp.file("./ball.mp4");
    const MakeAndShareResult refused =
        makeAndShare(ballRequest(clip, temp.file("again.bmp"), FrameSize::Native), ontoClip);
    ASSERT_TRUE(refused.made.failure);
    EXPECT_EQ(refused.made.failure->kind, workfolder::FailureKind::SaveOntoClip);
    EXPECT_EQ(fs::file_size(mt::u8(clip)), clipSize);
    EXPECT_FALSE(fs::exists(mt::u8(temp.file("again1.bmp"))));
}

}  // namespace

}  // namespace strobo::stages
