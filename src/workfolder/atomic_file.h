#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <system_error>

namespace strobo::workfolder {

// Whole-file writes that never leave half a file where a good one stood. The new contents go to
// a short temporary name in the target's folder (".strobo-" and six letters, so a target name
// up to the file system's limit still has room beside it) and are renamed over the target only
// once every byte is written and the file is closed. On failure the target is untouched and
// the temporary is gone. A target that is a symbolic link has the file it points to replaced.
// Both return the operating system's reason for a failure, or no error.

// A new file takes the permissions new files get here; a replaced one keeps its own.
std::error_code replaceFileContents(const std::string& target, std::span<const std::uint8_t> bytes);

// A file that must not exist yet, written straight under its name, for a folder no one else
// looks into until the writer is done: the temporary and the rename would only add work. A file
// that cannot be finished is removed; one already there fails the write and stays.
std::error_code writeNewFile(const std::string& target, std::span<const std::uint8_t> bytes);

// The copy takes the source's permissions, as a copy always has here. A read error of the
// source fails the copy as a write error does.
std::error_code replaceWithCopy(const std::string& source, const std::string& target);

}  // namespace strobo::workfolder
