#include "workfolder/file_identity.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <QString>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <unordered_set>
#include <utility>

namespace strobo::workfolder {

namespace fs = std::filesystem;
using Key = FileIdentitySet::Key;

namespace {

std::optional<struct stat> statOf(const fs::path& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return std::nullopt;
    return info;
}

// Asks the folder itself: an entry's name in another case opens nothing (the file system tells
// case apart), or something that is not an entry of its own (it does not). A folder with no
// name that has case says nothing.
std::optional<bool> lookupIgnoresCase(const fs::path& folder) {
    constexpr std::size_t kMostNames = 4096;
    std::error_code ec;
    std::vector<std::string> names;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end && names.size() < kMostNames;
         it.increment(ec)) {
        names.push_back(it->path().filename().string());
    }
    const bool allListed = names.size() < kMostNames;
    const std::unordered_set<std::string> listed(names.begin(), names.end());
    for (std::size_t i = 0; i < names.size() && i < 64; ++i) {
        const QString name = QString::fromStdString(names[i]);
        QString other = name.toUpper();
        if (other == name) other = name.toLower();
        if (other == name) continue;
        const std::string otherName = other.toStdString();
        if (!statOf(folder / otherName)) return false;
        if (listed.contains(otherName)) return false;  // both spellings are files of their own
        if (allListed) return true;
    }
    return std::nullopt;
}

// Whether the file system looks names up in this folder without regard to case. The common
// kinds are told by their type; ext4, f2fs and tmpfs can fold case in single folders, which a
// folder flag tells. Anything else (exFAT or NTFS through FUSE, network file systems) is asked
// by looking an entry up in another case; where nothing tells, names are taken to ignore case,
// which at worst refuses a write that was safe.
bool askIgnoresCase(const fs::path& folder) {
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

// A folder keeps its way of comparing names (ext4 sets it only on empty folders), so each is
// asked once; asking may list the folder.
bool ignoresCase(const fs::path& folder, const struct stat& info) {
    static std::mutex mutex;
    static std::map<std::pair<std::uint64_t, std::uint64_t>, bool> known;
    const std::pair<std::uint64_t, std::uint64_t> id{info.st_dev, info.st_ino};
    {
        const std::lock_guard lock(mutex);
        if (const auto found = known.find(id); found != known.end()) return found->second;
    }
    const bool answer = askIgnoresCase(folder);
    const std::lock_guard lock(mutex);
    known.emplace(id, answer);
    return answer;
}

std::string caseFolded(const fs::path& names) {
    return QString::fromStdString(names.string()).toCaseFolded().toStdString();
}

// A dangling link is followed: a write through it creates the file it names.
fs::path followDanglingLinks(fs::path path) {
    for (int links = 0; links < 40; ++links) {
        std::error_code ec;
        if (fs::exists(path, ec) || !fs::is_symlink(path, ec)) break;
        const fs::path to = fs::read_symlink(path, ec);
        if (ec) break;
        path = to.is_absolute() ? to : path.parent_path() / to;
    }
    return path;
}

std::vector<Key> keysOf(const std::string& pathText) {
    std::vector<Key> keys;
    std::error_code ec;
    fs::path path = followDanglingLinks(fs::path(pathText));
    if (const auto file = statOf(path)) keys.push_back({file->st_dev, file->st_ino, {}});
    // Links and ".." resolved in the part that exists, so that what is left are plain names.
    const fs::path absolute = fs::absolute(path, ec);
    if (ec) return keys;
    path = fs::weakly_canonical(absolute, ec);
    if (ec) path = absolute.lexically_normal();

    fs::path folder = path.parent_path();
    fs::path rest = path.filename();
    std::optional<struct stat> info = statOf(folder);
    while (!info && folder.has_relative_path()) {
        rest = folder.filename() / rest;
        folder = folder.parent_path();
        info = statOf(folder);
    }
    if (!info) return keys;
    bool blind = ignoresCase(folder, *info);
    keys.push_back({info->st_dev, info->st_ino, blind ? caseFolded(rest) : rest.string()});
    while (blind && folder.has_relative_path()) {
        rest = folder.filename() / rest;
        folder = folder.parent_path();
        info = statOf(folder);
        // A name is folded only where the folder it is looked up in ignores case.
        if (!info || !ignoresCase(folder, *info)) break;
        keys.push_back({info->st_dev, info->st_ino, caseFolded(rest)});
    }
    return keys;
}

}  // namespace

bool sameFile(const std::string& a, const std::string& b) {
    const std::vector<Key> keysOfA = keysOf(a);
    for (const Key& key : keysOf(b)) {
        for (const Key& other : keysOfA) {
            if (key == other) return true;
        }
    }
    return false;
}

FileIdentitySet::FileIdentitySet(const std::vector<std::string>& files) {
    for (const std::string& file : files) {
        for (Key& key : keysOf(file)) m_keys.insert(std::move(key));
    }
}

bool FileIdentitySet::landsOn(const std::string& target) const {
    for (const Key& key : keysOf(target)) {
        if (m_keys.contains(key)) return true;
    }
    return false;
}

bool landsOn(const std::string& target, const std::vector<std::string>& protectedFiles) {
    return FileIdentitySet(protectedFiles).landsOn(target);
}

}  // namespace strobo::workfolder
