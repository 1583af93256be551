#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/composition.h"

namespace strobo::cli {

enum class FrameSize {
    // As the windows make it: frame files of the playback window, shrunk to 62 % and composed
    // into 400 x 300 pictures.
    Window,
    // The clip's own frames, composed at their own size.
    Native,
};

enum class BackgroundKind { Black, File, Median };

struct MakeRequest {
    std::string clip;
    // The contact sheet's numbers: frame files first+1 to last+1 are used.
    std::int64_t first = 0;
    std::int64_t last = 0;
    std::string output;
    engine::CompositionOperation operation = engine::kOperationMax;
    BackgroundKind background = BackgroundKind::Black;
    std::string backgroundFile;
    std::int64_t every = 1;
    FrameSize size = FrameSize::Window;
};

// The saved pictures, in order; the last one holds every frame.
struct MakeResult {
    std::int64_t frameCount = 0;
    std::vector<std::string> saved;
};

// Reads make's words. Throws UsageError for a malformed line, InputError for a bad value.
MakeRequest parseMakeArguments(const std::vector<std::string>& words);

// The whole road: frames, background, strobe series and saved pictures, with every work file in
// a private folder that is gone afterwards. Throws InputError naming the clip or file at fault.
// The window size needs a QApplication.
MakeResult makeStrobe(const MakeRequest& request);

int runMake(const std::vector<std::string>& words);
int runDemo(const std::vector<std::string>& words);

// Where `strobo demo` puts its files when no folder is given: a new folder strobo-demo (or
// strobo-demo-2, ...) in `current` when that can be written, else in `home`.
std::string defaultDemoFolder(const std::string& current, const std::string& home);

}  // namespace strobo::cli
