#pragma once

#include <string>
#include <vector>

#include "stages/make/make_strobe.h"
#include "stages/output/make_outputs.h"

namespace strobo::cli {

// Reads make's words into the road's request. Throws UsageError for a malformed line,
// InputError for a bad value.
stages::MakeRequest parseMakeArguments(const std::vector<std::string>& words);

// Reads make's --csv, --gif, --mp4 and --labels. Throws InputError for an empty name.
stages::MakeExtras parseMakeExtras(const std::vector<std::string>& words);

// Runs the road with the command line's progress view. Throws Interrupted when the user stopped
// it, the road's FailureError when it failed.
stages::MakeResult runMakeRoad(const stages::MakeRequest& request);

// Prints the saved pictures' summary line.
void printSaved(const stages::MakeResult& result);

int runMake(const std::vector<std::string>& words);

}  // namespace strobo::cli
