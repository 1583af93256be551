#include "workfolder/background_saver.h"

namespace strobo::workfolder {

BackgroundSaver::BackgroundSaver(FileServices& files, std::size_t depth)
    : m_files(files), m_depth(depth == 0 ? 1 : depth), m_thread([this] { run(); }) {}

BackgroundSaver::~BackgroundSaver() {
    {
        std::lock_guard lock(m_mutex);
        m_closing = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

void BackgroundSaver::save(engine::PackedImage picture, const std::string& path) {
    handOver(Waiting{std::move(picture), {}, path});
}

void BackgroundSaver::saveBitmap(BitmapEncoder encode, const std::string& path) {
    handOver(Waiting{{}, std::move(encode), path});
}

void BackgroundSaver::handOver(Waiting waiting) {
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_queue.size() < m_depth || m_failed; });
    if (m_failed) throw FailureError(m_failure);
    m_queue.push_back(std::move(waiting));
    lock.unlock();
    m_changed.notify_all();
}

void BackgroundSaver::finish() {
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return (m_queue.empty() && !m_busy) || m_failed; });
    if (m_failed) throw FailureError(m_failure);
}

std::int64_t BackgroundSaver::saved() const {
    std::lock_guard lock(m_mutex);
    return m_saved;
}

void BackgroundSaver::run() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return !m_queue.empty() || m_closing; });
        if (m_queue.empty()) return;
        Waiting waiting = std::move(m_queue.front());
        m_queue.pop_front();
        m_busy = true;
        lock.unlock();
        m_changed.notify_all();
        Failure failure;
        bool failed = false;
        try {
            if (waiting.encode) {
                waiting.encode(m_bytes);
                m_files.saveBitmap(m_bytes, waiting.path);
            } else {
                m_files.savePicture(waiting.picture, waiting.path);
            }
        } catch (const std::exception& error) {
            failed = true;
            failure = failureOf(error);
        }
        lock.lock();
        m_busy = false;
        if (failed) {
            m_failed = true;
            m_failure = std::move(failure);
            m_queue.clear();
        } else {
            ++m_saved;
        }
        m_changed.notify_all();
    }
}

}  // namespace strobo::workfolder
