#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "engine/packed_image.h"
#include "workfolder/failure.h"
#include "workfolder/file_services.h"

namespace strobo::workfolder {

// Saves pictures on a thread of its own, so that encoding and writing one picture overlaps with
// making the next. At most `depth` pictures wait, so memory stays at a few pictures however
// many are saved. The first failure stops it: nothing handed over after the failed picture is
// written, so the pictures saved are always a run from the first.
class BackgroundSaver {
  public:
    // files.savePicture runs on the saver's thread.
    explicit BackgroundSaver(FileServices& files, std::size_t depth = 2);
    // Waits for the pictures already handed over; errors are then dropped (call finish() to
    // see them).
    ~BackgroundSaver();
    BackgroundSaver(const BackgroundSaver&) = delete;
    BackgroundSaver& operator=(const BackgroundSaver&) = delete;

    // Hands a copy of the picture over, waiting while `depth` pictures are queued. Throws the
    // FailureError of an earlier save as soon as one has failed.
    void save(engine::PackedImage picture, const std::string& path);
    // Makes the file's bytes on the saver's thread: `encode` fills the buffer, reused from one
    // file to the next, as startBitmap24 and its rows do. Otherwise as save().
    using BitmapEncoder = std::function<void(std::vector<std::uint8_t>& bytes)>;
    void saveBitmap(BitmapEncoder encode, const std::string& path);
    // Waits until every picture is written. Throws the FailureError of the first picture that
    // could not be written.
    void finish();
    // Pictures written so far.
    std::int64_t saved() const;

  private:
    void run();

    FileServices& m_files;
    std::size_t m_depth;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    // Each waiting file: the picture to save, or (when set) what makes its bytes.
    struct Waiting {
        engine::PackedImage picture;
        BitmapEncoder encode;
        std::string path;
    };
    void handOver(Waiting waiting);

    std::deque<Waiting> m_queue;
    std::vector<std::uint8_t> m_bytes;  // the saver thread's
    bool m_closing = false;
    bool m_busy = false;
    bool m_failed = false;
    Failure m_failure;
    std::int64_t m_saved = 0;
    std::thread m_thread;
};

}  // namespace strobo::workfolder
