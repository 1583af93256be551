#pragma once

namespace strobo::cli {

// The batch commands (extract, build, save, make, demo), help and version: argv[1] names one.
// Prints a line on standard error for anything that goes wrong and returns the exit code.
int runCommandLine(int argc, char** argv);

}  // namespace strobo::cli
