#include "stages/make/saved_series.h"

#include <stdlib.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "workfolder/atomic_file.h"
#include "workfolder/bitmap_file.h"
#include "workfolder/file_failure.h"
#include "workfolder/file_names.h"
#include "workfolder/utf8_path.h"

namespace strobo::stages {

using workfolder::u8path;
using workfolder::utf8;

namespace fs = std::filesystem;
namespace wf = workfolder;

namespace {

// The folder the pictures go to, as the system names it.
std::string folderOf(const std::string& prefix) {
    const fs::path parent = u8path(prefix).parent_path();
    return parent.empty() ? std::string(".") : utf8(parent);
}

}  // namespace

SavedSeries::SavedSeries(wf::FileServices& files, std::string prefix)
    : m_files(files), m_prefix(std::move(prefix)) {
    // Beside the pictures, so that naming them is a rename within one file system; hidden, and
    // private to the user until the pictures leave it.
    std::string pattern = folderOf(m_prefix) + "/.strobo-make-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
        throw wf::fileFailure(wf::FileFailureKind::PictureNotWritten, finalName(1), {},
                              wf::lastOsError());
    }
    m_folder = pattern;
    m_writer =
        std::make_unique<WorkerThread>([this](engine::PackedImage picture) { write(picture); });
}

SavedSeries::~SavedSeries() {
    // The writer first: it may still be writing into the folder.
    m_writer.reset();
    std::error_code ignored;
    fs::remove_all(u8path(m_folder), ignored);
}

std::string SavedSeries::pendingFile(std::int64_t k) const {
    return m_folder + "/" + std::to_string(k) + ".bmp";
}

std::string SavedSeries::finalName(std::int64_t k) const {
    return wf::savedPicture(m_prefix, static_cast<double>(k));
}

void SavedSeries::write(const engine::PackedImage& picture) {
    ++m_written;
    // The very bytes the file store writes for a picture.
    wf::encodeBitmap24(picture, m_bytes);
    // The folder is private until the commit, and each name is new: no temporary is needed.
    if (const std::error_code error = wf::writeNewFile(pendingFile(m_written), m_bytes)) {
        throw wf::fileFailure(wf::FileFailureKind::PictureNotWritten, finalName(m_written), {},
                              error);
    }
}

void SavedSeries::add(engine::PackedImage picture) {
    ++m_count;
    m_writer->add(std::move(picture));
}

void SavedSeries::finishWriting() {
    m_writer->finish();
}

std::vector<std::string> SavedSeries::commit() {
    finishWriting();
    // A name that is taken by a folder is found while nothing has been replaced yet.
    for (std::int64_t k = 1; k <= m_count; ++k) {
        std::error_code ec;
        if (fs::is_directory(u8path(finalName(k)), ec)) {
            throw wf::fileFailure(wf::FileFailureKind::PictureNotWritten, finalName(k), {},
                                  std::make_error_code(std::errc::is_a_directory));
        }
    }
    std::vector<std::string> names;
    names.reserve(static_cast<std::size_t>(m_count));
    for (std::int64_t k = 1; k <= m_count; ++k) {
        const std::string target = finalName(k);
        std::error_code ec;
        if (fs::is_symlink(u8path(target), ec)) {
            // A save through a link has always replaced the file it names, not the link.
            m_files.copyFile(pendingFile(k), target);
        } else if (std::rename(pendingFile(k).c_str(), target.c_str()) != 0) {
            throw wf::fileFailure(wf::FileFailureKind::PictureNotWritten, target, {},
                                  wf::lastOsError());
        }
        names.push_back(target);
    }
    return names;
}

}  // namespace strobo::stages
