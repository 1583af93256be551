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

// Takes frames from the decoding thread and does the rest of the work on each, in order, on a
// thread of its own, so that decoding the next frame overlaps with it. At most `depth` frames
// wait, so memory stays at a few frames however long the clip. The first exception of the work
// stops it; the decoding thread receives it at its next add() or at finish().
class FrameWorker {
  public:
    using Work = std::function<void(engine::PackedImage frame)>;

    explicit FrameWorker(Work work, std::size_t depth = 2);
    // Drops the frames still waiting, lets the one under way end, and joins.
    ~FrameWorker();
    FrameWorker(const FrameWorker&) = delete;
    FrameWorker& operator=(const FrameWorker&) = delete;

    // Waits while `depth` frames wait. Rethrows the work's exception once it has thrown.
    void add(engine::PackedImage frame);
    // Waits until every frame is done; rethrows the work's exception.
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
