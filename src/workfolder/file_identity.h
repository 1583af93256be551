#pragma once

#include <compare>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace strobo::workfolder {

// Where a path leads on disk, whatever way it is spelt. Comparing path text cannot tell that
// a folder reached through a symbolic link or a bind mount is the same folder, nor that a file
// system which ignores case (FAT, exFAT, SMB shares, case-folded folders) opens "A.BMP" for
// "a.bmp"; the file system itself can.
//
// An existing file is its device and inode number: stat follows every link and mount and
// looks names up as the file system does, so all ways to the file give the same pair. A file
// that does not exist yet is the device and inode of its deepest existing folder plus the rest
// of the path below it, case-folded where that folder ignores case. A dangling symbolic link is
// followed to the file a write through it would create.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::string rest;  // empty for an existing file
    auto operator<=>(const FileIdentity&) const = default;
};

FileIdentity fileIdentity(const std::string& path);

// Whether two paths name one file, existing or not yet.
bool sameFile(const std::string& a, const std::string& b);

// Files that a write must not land on, each looked up once: a save checks every target it is
// about to write against the files it is protecting.
class FileIdentitySet {
  public:
    explicit FileIdentitySet(const std::vector<std::string>& files);
    // Whether writing `target` would write one of the files.
    bool landsOn(const std::string& target) const;

  private:
    std::set<FileIdentity> m_identities;
};

// The same for a single target.
bool landsOn(const std::string& target, const std::vector<std::string>& protectedFiles);

}  // namespace strobo::workfolder
