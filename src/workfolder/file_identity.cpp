#include "workfolder/file_identity.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <QString>
#include <filesystem>
#include <optional>

namespace strobo::workfolder {

namespace fs = std::filesystem;

namespace {

// Asks the folder itself: an entry's name in another case either opens the same file or
// nothing. Empty folders, or ones with no name that has case, say nothing.
std::optional<bool> lookupIgnoresCase(const fs::path& folder) {
    std::error_code ec;
    int looked = 0;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end && looked < 64;
         it.increment(ec), ++looked) {
        const QString name = QString::fromStdString(it->path().filename().string());
        QString other = name.toUpper();
        if (other == name) other = name.toLower();
        if (other == name) continue;
        struct stat entry {};
        struct stat swapped {};
        if (::stat(it->path().c_str(), &entry) != 0) continue;
        if (::stat((folder / other.toStdString()).c_str(), &swapped) != 0) return false;
        return entry.st_dev == swapped.st_dev && entry.st_ino == swapped.st_ino;
    }
    return std::nullopt;
}

// Whether the file system looks names up in this folder without regard to case. The common
// kinds are told by their type; ext4, f2fs and tmpfs can fold case in single folders, which a
// folder flag tells. Anything else (exFAT or NTFS through FUSE, network file systems) is asked
// by looking an entry up in another case; where nothing tells, names are taken to ignore case,
// which at worst refuses a write that was safe.
bool ignoresCase(const fs::path& folder) {
    struct statfs info {};
    if (::statfs(folder.c_str(), &info) != 0) return true;
    const auto type = static_cast<std::uint32_t>(info.f_type);
    switch (type) {
        case 0x4d44:      // FAT
        case 0x2011BAB0:  // exFAT
        case 0xFF534D42:  // CIFS
        case 0xFE534D42:  // SMB2
        case 0x517B:      // SMB
            return true;
        default:
            break;
    }
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        int flags = 0;
        const bool folded = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 && (flags & FS_CASEFOLD_FL);
        ::close(fd);
        if (folded) return true;
    }
    switch (type) {
        case 0xEF53:      // ext2, ext3, ext4
        case 0x01021994:  // tmpfs
        case 0x58465342:  // XFS
        case 0x9123683E:  // Btrfs
        case 0xF2F52010:  // F2FS
            return false;
        default:
            return lookupIgnoresCase(folder).value_or(true);
    }
}

}  // namespace

FileIdentity fileIdentity(const std::string& pathText) {
    fs::path path(pathText);
    struct stat info {};
    for (int links = 0;; ++links) {
        if (::stat(path.c_str(), &info) == 0) return {info.st_dev, info.st_ino, {}};
        std::error_code ec;
        if (links >= 40 || !fs::is_symlink(path, ec)) break;
        const fs::path to = fs::read_symlink(path, ec);
        if (ec) break;
        path = to.is_absolute() ? to : path.parent_path() / to;
    }
    fs::path folder = path.parent_path();
    fs::path rest = path.filename();
    while (!folder.empty() && ::stat(folder.c_str(), &info) != 0) {
        rest = folder.filename() / rest;
        const fs::path up = folder.parent_path();
        if (up == folder) break;
        folder = up;
    }
    if (folder.empty()) {
        folder = ".";
        ::stat(".", &info);
    }
    std::string restText = rest.lexically_normal().string();
    if (ignoresCase(folder)) {
        restText = QString::fromStdString(restText).toCaseFolded().toStdString();
    }
    return {info.st_dev, info.st_ino, std::move(restText)};
}

bool sameFile(const std::string& a, const std::string& b) {
    return fileIdentity(a) == fileIdentity(b);
}

FileIdentitySet::FileIdentitySet(const std::vector<std::string>& files) {
    for (const std::string& file : files) m_identities.insert(fileIdentity(file));
}

bool FileIdentitySet::landsOn(const std::string& target) const {
    return m_identities.contains(fileIdentity(target));
}

bool landsOn(const std::string& target, const std::vector<std::string>& protectedFiles) {
    return FileIdentitySet(protectedFiles).landsOn(target);
}

}  // namespace strobo::workfolder
