#pragma once

#include <string>
#include <vector>

namespace strobo::cli {

// `strobo demo [FOLDER]`: writes the sample clip and makes its strobe picture.
int runDemo(const std::vector<std::string>& words);

// Where `strobo demo` puts its files when no folder is given: a new folder strobo-demo (or
// strobo-demo-2, ...) in `current` when that can be written, else in `home`.
std::string defaultDemoFolder(const std::string& current, const std::string& home);

}  // namespace strobo::cli
