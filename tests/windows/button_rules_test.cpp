#include "windows/main/button_rules.h"

#include <gtest/gtest.h>

namespace strobo::windows {
namespace {

bool buttonOf(const MainButtons& buttons, MainStage stage) {
    switch (stage) {
        case MainStage::Extraction:
            return buttons.command1;
        case MainStage::Composition:
            return buttons.command2;
        case MainStage::Save:
            return buttons.command3;
        case MainStage::Animation:
            return buttons.command5;
    }
    return false;
}

constexpr MainStage kStages[] = {MainStage::Extraction, MainStage::Composition, MainStage::Save,
                                 MainStage::Animation};
constexpr StageEnd kEnds[] = {StageEnd::Completed, StageEnd::Stopped, StageEnd::Cancelled,
                              StageEnd::Failed, StageEnd::Refused};

TEST(MainButtons, OnlyACompletedStageTakesItsButtonAndNothingElse) {
    for (MainStage stage : kStages) {
        for (StageEnd end : kEnds) {
            const bool wroteFrames = end == StageEnd::Stopped || end == StageEnd::Failed;
            const MainButtons on = mainButtons(afterStage({}, stage, end, wroteFrames));
            EXPECT_EQ(buttonOf(on, stage), end != StageEnd::Completed)
                << static_cast<int>(stage) << " " << static_cast<int>(end);
            EXPECT_TRUE(on.command4);
            for (MainStage other : kStages) {
                // A saved series has nothing left to replay.
                const bool replayAfterSave =
                    other == MainStage::Animation && stage == MainStage::Save;
                if (other != stage && !replayAfterSave) {
                    EXPECT_TRUE(buttonOf(on, other));
                }
            }
        }
    }
}

TEST(MainButtons, RunningStageLeavesOnlyTheEndButtonAndNewFramesBeginNewWork) {
    WorkState state;
    state.running = 1;
    EXPECT_EQ(mainButtons(state), (MainButtons{false, false, false, true, false}));

    // Composed, watched and saved with frames of a stopped extraction; another extraction that
    // writes frames opens everything again, one that wrote none changes nothing.
    state = {};
    for (MainStage stage : {MainStage::Composition, MainStage::Animation, MainStage::Save})
        state = afterStage(state, stage, StageEnd::Completed);
    EXPECT_EQ(mainButtons(state), (MainButtons{true, false, false, true, false}));
    EXPECT_EQ(mainButtons(afterStage(state, MainStage::Extraction, StageEnd::Failed, false)),
              mainButtons(state));
    EXPECT_EQ(mainButtons(afterStage(state, MainStage::Extraction, StageEnd::Stopped, true)),
              (MainButtons{}));
    EXPECT_EQ(mainButtons(afterStage(state, MainStage::Extraction, StageEnd::Completed, true)),
              (MainButtons{false, true, true, true, true}));
}

}  // namespace
}  // namespace strobo::windows
