#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "engine/packed_image.h"
#include "stages/frame_range.h"
#include "workfolder/failure.h"
#include "workfolder/file_services.h"

class QTimer;

namespace strobo::stages {

// The clock and the one pending call the replay needs. The window uses a Qt timer; tests move a
// clock of their own by hand.
class ReplayScheduler {
  public:
    virtual ~ReplayScheduler() = default;
    // Time since some fixed start.
    virtual std::chrono::milliseconds now() const = 0;
    // Calls action once, delay from now, replacing any call still pending.
    virtual void callAfter(std::chrono::milliseconds delay, std::function<void()> action) = 0;
    virtual void cancel() = 0;
};

// A scheduler on a Qt timer of the calling thread's event loop, used single-shot. The timer must
// outlive the scheduler.
std::unique_ptr<ReplayScheduler> makeQtReplayScheduler(QTimer& timer);

// What the replay shows and where it reads the range. Every member is called on the thread that
// drives the scheduler.
struct ReplayView {
    // Shows one strobe file in the picture box.
    std::function<void(const engine::PackedImage&)> showPicture;
    // Shows why the replay stopped, in the window instead of a picture.
    std::function<void(const workfolder::Failure&)> showFailure;
    // The frame range, read anew at the start of every replay.
    std::function<FrameRange()> readRange;
    // The playback stopped by itself (a missing picture or a range out of bounds).
    std::function<void()> stoppedByItself;
    // A replay showed every picture of its range, the last one for its whole pause.
    std::function<void()> replayEnded;
};

// The animation window's playback: the timer Timer1 and the replays it starts, as a state machine
// run by the scheduler. One replay shows strobe files s .. e one after another with a real pause
// after each; the timer's next event comes one interval after the previous one, or at once when a
// replay has outlasted it, and never while a replay is under way. Between two pictures control
// returns to the event loop, so the window repaints and takes clicks.
class Replay {
  public:
    static constexpr std::chrono::milliseconds kInterval{1000};
    static constexpr std::chrono::milliseconds kPause{300};

    Replay(workfolder::FileServices& files, ReplayScheduler& scheduler, ReplayView view);
    ~Replay();
    Replay(const Replay&) = delete;
    Replay& operator=(const Replay&) = delete;

    void setWorkFolder(std::string folder) { m_workFolder = std::move(folder); }
    const std::string& workFolder() const { return m_workFolder; }

    // Timer1.Enabled. Switching it off lets a replay under way run to its end; none follows.
    bool timerEnabled() const { return m_enabled; }
    void setTimerEnabled(bool on);
    // Switches the timer off and ends a replay under way at once.
    void stop();

    bool isReplaying() const { return m_replaying; }
    // The strobe file number last shown; meaningful while replaying.
    std::int64_t currentNumber() const { return m_current; }

  private:
    void scheduleTick(std::chrono::milliseconds delay);
    void tick();
    void showCurrent();
    void advance();
    void finishReplay();
    void stopByItself(const workfolder::Failure& failure);

    workfolder::FileServices& m_files;
    ReplayScheduler& m_scheduler;
    ReplayView m_view;
    std::string m_workFolder;
    bool m_enabled = false;
    bool m_replaying = false;
    std::int64_t m_current = 0;
    std::int64_t m_last = 0;
    std::chrono::milliseconds m_timerBase{0};
};

}  // namespace strobo::stages
