#pragma once

namespace strobo::cli {

// The program's entry: with no arguments it opens the windows; otherwise it runs a command.
int runMain(int argc, char** argv);

}  // namespace strobo::cli
