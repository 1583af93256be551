#include "stages/make/scratch_folder.h"

#include <stdlib.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

#include "workfolder/failure.h"

namespace strobo::stages {

namespace fs = std::filesystem;

ScratchFolder::ScratchFolder() {
    std::error_code ec;
    fs::path base = fs::temp_directory_path(ec);
    if (ec) base = "/tmp";
    const std::string pattern = (base / "strobo-work-XXXXXX").string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (mkdtemp(name.data()) == nullptr) {
        throw workfolder::FailureError(workfolder::Failure{
            workfolder::FailureKind::ScratchFolderNotMade, pattern, {}, std::strerror(errno)});
    }
    m_path = name.data();
}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    fs::remove_all(m_path, ignored);
}

}  // namespace strobo::stages
