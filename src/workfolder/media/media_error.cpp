#include "workfolder/media/media_error.h"

#include <utility>

#include "workfolder/failure.h"

namespace strobo::workfolder::media {

namespace {

std::string situation(MediaErrorKind kind, const std::string& file, std::int64_t frame) {
    const std::string clip = "動画ファイル" + quoted(file);
    switch (kind) {
        case MediaErrorKind::NotFound:
            return clip + "が見つかりません。ファイルの名前と場所を確かめてください。";
        case MediaErrorKind::NotAFile:
            return quoted(file) + "はフォルダーで、動画ファイルではありません。" +
                   "動画ファイルを選んでください。";
        case MediaErrorKind::Fifo:
            return quoted(file) +
                   "は名前付きパイプ（FIFO）で、動画ファイルではないため開きません。" +
                   "ディスクに保存した動画ファイルを選んでください。";
        case MediaErrorKind::Device:
            return quoted(file) + "はデバイスなどの特殊なファイルで、動画ファイルではないため" +
                   "開きません。ディスクに保存した動画ファイルを選んでください。";
        case MediaErrorKind::Unreadable:
            return clip + "を読み込めません。ファイルの読み取り権限と、ディスクに異常がないかを" +
                   "確かめてください。";
        case MediaErrorKind::Refused:
            return quoted(file) + "はほかのファイルを読み込む形式（プレイリスト、ファイルの一覧、" +
                   "連番の画像など）のため開きません。動画ファイルそのものを選んでください。";
        case MediaErrorKind::Unsupported:
            return quoted(file) + "は読み込める形式の動画ではありません。MP4、MOV、AVI などの" +
                   "動画ファイルを選ぶか、読み込める形式に変換してください。";
        case MediaErrorKind::NotVideo:
            return quoted(file) +
                   "には映像がありません。映像の入った動画ファイルを選んでください。";
        case MediaErrorKind::NoFrames:
            return clip + "には表示できるフレームがありません。別の動画ファイルを選んでください。";
        case MediaErrorKind::TooLarge:
            return clip + "の映像は大きすぎて扱えません。縦横それぞれ 16384 画素までの大きさに" +
                   "変換してから選んでください。";
        case MediaErrorKind::Damaged:
            if (frame >= 0) {
                return clip + "のフレーム " + std::to_string(frame) +
                       " を読めません。ファイルが壊れているおそれがあります。元のファイルを" +
                       "もう一度コピーするか、別の動画ファイルを選んでください。";
            }
            return clip + "は壊れているため読めません。元のファイルをもう一度コピーするか、" +
                   "別の動画ファイルを選んでください。";
        case MediaErrorKind::TimedOut:
            return clip + "の読み込みが時間内に終わらないため中止しました。ファイルを手元の" +
                   "ディスクにコピーしてから選ぶか、別の動画ファイルを選んでください。";
        case MediaErrorKind::Interrupted:
            return clip + "の読み込みを中止しました。";
        case MediaErrorKind::CannotWrite:
            return clip + "を書き出せません。保存先のフォルダーに書き込めるか、" +
                   "空き容量が足りるかを確かめてください。";
    }
    return clip + "を扱えません。";
}

std::string message(MediaErrorKind kind, const std::string& file, const std::string& detail,
                    const std::string& osReason, std::int64_t frame) {
    std::string text = situation(kind, file, frame);
    std::string extra = osReason;
    if (!detail.empty() && detail != osReason) {
        if (!extra.empty()) extra += "、";
        extra += detail;
    }
    if (!extra.empty()) text += "（詳細: " + extra + "）";
    return text;
}

}  // namespace

MediaError::MediaError(MediaErrorKind kind, std::string file, std::string detail,
                       std::string osReason, std::int64_t frame)
    : std::runtime_error(message(kind, file, detail, osReason, frame)),
      m_kind(kind),
      m_file(std::move(file)),
      m_detail(std::move(detail)),
      m_osReason(std::move(osReason)),
      m_frame(frame) {}

}  // namespace strobo::workfolder::media
