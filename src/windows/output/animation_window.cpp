#include "windows/output/animation_window.h"

#include <QCloseEvent>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include "ui_animation_window.h"
#include "windows/contactsheet/contact_sheet_window.h"
#include "windows/main/main_window.h"
#include "windows/main/picture_box.h"
#include "windows/main/window_set.h"

namespace strobo::windows {

namespace {

const QString kCaptionPlaying = QStringLiteral("停止");
const QString kCaptionStopped = QStringLiteral("もう一度見る");

std::string noteFor(const workfolder::Failure& failure) {
    if (failure.kind == workfolder::FailureKind::StrobeMissing) {
        return "ストロボ写真がありません: " + failure.file;
    }
    return workfolder::japaneseText(failure);
}

}  // namespace

AnimationWindow::AnimationWindow(WindowSet& windows) : StoredWindow(windows) {
    Ui::Form5 ui;
    ui.setupUi(this);
    Picture1 = ui.Picture1;
    Command1 = ui.Command1;
    Command2 = ui.Command2;
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(kTimerInterval);
    applyStoredLayout();

    m_note = new QLabel(Picture1);
    m_note->setObjectName(QStringLiteral("note"));
    m_note->setWordWrap(true);
    m_note->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_note->setGeometry(Picture1->clientRect().adjusted(8, 8, -8, -8));
    m_note->hide();

    m_timerScheduler = stages::makeQtReplayScheduler(*Timer1);
    m_replay =
        std::make_unique<stages::Replay>(this->windows().files(), *m_timerScheduler, makeView());

    connect(Command1, &QPushButton::clicked, this, &AnimationWindow::toggleClicked);
    connect(Command2, &QPushButton::clicked, this, &AnimationWindow::backClicked);
}

stages::ReplayView AnimationWindow::makeView() {
    stages::ReplayView view;
    view.showPicture = [this](const engine::PackedImage& picture) {
        m_note->hide();
        m_note->clear();
        Picture1->setPicture(picture);
    };
    view.showFailure = [this](const workfolder::Failure& failure) {
        Picture1->clearPicture();
        m_note->setText(QString::fromStdString(noteFor(failure)));
        m_note->show();
    };
    view.readRange = [this] { return windows().form3().seriesRange(); };
    // Stopped is shown as such, so that the next click plays again.
    view.stoppedByItself = [this] { Command1->setText(kCaptionStopped); };
    view.replayEnded = [this] { m_watched = true; };
    return view;
}

AnimationWindow::~AnimationWindow() {
    m_replay.reset();
    m_timerScheduler.reset();
}

void AnimationWindow::useScheduler(stages::ReplayScheduler& scheduler) {
    const std::string folder = m_replay->workFolder();
    m_replay = std::make_unique<stages::Replay>(windows().files(), scheduler, makeView());
    m_replay->setWorkFolder(folder);
}

void AnimationWindow::setTimer1Enabled(bool on) {
    m_replay->setTimerEnabled(on);
}

void AnimationWindow::takeWorkFolder() {
    m_replay->setWorkFolder(windows().form1().workFolder);
}

void AnimationWindow::startPlayback() {
    m_watched = false;
    takeWorkFolder();
    setTimer1Enabled(true);
}

bool AnimationWindow::isPlaying() const {
    return m_replay->timerEnabled();
}

bool AnimationWindow::isReplaying() const {
    return m_replay->isReplaying();
}

QString AnimationWindow::noteText() const {
    return m_note->isVisibleTo(Picture1) ? m_note->text() : QString();
}

void AnimationWindow::closeEvent(QCloseEvent* event) {
    // Closed with the close box the window is only hidden; replays must not go on unseen.
    m_replay->stop();
    StoredWindow::closeEvent(event);
}

void AnimationWindow::toggleClicked() {
    takeWorkFolder();
    setTimer1Enabled(!m_replay->timerEnabled());
    Command1->setText(m_replay->timerEnabled() ? kCaptionPlaying : kCaptionStopped);
}

void AnimationWindow::backClicked() {
    m_replay->stop();
    hide();
    // Watched to the end, the animation is done for the run; stopped early or short of a picture,
    // it can be opened again.
    const StageEnd end = m_watched              ? StageEnd::Completed
                         : noteText().isEmpty() ? StageEnd::Cancelled
                                                : StageEnd::Failed;
    windows().form1().stageEnded(MainStage::Animation, end);
    windows().bringToFront(windows().form1());
}

}  // namespace strobo::windows
