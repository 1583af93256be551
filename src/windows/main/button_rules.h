#pragma once

namespace strobo::windows {

// The stages the main window's buttons start: Command1 extraction, Command2 the contact sheet and
// the composition window (ended by its finish), Command3 the save window (done once it has saved),
// Command5 the animation (ended by its back button). Command4 ends the program.
enum class MainStage { Extraction, Composition, Save, Animation };

// How a stage ended. Only a completed stage is done for the run; any other end leaves its button
// on so that the user can try again.
enum class StageEnd {
    // Extraction: every frame saved, at least two of them. Composition: finished, its frame files
    // deleted. Save: the series saved. Animation: a whole replay watched, then back.
    Completed,
    // The user stopped it part way.
    Stopped,
    // The user backed out before anything was done (a dialog cancelled, a window left).
    Cancelled,
    // Something went wrong; the user was told.
    Failed,
    // Refused before it began, with a message (nothing there yet to work on).
    Refused,
};

// What the work of this run has come to, as far as the buttons care.
struct WorkState {
    // An extraction ran to its end with frames enough for a strobe picture.
    bool extracted = false;
    // The composition window finished and deleted the frame files.
    bool composed = false;
    // The series was saved (and so removed from the work folder).
    bool saved = false;
    // A whole replay was watched and the animation left with its back button.
    bool watched = false;
    // Stages under way (extraction, strobe build): nothing else may touch the work folder.
    int running = 0;
};

struct MainButtons {
    bool command1 = true;
    bool command2 = true;
    bool command3 = true;
    bool command4 = true;
    bool command5 = true;
    bool operator==(const MainButtons&) const = default;
};

// The one table of form1's buttons. A running stage turns every stage button off but the end
// button, which stops it and ends the program. Otherwise a stage's button is on until the stage
// has completed once; the replay has nothing left to show once the series is saved.
MainButtons mainButtons(const WorkState& state);

// The work after a stage ended. An extraction that wrote frames, whether it completed, stopped or
// failed part way, begins new work: the frames are new, so composing, watching and saving are
// open again.
WorkState afterStage(WorkState state, MainStage stage, StageEnd end, bool wroteFrames = false);

}  // namespace strobo::windows
