#include "stages/output/replay.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <optional>
#include <string>
#include <vector>

#include "manual_scheduler.h"
#include "workfolder/file_names.h"
#include "workfolder/file_services.h"
#include "workfolder/numbers.h"

namespace strobo::stages {

namespace wf = workfolder;
using namespace std::chrono_literals;
using std::chrono::milliseconds;

namespace {

// Strobe file n is a 2 x 2 picture whose red value is n, so a shown picture tells its number.
class ReplayTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        m_folder = m_dir.path().toStdString();
        ReplayView view;
        view.showPicture = [this](const engine::PackedImage& p) {
            m_shown.push_back({m_scheduler.now(), p.at(0, 0) & 0xff});
        };
        view.showFailure = [this](const wf::Failure& failure) { m_notes.push_back(failure); };
        view.readRange = [this] { return m_range; };
        view.stoppedByItself = [this] { ++m_selfStops; };
        m_replay.emplace(m_files, m_scheduler, std::move(view));
        m_replay->setWorkFolder(m_folder);
    }

    void makeSeries(int first, int last) {
        for (int n = first; n <= last; ++n) {
            m_files.savePicture(engine::PackedImage(2, 2, engine::packColor(n, 0, 0)),
                                wf::strobeFile(m_folder, n));
        }
    }
    std::vector<int> shownNumbers() const {
        std::vector<int> out;
        for (const auto& s : m_shown) out.push_back(s.number);
        return out;
    }

    struct Shown {
        milliseconds at;
        int number;
    };

    QTemporaryDir m_dir;
    std::string m_folder;
    wf::FileServices m_files;
    testing::ManualScheduler m_scheduler;
    std::optional<Replay> m_replay;
    FrameRange m_range{3, 5};
    std::vector<Shown> m_shown;
    std::vector<wf::Failure> m_notes;
    int m_selfStops = 0;
};

TEST_F(ReplayTest, ShowsStrobeFilesSToEWithARealPauseAndRepeats) {
    makeSeries(3, 6);
    m_replay->setTimerEnabled(true);
    m_scheduler.advance(999ms);
    EXPECT_TRUE(m_shown.empty()) << "the first replay waits one interval";

    m_scheduler.advance(1ms);
    EXPECT_TRUE(m_replay->isReplaying());
    m_scheduler.advance(900ms);
    // e + 1 is never shown; each picture stands for one pause.
    ASSERT_EQ(shownNumbers(), (std::vector<int>{3, 4, 5}));
    EXPECT_EQ(m_shown[0].at, 1000ms);
    EXPECT_EQ(m_shown[1].at - m_shown[0].at, Replay::kPause);
    EXPECT_EQ(m_shown[2].at - m_shown[1].at, Replay::kPause);
    EXPECT_FALSE(m_replay->isReplaying());

    // The timer keeps its beat: the next replay starts one interval after the previous one.
    m_scheduler.advance(100ms);
    ASSERT_EQ(m_shown.size(), 4u);
    EXPECT_EQ(m_shown[3].at, 2000ms);
    EXPECT_EQ(m_shown[3].number, 3);
}

TEST_F(ReplayTest, AReplayLongerThanTheIntervalIsFollowedAtOnce) {
    makeSeries(1, 5);
    m_range = {1, 5};
    m_replay->setTimerEnabled(true);
    m_scheduler.advance(1000ms + 5 * Replay::kPause);
    ASSERT_EQ(m_shown.size(), 6u);
    EXPECT_EQ(m_shown[5].number, 1);
    EXPECT_EQ(m_shown[5].at, 1000ms + 5 * Replay::kPause);
}

TEST_F(ReplayTest, RangeEdges) {
    makeSeries(3, 4);
    // s = e: the starting background alone.
    m_range = {3, 3};
    m_replay->setTimerEnabled(true);
    m_scheduler.advance(3000ms);
    EXPECT_EQ(shownNumbers(), (std::vector<int>{3, 3, 3}));

    // e < s: nothing is loaded, and the timer goes on firing.
    m_shown.clear();
    m_range.last = 2;
    m_scheduler.advance(3000ms);
    EXPECT_TRUE(m_shown.empty());
    EXPECT_TRUE(m_replay->timerEnabled());
    EXPECT_TRUE(m_scheduler.hasPending());
    EXPECT_TRUE(m_notes.empty());
}

