#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/composition.h"
#include "engine/packed_image.h"
#include "stages/composition/operation_choice.h"
#include "stages/progress.h"
#include "workfolder/failure.h"

namespace strobo::stages {

enum class FrameSize {
    // As the windows make it: frame files of the playback picture, shrunk to 62 % and composed
    // into 400 x 300 pictures.
    Window,
    // The clip's own frames, composed at their own size.
    Native,
};

enum class BackgroundKind { Black, File, Median };

// The whole road from a clip to saved strobe pictures, in one request.
struct MakeRequest {
    std::string clip;
    // The contact sheet's numbers: frame files first+1 to last+1 are used (0 <= first <= last).
    std::int64_t first = 0;
    std::int64_t last = 0;
    // The save path; its file name's extension is cut off and 1, 2, ... and ".bmp" appended.
    std::string output;
    engine::CompositionOperation operation = engine::kOperationMax;
    // Instead of `operation`, the whole-colour maximum or minimum as the clip's moving object is
    // brighter or darker than the background (see ToneVote).
    bool chooseOperation = false;
    BackgroundKind background = BackgroundKind::Black;
    std::string backgroundFile;
    // Every K-th frame of the range is used.
    std::int64_t every = 1;
    FrameSize size = FrameSize::Window;
    // Asked while the clip is opened, scanned and decoded (Ctrl-C, a stop button): true ends the
    // road as stopped at once, even in the middle of a long scan.
    std::function<bool()> stopRequested;
    // Threads of the clip's decoder, 0 for FFmpeg's choice; the pictures are the same whatever
    // the number.
    int decoderThreads = 0;
    // Native size only: when set, just the last picture is written, to this very path.
    std::string finalPicture;
    // Native size only: hears the background the pictures are composed onto.
    std::function<void(const engine::PackedImage& background)> backgroundUsed;
    // Hears every frame used, at the clip's full size (upright, as a decoder without a box gives
    // it) with its time, so that the object can be found in the frames the road decodes anyway.
    // The window road converts each frame used at that size as well, beside the one it composes.
    std::function<void(std::int64_t clipFrame, double time, engine::PackedImage frame)> frameUsed;
};

struct MakeResult {
    // The frames of the clip the road placed: its length, or, when the range lies well before
    // its end, the frames up to a little after the range (0 when the road stopped first).
    std::int64_t frameCount = 0;
    // The saved pictures, in order; the last one holds every frame used.
    std::vector<std::string> saved;
    // The progress asked to stop; no picture was saved.
    bool stopped = false;
    // Why no picture was saved.
    std::optional<workfolder::Failure> failure;
    // The operation the pictures were composed with, and the tone it was chosen for when the
    // request let the road choose.
    engine::CompositionOperation operation = engine::kOperationMax;
    std::optional<ObjectTone> tone;
};

// How many frames the range gives with every K-th taken.
std::int64_t usedFrameCount(const MakeRequest& request);

// The whole road: frames, background, strobe series and saved pictures, straight from the clip:
// only the frames the range uses are decoded, once, and nothing but the saved pictures is written
// (a road that chooses its operation writes the other candidate's pending pictures too, and
// throws them away; on a disk too full for both it may read the range a second time). The window
// size gives the very pictures the windows' road (extraction, strobe build, save) saves; the
// native size composes the clip's own frames. The pictures are saved all or none: a road that
// fails or is stopped leaves none, and the files they would have replaced as they were. Progress
// hears every phase and may stop the road between two frames; a second reading of the range
// reports its frames from the first again.
MakeResult makeStrobe(const MakeRequest& request, const Progress& progress = {});

}  // namespace strobo::stages
