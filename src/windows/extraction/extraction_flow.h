#pragma once

#include <string>

namespace strobo::windows {

class WindowSet;

// The open dialog's filter. It starts on every video the player reads, by the names phones,
// cameras and editors give them (matched without regard to case); the AVI entry of old and all
// files follow.
inline constexpr const char* kClipDialogFilter =
    "動画ファイル (*.avi *.mp4 *.m4v *.mov *.qt *.mkv *.webm *.wmv *.asf *.mpg *.mpeg *.m1v "
    "*.m2v *.vob *.ts *.mts *.m2ts *.flv *.f4v *.3gp *.3g2 *.ogv *.dv *.mxf *.mj2 *.nut *.y4m "
    "*.rm *.rmvb);;(*.avi);;すべてのファイル (*)";
inline constexpr const char* kCompletionMessage = "出力が完了しました";
// Object name of the progress dialog shown beside the playback window while frames are saved.
inline constexpr const char* kProgressDialogName = "extractionProgress";
// The progress dialog's left edge: right of the playback window, which ends at x = 640.
constexpr int kProgressDialogLeft = 660;

// The work-folder prompt, its example a folder in the user's home folder.
std::string folderPrompt();

// The click of form1.Command1: choose a clip, type the work folder, play the clip in Form2 and
// save every frame as a frame file, then leave the frame count in Form2.Text1; a completed
// extraction of two frames or more is done for the run (form1's button table). A cancelled or
// empty answer, a missing folder the user does not want created, a clip that cannot be opened or
// a stop with 中止 ends the stage with a message, and the button stays enabled. The end button
// stops it after the frame being saved and ends the program without a word.
void runExtraction(WindowSet& windows);

}  // namespace strobo::windows
