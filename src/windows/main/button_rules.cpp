#include "windows/main/button_rules.h"

namespace strobo::windows {

MainButtons mainButtons(const WorkState& state) {
    if (state.running > 0) return {false, false, false, true, false};
    return {!state.extracted, !state.composed, !state.saved, true, !state.watched && !state.saved};
}

WorkState afterStage(WorkState state, MainStage stage, StageEnd end, bool wroteFrames) {
    const bool completed = end == StageEnd::Completed;
    switch (stage) {
        case MainStage::Extraction:
            if (completed || wroteFrames) {
                state.composed = false;
                state.saved = false;
                state.watched = false;
            }
            state.extracted = completed;
            break;
        case MainStage::Composition:
            state.composed = state.composed || completed;
            break;
        case MainStage::Save:
            state.saved = state.saved || completed;
            break;
        case MainStage::Animation:
            state.watched = state.watched || completed;
            break;
    }
    return state;
}

}  // namespace strobo::windows
