#pragma once

namespace strobo::cli {

// The program's entry: with no arguments it opens the windows; otherwise it runs a batch command
// (extract, build, save, make, demo) or an option, and returns the exit code.
int runMain(int argc, char** argv);

}  // namespace strobo::cli
