#pragma once

#include <string>

#include "workfolder/failure.h"

namespace strobo::cli {

// A stage's failure on one line of standard error: what went wrong in English, then the
// failure in Japanese with its file and reason, line breaks made blanks.
std::string failureLine(const workfolder::Failure& failure);

}  // namespace strobo::cli
