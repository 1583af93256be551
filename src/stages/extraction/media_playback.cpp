#include "stages/extraction/media_playback.h"

#include "stages/extraction/playback_picture.h"
#include "workfolder/file_names.h"
#include "workfolder/media/media_player.h"

namespace strobo::stages {

namespace wf = workfolder;
namespace media = workfolder::media;

namespace {

// Any handle will do: the headless playback is the only target its player knows.
constexpr std::uint64_t kHeadlessHandle = 1;

bool isBlank(const std::string& text) {
    return text.find_first_not_of(" \t\r\n") == std::string::npos;
}

}  // namespace

MediaPlayback::MediaPlayback() : m_player(std::make_unique<media::MediaPlayer>()) {}

MediaPlayback::~MediaPlayback() = default;

int MediaPlayback::sendMediaCommand(const std::string& command, std::string* reply,
                                    std::size_t replyLength) {
    return m_player->sendString(command, reply, replyLength);
}

std::string MediaPlayback::mediaFailure(int code) const {
    const std::string& detail = m_player->lastErrorDetail();
    return detail.empty() ? media::MediaPlayer::errorText(code) : detail;
}

HeadlessPlayback::HeadlessPlayback() {
    mediaPlayer().setFrameTargetResolver([this](std::uint64_t handle) -> media::FrameTarget* {
        return handle == kHeadlessHandle ? this : nullptr;
    });
}

std::uint64_t HeadlessPlayback::videoWindowHandle() {
    return kHeadlessHandle;
}

engine::PackedImage HeadlessPlayback::capturePlayback() {
    return paintPlaybackPicture(m_frame, true, kHeadlessPlaybackBackColor);
}

void HeadlessPlayback::showVideoFrame(const engine::PackedImage& frame) {
    m_frame = frame;
}

void HeadlessPlayback::clearVideoFrame() {
    m_frame = {};
}

ExtractionResult extractClip(const std::string& clip, const std::string& folder,
                             wf::FileServices& files, const Progress& progress) {
    if (isBlank(folder) || !files.folderExists(folder)) {
        ExtractionResult result;
        result.failure = wf::Failure{wf::FailureKind::FolderMissing, folder, {}, {}};
        return result;
    }
    HeadlessPlayback playback;
    FrameExtraction extraction(playback, files);
    ExtractionResult result = extraction.run(clip, wf::framePrefix(folder), progress);
    extraction.close();
    return result;
}

}  // namespace strobo::stages
