#include "stages/make/worker_thread.h"

#include <utility>

namespace strobo::stages {

WorkerThread::WorkerThread(Work work, std::size_t depth)
    : m_work(std::move(work)), m_depth(depth == 0 ? 1 : depth), m_thread([this] { run(); }) {}

WorkerThread::~WorkerThread() {
    {
        std::lock_guard lock(m_mutex);
        m_closing = true;
        m_queue.clear();
    }
    m_changed.notify_all();
    m_thread.join();
}

void WorkerThread::add(engine::PackedImage picture) {
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_queue.size() < m_depth || m_failure; });
    if (m_failure) std::rethrow_exception(m_failure);
    m_queue.push_back(std::move(picture));
    lock.unlock();
    m_changed.notify_all();
}

void WorkerThread::finish() {
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return (m_queue.empty() && !m_busy) || m_failure; });
    if (m_failure) std::rethrow_exception(m_failure);
}

void WorkerThread::run() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return !m_queue.empty() || m_closing; });
        if (m_queue.empty()) return;
        engine::PackedImage picture = std::move(m_queue.front());
        m_queue.pop_front();
        m_busy = true;
        lock.unlock();
        m_changed.notify_all();
        std::exception_ptr failure;
        try {
            m_work(std::move(picture));
        } catch (...) {
            failure = std::current_exception();
        }
        lock.lock();
        m_busy = false;
        if (failure) {
            m_failure = failure;
            m_queue.clear();
        }
        m_changed.notify_all();
    }
}

}  // namespace strobo::stages
