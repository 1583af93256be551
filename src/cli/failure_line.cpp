#include "cli/failure_line.h"

#include "cli/arguments.h"

namespace strobo::cli {

namespace {

using workfolder::FailureKind;

const char* englishText(FailureKind kind) {
    switch (kind) {
        case FailureKind::File:
            return "cannot use a file";
        case FailureKind::NotANumber:
            return "not a number";
        case FailureKind::NumberIsNaN:
        case FailureKind::NumberOutOfRange:
            return "number out of range";
        case FailureKind::FolderMissing:
            return "no such folder";
        case FailureKind::ClipNotOpened:
            return "cannot open the clip";
        case FailureKind::ClipNotShown:
            return "cannot show the clip";
        case FailureKind::ClipLengthUnknown:
            return "cannot tell the clip's length";
        case FailureKind::FrameNotShown:
            return "cannot show a frame";
        case FailureKind::ClipFrameCountUnusable:
            return "unusable frame count";
        case FailureKind::ClipUnreadable:
            return "cannot read the clip";
        case FailureKind::RangeOutsideClip:
            return "the range does not fit the clip";
        case FailureKind::BackgroundMissing:
            return "no background picture";
        case FailureKind::StrobeMissing:
            return "missing strobe file";
        case FailureKind::SaveOntoWorkFiles:
            return "the pictures would replace the work folder's own files";
        case FailureKind::NothingToSave:
            return "nothing to save";
        case FailureKind::PristineMissing:
            return "no pristine background";
        case FailureKind::FrameSizesDiffer:
            return "frame files of different sizes";
        case FailureKind::FramesNotArranged:
            return "cannot arrange the frames";
        case FailureKind::ScratchFolderNotMade:
            return "cannot make a temporary work folder";
        case FailureKind::SaveOntoClip:
            return "an output would replace the clip";
        case FailureKind::PositionsNotWritten:
            return "cannot write the table of positions";
        case FailureKind::AnimationNotWritten:
            return "cannot write the animation";
        case FailureKind::Unexpected:
            break;
    }
    return "failed";
}

}  // namespace

std::string failureLine(const workfolder::Failure& failure) {
    return std::string(englishText(failure.kind)) + " / " +
           oneLine(workfolder::japaneseText(failure));
}

}  // namespace strobo::cli
