#include "cli/picture_writer.h"

#include "cli/arguments.h"
#include "workfolder/file_services.h"

namespace strobo::cli {

PictureWriter::PictureWriter(std::size_t depth)
    : m_depth(depth == 0 ? 1 : depth), m_thread([this] { run(); }) {}

PictureWriter::~PictureWriter() {
    {
        std::lock_guard lock(m_mutex);
        m_closing = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

void PictureWriter::save(const engine::PackedImage& picture, const std::string& path) {
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_queue.size() < m_depth || !m_failure.empty(); });
    if (!m_failure.empty()) throw InputError(m_failure);
    m_queue.emplace_back(picture, path);
    lock.unlock();
    m_changed.notify_all();
}

void PictureWriter::finish() {
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return (m_queue.empty() && !m_busy) || !m_failure.empty(); });
    if (!m_failure.empty()) throw InputError(m_failure);
}

void PictureWriter::run() {
    workfolder::FileServices services;
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return !m_queue.empty() || m_closing; });
        if (m_queue.empty()) return;
        auto [picture, path] = std::move(m_queue.front());
        m_queue.pop_front();
        m_busy = true;
        lock.unlock();
        m_changed.notify_all();
        std::string failure;
        try {
            services.savePicture(picture, path);
        } catch (const std::exception& error) {
            failure = oneLine(error.what());
        }
        lock.lock();
        m_busy = false;
        if (!failure.empty()) {
            m_failure = failure;
            m_queue.clear();
        }
        m_changed.notify_all();
    }
}

}  // namespace strobo::cli
