#include "workfolder/file_failure.h"

#include <cerrno>

namespace strobo::workfolder {

std::string osReasonText(std::error_code reason) {
    const bool posix =
        reason.category() == std::generic_category() || reason.category() == std::system_category();
    if (posix) {
        switch (reason.value()) {
            case ENOSPC:
            case EDQUOT:
                return "ディスクがいっぱいです";
            case EACCES:
            case EPERM:
                return "アクセスが許可されていません";
            case EROFS:
                return "読み取り専用のファイルシステムです";
            case ENOENT:
                return "フォルダーがありません";
            case ENOTDIR:
                return "フォルダーの位置にファイルがあります";
            case ENAMETOOLONG:
                return "名前が長すぎます";
            case EFBIG:
                return "ファイルの大きさの上限を超えます";
            case EISDIR:
                return "同じ名前のフォルダーがあります";
            default:
                break;
        }
    }
    return "システムの報告: " + reason.message();
}

ServiceError fileFailure(FileFailureKind kind, const std::string& file, const std::string& detail,
                         std::error_code osReason) {
    const char* sentence = "";
    bool detailInParentheses = false;
    switch (kind) {
        case FileFailureKind::PictureMissing:
            sentence = "画像ファイルが見つかりません";
            break;
        case FileFailureKind::PictureUnreadable:
            sentence = "画像ファイルを読み込めません";
            detailInParentheses = true;
            break;
        case FileFailureKind::PictureTruncated:
            sentence = "画像ファイルが途中で切れています";
            break;
        case FileFailureKind::PictureTooLarge:
            sentence = "画像が大きすぎて読み込めません";
            detailInParentheses = true;
            break;
        case FileFailureKind::PictureDataMisplaced:
            sentence = "画像ファイルの画素データの位置が正しくありません";
            break;
        case FileFailureKind::NothingToSave:
            sentence = "保存する画像が空です";
            break;
        case FileFailureKind::PictureNotWritten:
            sentence = "画像ファイルを書き込めません";
            break;
        case FileFailureKind::CopySourceMissing:
            sentence = "コピー元のファイルが見つかりません";
            break;
        case FileFailureKind::CopyFailed:
            sentence = "ファイルをコピーできません";
            break;
        case FileFailureKind::DeleteTargetMissing:
            sentence = "削除するファイルが見つかりません";
            break;
        case FileFailureKind::DeleteFailed:
            sentence = "ファイルを削除できません";
            break;
        case FileFailureKind::FolderNotCreated:
            sentence = "フォルダーを作成できません";
            break;
    }
    std::string because;
    if (detailInParentheses && !detail.empty()) because = detail;
    if (osReason) {
        if (!because.empty()) because += "、";
        because += osReasonText(osReason);
    }
    std::string text = sentence;
    if (!because.empty()) text += "（" + because + "）";
    text += ": ";
    if (kind == FileFailureKind::CopyFailed) text += quoted(detail) + " → ";
    text += quoted(file);
    // The store words its own sentence; the file and the system's reason travel beside it so that
    // no one has to read them back out of the text.
    return ServiceError(
        Failure{FailureKind::File, file, std::move(text), osReason ? osReasonText(osReason) : ""});
}

}  // namespace strobo::workfolder
