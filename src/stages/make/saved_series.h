#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/packed_image.h"
#include "stages/make/worker_thread.h"
#include "workfolder/file_services.h"

namespace strobo::stages {

// The saved pictures of one make, prefix + k + ".bmp" for k = 1, 2, ...: each is written on a
// thread of its own, as soon as it is made, into a private folder beside its final name, and the
// series takes its names only when it is whole (commit). A series that stops short, failed or
// stopped, leaves no picture behind, and every file it would have replaced as it was. The disk
// holds the pictures made so far and nothing else.
class SavedSeries {
  public:
    // Throws a FailureError naming the first picture when no folder can be made beside it (a
    // missing or read-only folder).
    SavedSeries(workfolder::FileServices& files, std::string prefix);
    // Removes the private folder and whatever it still holds.
    ~SavedSeries();
    SavedSeries(const SavedSeries&) = delete;
    SavedSeries& operator=(const SavedSeries&) = delete;

    // Hands the next picture over; waits only while the writer is two pictures behind. Throws
    // the FailureError of an earlier picture that could not be written (a full disk, say),
    // naming the picture by its final name.
    void add(engine::PackedImage picture);
    // Waits for the writer. Throws the FailureError of a picture that could not be written; until
    // commit() nothing outside the private folder has changed.
    void finishWriting();
    // Waits for the writer and gives every picture its name, replacing files of those names.
    // Returns the names in order. Throws a FailureError when a picture cannot be written or
    // named.
    std::vector<std::string> commit();

  private:
    std::string pendingFile(std::int64_t k) const;
    std::string finalName(std::int64_t k) const;
    void write(const engine::PackedImage& picture);

    workfolder::FileServices& m_files;
    std::string m_prefix;
    std::string m_folder;
    std::int64_t m_count = 0;
    // Only the writer's thread touches these two.
    std::int64_t m_written = 0;
    std::vector<std::uint8_t> m_bytes;
    std::unique_ptr<WorkerThread> m_writer;
};

}  // namespace strobo::stages
