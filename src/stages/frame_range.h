#pragma once

namespace strobo::stages {

// The frame range S to E of the contact sheet, as numbers. The windows convert the two typed
// texts once (the lenient conversion, the last one through the 255-character buffer); the
// command line takes its arguments. Fractions stay: each stage rounds where it needs a whole
// number, and a fraction can end up in a file name.
struct FrameRange {
    double first = 0;
    double last = 0;
};

}  // namespace strobo::stages