TEST_F(ReplayTest, SwitchingOffDuringAReplayLetsItFinishAndStartsNoOther) {
    makeSeries(3, 6);
    m_replay->setTimerEnabled(true);
    m_scheduler.advance(1000ms + 100ms);
    EXPECT_EQ(shownNumbers(), (std::vector<int>{3}));

    m_replay->setTimerEnabled(false);
    m_scheduler.advance(5000ms);
    EXPECT_EQ(shownNumbers(), (std::vector<int>{3, 4, 5}));
    EXPECT_FALSE(m_scheduler.hasPending());

    // Switched on again: a fresh replay from s, one interval later.
    m_shown.clear();
    m_replay->setTimerEnabled(true);
    m_scheduler.advance(999ms);
    EXPECT_TRUE(m_shown.empty());
    m_scheduler.advance(1ms);
    EXPECT_EQ(shownNumbers(), (std::vector<int>{3}));
}

TEST_F(ReplayTest, OffAndOnAgainDuringAReplayKeepsPlaying) {
    makeSeries(3, 6);
    m_replay->setTimerEnabled(true);
    m_scheduler.advance(1100ms);
    m_replay->setTimerEnabled(false);
    m_replay->setTimerEnabled(true);
    m_scheduler.advance(2900ms);
    EXPECT_EQ(shownNumbers(), (std::vector<int>{3, 4, 5, 3, 4, 5, 3, 4, 5}));
}

TEST_F(ReplayTest, EachReplayReadsTheRangeAnew) {
    makeSeries(2, 8);
    m_replay->setTimerEnabled(true);
    m_scheduler.advance(1300ms);
    m_range = {6, 7};
    m_scheduler.advance(1600ms);
    // The replay under way keeps its range; the next one takes the new range.
    EXPECT_EQ(shownNumbers(), (std::vector<int>{3, 4, 5, 6, 7}));
}

TEST_F(ReplayTest, MissingStrobeFileEndsQuietlyInTheStoppedState) {
    makeSeries(3, 3);
    m_replay->setTimerEnabled(true);
    m_scheduler.advance(2000ms);
    EXPECT_EQ(shownNumbers(), (std::vector<int>{3}));
    ASSERT_EQ(m_notes.size(), 1u);
    EXPECT_EQ(m_notes[0].kind, wf::FailureKind::StrobeMissing);
    EXPECT_EQ(m_notes[0].file, wf::strobeFile(m_folder, 4));
    EXPECT_EQ(m_selfStops, 1);
    EXPECT_FALSE(m_replay->timerEnabled());
    EXPECT_FALSE(m_replay->isReplaying());
    EXPECT_FALSE(m_scheduler.hasPending());
}

TEST_F(ReplayTest, UnreadablePictureAndOverflowingRangeStopWithANote) {
    makeSeries(3, 5);
    {
        QFile file(QString::fromStdString(wf::strobeFile(m_folder, 4)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write("not a picture");
    }
    m_replay->setTimerEnabled(true);
    m_scheduler.advance(2000ms);
    EXPECT_EQ(shownNumbers(), (std::vector<int>{3}));
    ASSERT_EQ(m_notes.size(), 1u);
    EXPECT_NE(wf::japaneseText(m_notes[0]).find(wf::strobeFile(m_folder, 4)), std::string::npos);

    m_range.last = 3e10;
    m_replay->setTimerEnabled(true);
    m_scheduler.advance(1000ms);
    EXPECT_EQ(m_notes.size(), 2u);
    EXPECT_FALSE(m_replay->timerEnabled());
    EXPECT_EQ(m_selfStops, 2);
}

TEST_F(ReplayTest, StopEndsAReplayAtOnce) {
    makeSeries(3, 6);
    m_replay->setTimerEnabled(true);
    m_scheduler.advance(1100ms);
    m_replay->stop();
    m_scheduler.advance(5000ms);
    EXPECT_EQ(shownNumbers(), (std::vector<int>{3}));
    EXPECT_FALSE(m_replay->isReplaying());
    EXPECT_FALSE(m_replay->timerEnabled());
    EXPECT_EQ(m_selfStops, 0);
}

}  // namespace

}  // namespace strobo::stages
