#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

#include "engine/packed_image.h"

namespace strobo::cli {

// Saves pictures as 24-bit bitmaps on a thread of its own, so that encoding and writing one
// picture overlaps with decoding and composing the next. At most `depth` pictures wait, so
// memory stays at a few pictures however many are saved.
class PictureWriter {
  public:
    explicit PictureWriter(std::size_t depth = 2);
    // Waits for the pictures already handed over; errors are then dropped (call finish() to
    // see them).
    ~PictureWriter();
    PictureWriter(const PictureWriter&) = delete;
    PictureWriter& operator=(const PictureWriter&) = delete;

    // Hands a copy of the picture over, waiting while `depth` pictures are queued. Throws
    // InputError as soon as an earlier save has failed.
    void save(const engine::PackedImage& picture, const std::string& path);
    // Waits until every picture is written. Throws InputError naming the first file that could
    // not be written; nothing after it is written.
    void finish();

  private:
    void run();

    std::size_t m_depth;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::pair<engine::PackedImage, std::string>> m_queue;
    bool m_closing = false;
    bool m_busy = false;
    std::string m_failure;
    std::thread m_thread;
};

}  // namespace strobo::cli
