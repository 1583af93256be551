#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

#include "engine/packed_image.h"

namespace strobo::stages {

// Takes pictures from the calling thread and does the rest of the work on each, in order, on a
// thread of its own, so that the caller goes on meanwhile: the decoder with the next frame, the
// composition with the next step. At most `depth` pictures wait, so memory stays at a few
// pictures however many pass. The first exception of the work stops it; the calling thread
// receives it at its next add() or at finish().
class WorkerThread {
  public:
    using Work = std::function<void(engine::PackedImage picture)>;

    explicit WorkerThread(Work work, std::size_t depth = 2);
    // Drops the pictures still waiting, lets the one under way end, and joins.
    ~WorkerThread();
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    // Waits while `depth` pictures wait. Rethrows the work's exception once it has thrown.
    void add(engine::PackedImage picture);
    // Waits until every picture is done; rethrows the work's exception.
    void finish();

  private:
    void run();

    Work m_work;
    std::size_t m_depth;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<engine::PackedImage> m_queue;
    bool m_busy = false;
    bool m_closing = false;
    std::exception_ptr m_failure;
    std::thread m_thread;
};

}  // namespace strobo::stages
