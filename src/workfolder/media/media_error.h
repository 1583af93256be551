#pragma once

#include <stdexcept>
#include <string>

namespace strobo::workfolder::media {

// A video that cannot be opened, read or written. The message is Japanese, names the file and
// can be shown to the user as it stands.
class MediaError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

}  // namespace strobo::workfolder::media
