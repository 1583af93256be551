#pragma once

#include <compare>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace strobo::workfolder {

// Whether paths lead to one file on disk, whatever way they are spelt. Comparing path text
// cannot tell that a folder reached through a symbolic link or a bind mount is the same folder,
// nor that a file system which ignores case (FAT, exFAT, SMB shares, case-folded folders) opens
// "A.BMP" for "a.bmp"; the file system itself can.
//
// A path is known by a few keys; two paths are the same file when they share one:
// - an existing file: its device and inode number. stat follows every link and mount and looks
//   names up as the file system does, so all ways to the file give the same pair;
// - its deepest existing folder's device and inode and the rest of the path below it: the file
//   a write would create, for a file that does not exist yet;
// - where folders ignore case: the same for each such folder above, with the names below it
//   case-folded. File systems in user space (exFAT and FAT through FUSE) give a file reached by
//   another case of its name another inode number, so only the names can tell there.
// A dangling symbolic link is followed to the file a write through it would create.

// Whether two paths name one file, existing or not yet.
bool sameFile(const std::string& a, const std::string& b);

// Files that a write must not land on, each looked up once: a save checks every target it is
// about to write against the files it is protecting.
class FileIdentitySet {
  public:
    explicit FileIdentitySet(const std::vector<std::string>& files);
    // Whether writing `target` would write one of the files.
    bool landsOn(const std::string& target) const;

    struct Key {
        std::uint64_t device = 0;
        std::uint64_t inode = 0;
        std::string rest;  // empty for the file itself
        auto operator<=>(const Key&) const = default;
    };

  private:
    std::set<Key> m_keys;
};

// The same for a single target.
bool landsOn(const std::string& target, const std::vector<std::string>& protectedFiles);

}  // namespace strobo::workfolder
