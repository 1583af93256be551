#include "stages/output/replay.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <utility>

#include "workfolder/file_names.h"
#include "workfolder/numbers.h"

namespace strobo::stages {

namespace wf = workfolder;

namespace {

class QtReplayScheduler : public ReplayScheduler {
  public:
    explicit QtReplayScheduler(QTimer& timer) : m_timer(timer) {
        m_clock.start();
        m_timer.stop();
        m_timer.setSingleShot(true);
        m_timer.setTimerType(Qt::PreciseTimer);
        m_connection = QObject::connect(&m_timer, &QTimer::timeout, [this] {
            // The action may schedule the next one, which replaces m_action; take it out first.
            std::function<void()> action = std::move(m_action);
            m_action = nullptr;
            if (action) action();
        });
    }
    ~QtReplayScheduler() override {
        QObject::disconnect(m_connection);
        m_timer.stop();
    }
    QtReplayScheduler(const QtReplayScheduler&) = delete;
    QtReplayScheduler& operator=(const QtReplayScheduler&) = delete;

    std::chrono::milliseconds now() const override {
        return std::chrono::milliseconds(m_clock.elapsed());
    }

    void callAfter(std::chrono::milliseconds delay, std::function<void()> action) override {
        m_action = std::move(action);
        m_timer.start(std::max(delay, std::chrono::milliseconds(0)));
    }

    void cancel() override {
        m_timer.stop();
        m_action = nullptr;
    }

  private:
    QElapsedTimer m_clock;
    QTimer& m_timer;
    QMetaObject::Connection m_connection;
    std::function<void()> m_action;
};

}  // namespace

std::unique_ptr<ReplayScheduler> makeQtReplayScheduler(QTimer& timer) {
    return std::make_unique<QtReplayScheduler>(timer);
}

Replay::Replay(wf::FileServices& files, ReplayScheduler& scheduler, ReplayView view)
    : m_files(files), m_scheduler(scheduler), m_view(std::move(view)) {}

Replay::~Replay() {
    m_scheduler.cancel();
}

void Replay::setTimerEnabled(bool on) {
    if (on == m_enabled) return;
    m_enabled = on;
    if (on) {
        // Switching a timer on starts its count afresh.
        m_timerBase = m_scheduler.now();
        if (!m_replaying) scheduleTick(kInterval);
    } else if (!m_replaying) {
        m_scheduler.cancel();
    }
}

void Replay::stop() {
    m_enabled = false;
    m_replaying = false;
    m_scheduler.cancel();
}

void Replay::scheduleTick(std::chrono::milliseconds delay) {
    m_scheduler.callAfter(delay, [this] { tick(); });
}

void Replay::tick() {
    if (!m_enabled) return;
    m_timerBase = m_scheduler.now();
    const FrameRange range = m_view.readRange ? m_view.readRange() : FrameRange{};
    try {
        m_current = wf::toInt32(range.first);
        m_last = wf::toInt32(range.last);
    } catch (const wf::FailureError& error) {
        stopByItself(error.failure());
        return;
    }
    m_replaying = true;
    if (m_current > m_last) {
        finishReplay();
        return;
    }
    showCurrent();
}

void Replay::showCurrent() {
    const std::string path = wf::strobeFile(m_workFolder, m_current);
    if (!m_files.fileExists(path)) {
        stopByItself(wf::Failure{wf::FailureKind::StrobeMissing, path, {}, {}});
        return;
    }
    try {
        const engine::PackedImage picture = m_files.loadPicture(path);
        if (m_view.showPicture) m_view.showPicture(picture);
    } catch (const wf::FailureError& error) {
        stopByItself(error.failure());
        return;
    }
    m_scheduler.callAfter(kPause, [this] { advance(); });
}

void Replay::advance() {
    if (!m_replaying) return;
    if (m_current >= m_last) {
        if (m_view.replayEnded) m_view.replayEnded();
        finishReplay();
        return;
    }
    ++m_current;
    showCurrent();
}

void Replay::finishReplay() {
    m_replaying = false;
    if (!m_enabled) return;
    // A timer event that fell due during the replay was held back and comes at once; otherwise
    // the timer keeps its own beat.
    const auto elapsed = m_scheduler.now() - m_timerBase;
    scheduleTick(elapsed >= kInterval ? std::chrono::milliseconds(0) : kInterval - elapsed);
}

void Replay::stopByItself(const wf::Failure& failure) {
    stop();
    if (m_view.showFailure) m_view.showFailure(failure);
    if (m_view.stoppedByItself) m_view.stoppedByItself();
}

}  // namespace strobo::stages
