#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace strobo::workfolder {

// What went wrong, whichever layer found it. The windows and the command line choose their own
// words from it; no one reads a failure's text back.
enum class FailureKind {
    // A picture or file could not be read, written, copied, deleted or made. The file store words
    // these itself: detail holds its sentence, which names the file and the reason.
    File,
    // Text that must be a number is not; detail holds the text.
    NotANumber,
    // A number without a value (NaN) was to become an integer.
    NumberIsNaN,
    // A number does not fit the integer it becomes; detail holds the number and the range.
    NumberOutOfRange,
    // file: the work folder that is not there.
    FolderMissing,
    // The clip could not be opened, drawn, measured or moved to a frame. file: the clip; detail:
    // the media layer's own message, which names the clip and says what to do (empty when the
    // clip was not the matter).
    ClipNotOpened,
    ClipNotShown,
    ClipLengthUnknown,
    FrameNotShown,
    // The clip's frame count cannot be used; detail: why.
    ClipFrameCountUnusable,
    // The clip could not be read or decoded frame by frame. file: the clip; detail: the media
    // layer's own message, as above.
    ClipUnreadable,
    // The frame range does not fit the clip. file: the clip; detail: its frame count.
    RangeOutsideClip,
    // file: the base strobe image the build starts from.
    BackgroundMissing,
    // file: a strobe file of the series that is not there.
    StrobeMissing,
    // file: a saved picture's name that would replace one of the work folder's own files (a frame
    // file, a strobe file or a base image).
    SaveOntoWorkFiles,
    // The range to save holds no picture; detail: the range.
    NothingToSave,
    // file: the pristine base image.
    PristineMissing,
    // file: a frame file whose size differs from the first one's.
    FrameSizesDiffer,
    // file: a frame file that could not be renamed; osReason: why.
    FramesNotArranged,
    // file: the private work folder's name pattern; osReason: why.
    ScratchFolderNotMade,
    // file: an output that would replace the clip it is made from.
    SaveOntoClip,
    // file: the table of positions that could not be written; osReason: why.
    PositionsNotWritten,
    // file: the animation or video that could not be written; detail: the media layer's reason.
    AnimationNotWritten,
    // Anything else (out of memory, a fault of the program); detail: what was said.
    Unexpected,
};

struct Failure {
    FailureKind kind = FailureKind::Unexpected;
    std::string file;
    std::string detail;
    // The operating system's reason, when it gave one.
    std::string osReason;
};

// The program's one exception: it carries a Failure. what() is the failure in Japanese.
class FailureError : public std::runtime_error {
  public:
    explicit FailureError(Failure failure);
    // A failure of the file store, worded by the store itself (kind File).
    explicit FailureError(const std::string& fileStoreSentence);

    const Failure& failure() const noexcept { return m_failure; }

  private:
    Failure m_failure;
};

// The file store and its tests raise and catch it under the name it had before.
using ServiceError = FailureError;

// The failure itself in one Japanese sentence (the media layer's own message for the clip
// kinds), without what the stage was doing: the windows and the command line put that around it.
std::string japaneseText(const Failure& failure);

// The failure of any exception a stage lets through: the one carried, or an Unexpected one.
Failure failureOf(const std::exception& error);

// A file name or typed text as it stands in a message: between Japanese quotation marks.
inline std::string quoted(std::string_view text) {
    std::string out = "「";
    out.append(text);
    out += "」";
    return out;
}

}  // namespace strobo::workfolder
