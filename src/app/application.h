#pragma once

namespace strobo::app {

// The program's entry: with no arguments it opens the windows; `--render-window NAME OUT.png`
// draws one window offscreen; anything else is a batch command of the command line. Returns
// the exit code.
int runMain(int argc, char** argv);

}  // namespace strobo::app
