#include "workfolder/failure.h"

namespace strobo::workfolder {

FailureError::FailureError(Failure failure)
    : std::runtime_error(japaneseText(failure)), m_failure(std::move(failure)) {}

FailureError::FailureError(const std::string& fileStoreSentence)
    : FailureError(Failure{FailureKind::File, {}, fileStoreSentence, {}}) {}

namespace {

std::string withReason(const std::string& sentence, const Failure& failure) {
    return failure.osReason.empty() ? sentence : sentence + "（" + failure.osReason + "）";
}

// The media layer's own sentence names the clip and says what to do; said once, as it is.
// Without one (a command the device refused), the clip is named here.
std::string clipText(const Failure& failure, const char* happened) {
    if (!failure.detail.empty()) return failure.detail;
    return "動画ファイル" + quoted(failure.file) + happened;
}

}  // namespace

std::string japaneseText(const Failure& f) {
    switch (f.kind) {
        case FailureKind::File:
        case FailureKind::Unexpected:
            return f.detail;
        case FailureKind::NotANumber:
            return "数値ではありません: " + quoted(f.detail);
        case FailureKind::NumberIsNaN:
            return "数値に変換できません（NaN）";
        case FailureKind::NumberOutOfRange:
            return "数値が範囲を超えています: " + f.detail;
        case FailureKind::FolderMissing:
            return "作業フォルダーがありません: " + quoted(f.file);
        case FailureKind::ClipNotOpened:
            return clipText(f, "を開けません。別の動画ファイルを選んでください。");
        case FailureKind::ClipNotShown:
            return clipText(f, "を表示できません。");
        case FailureKind::ClipLengthUnknown:
            return clipText(f, "の長さがわかりません。");
        case FailureKind::FrameNotShown:
            return clipText(f, "のフレームを表示できません。");
        case FailureKind::ClipFrameCountUnusable:
            return "動画のフレーム数を扱えません: " + quoted(f.file) + "\n" + f.detail;
        case FailureKind::ClipUnreadable:
            return clipText(f, "を読めません。");
        case FailureKind::RangeOutsideClip:
            return "範囲が動画のフレーム数（" + f.detail + "）に合いません: " + quoted(f.file);
        case FailureKind::BackgroundMissing:
            return "背景の画像が見つかりません: " + quoted(f.file);
        case FailureKind::StrobeMissing:
            return "ストロボ写真がありません: " + quoted(f.file);
        case FailureKind::SaveOntoWorkFiles:
            return "保存先が作業フォルダーのフレームやストロボ写真、背景の画像と重なるため"
                   "保存できません。別の名前か別のフォルダーを選んでください: " +
                   quoted(f.file);
        case FailureKind::NothingToSave:
            return "範囲（" + f.detail + "）には保存する写真がありません";
        case FailureKind::PristineMissing:
            return "元の背景画像が見つかりません: " + quoted(f.file);
        case FailureKind::FrameSizesDiffer:
            return "フレームの大きさが揃っていません: " + quoted(f.file);
        case FailureKind::FramesNotArranged:
            return withReason("フレームを並べ替えられません", f) + ": " + quoted(f.file);
        case FailureKind::ScratchFolderNotMade:
            return withReason("一時作業フォルダーを作れません", f) + ": " + quoted(f.file);
        case FailureKind::SaveOntoClip:
            return "保存先が元の動画と同じファイルになるため保存できません。別の名前を選んでくださ"
                   "い"
                   ": " +
                   quoted(f.file);
        case FailureKind::PositionsNotWritten:
            return withReason("位置の表を書き込めません", f) + ": " + quoted(f.file);
        case FailureKind::AnimationNotWritten:
            return "アニメーションを書き出せません: " + quoted(f.file) + "\n" + f.detail;
    }
    return f.detail;
}

Failure failureOf(const std::exception& error) {
    if (const auto* failed = dynamic_cast<const FailureError*>(&error)) return failed->failure();
    return Failure{FailureKind::Unexpected, {}, error.what(), {}};
}

}  // namespace strobo::workfolder
