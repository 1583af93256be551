#pragma once

#include <QString>
#include <memory>

#include "stages/output/replay.h"
#include "windows/main/stored_window.h"

class QLabel;
class QPushButton;
class QTimer;

namespace strobo::windows {

class PictureBox;

// Form5, the animation window: the replay is shown in Picture1, one pass per Timer1 event.
class AnimationWindow : public StoredWindow {
    Q_OBJECT

  public:
    static constexpr int kTimerInterval = 1000;

    explicit AnimationWindow(WindowSet& windows);
    ~AnimationWindow() override;

    // Timer1 switched on, as form1.Command5 does: replays begin one interval later, from the
    // folder form1 holds now. The caption of Command1 is left as it is.
    void startPlayback();
    // Timer1.Enabled: Playing when true, Stopped when false.
    bool isPlaying() const;
    // Whether a replay is under way at this moment.
    bool isReplaying() const;
    // The note shown in place of a picture when a replay stopped by itself; empty otherwise.
    QString noteText() const;
    // Replaces the Qt timer as the replays' clock (tests move a clock by hand). The scheduler
    // must outlive the window.
    void useScheduler(stages::ReplayScheduler& scheduler);

    // The controls, named as stored.
    PictureBox* Picture1 = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
    // Drives the replays: the timer events and the pauses between two pictures. Switch it with
    // startPlayback() and Command1, not with start() and stop().
    QTimer* Timer1 = nullptr;

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void toggleClicked();
    void backClicked();
    void setTimer1Enabled(bool on);
    void takeWorkFolder();

    // A whole replay was shown since the window was opened.
    bool m_watched = false;
    QLabel* m_note = nullptr;
    stages::ReplayView makeView();

    std::unique_ptr<stages::ReplayScheduler> m_timerScheduler;
    std::unique_ptr<stages::Replay> m_replay;
};

}  // namespace strobo::windows
