#pragma once

#include <string>

namespace strobo::stages {

// A private work folder under the system's temporary folder, made with owner-only access under
// a name no one else can take (mkdtemp), and removed with everything in it when the object goes,
// however the command ends.
class ScratchFolder {
  public:
    // Throws a FailureError (ScratchFolderNotMade) when the folder cannot be made.
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    // Without a trailing separator, as a work folder is written.
    const std::string& path() const { return m_path; }

  private:
    std::string m_path;
};

}  // namespace strobo::stages
