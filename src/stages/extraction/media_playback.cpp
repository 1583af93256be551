#include "stages/extraction/media_playback.h"

#include <algorithm>

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

void MediaPlayback::setStopRequest(std::function<bool()> stopRequested) {
    m_player->setStopRequest(std::move(stopRequested));
}

std::string MediaPlayback::mediaFailure(int /*code*/) const {
    const media::MediaError* error = m_player->lastError();
    return error != nullptr ? error->what() : std::string();
}

bool MediaPlayback::mediaStopped() const {
    const media::MediaError* error = m_player->lastError();
    return error != nullptr && error->kind() == media::MediaErrorKind::Interrupted;
}

std::optional<FrameFacts> MediaPlayback::frameFacts(std::int32_t frameCount) const {
    const media::VideoRect video = m_player->videoRect(kClipAlias);
    const media::VideoRect clip = m_player->clipSize(kClipAlias);
    if (video.isEmpty() || clip.isEmpty()) return std::nullopt;
    FrameFacts facts;
    facts.videoArea = playbackVideoArea(video.x, video.y, video.width, video.height);
    facts.clipWidth = clip.width;
    facts.clipHeight = clip.height;
    facts.frameTimes.reserve(static_cast<std::size_t>(std::max(frameCount, 0)));
    // Frame file i shows position i; the position one past the last frame shows the last frame.
    for (std::int32_t i = 1; i <= frameCount; ++i) {
        const auto t = m_player->frameTime(kClipAlias, std::min(i, frameCount - 1));
        if (!t) return std::nullopt;
        facts.frameTimes.push_back(*t);
    }
    return facts;
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
    static const engine::PackedImage kNoFrame;
    return paintPlaybackPicture(m_showing ? mediaPlayer().currentFrame(kClipAlias) : kNoFrame, true,
                                kHeadlessPlaybackBackColor);
}

wf::BackgroundSaver::BitmapEncoder HeadlessPlayback::captureFrameFile() {
    std::shared_ptr<const engine::PackedImage> frame =
        m_showing ? mediaPlayer().sharedCurrentFrame(kClipAlias) : nullptr;
    return [frame = std::move(frame)](std::vector<std::uint8_t>& bytes) {
        static const engine::PackedImage kNoFrame;
        encodePlaybackBitmap(frame ? *frame : kNoFrame, true, kHeadlessPlaybackBackColor, bytes);
    };
}

void HeadlessPlayback::showVideoFrame(const engine::PackedImage& /*frame*/) {
    m_showing = true;
}

void HeadlessPlayback::clearVideoFrame() {
    m_showing = false;
}

ExtractionResult extractClip(const std::string& clip, const std::string& folder,
                             wf::FileServices& files, const Progress& progress,
                             std::function<bool()> stopRequested, int decoderThreads) {
    if (isBlank(folder) || !files.folderExists(folder)) {
        ExtractionResult result;
        result.failure = wf::Failure{wf::FailureKind::FolderMissing, folder, {}, {}};
        return result;
    }
    HeadlessPlayback playback;
    playback.setStopRequest(std::move(stopRequested));
    playback.mediaPlayer().setDecoderThreads(decoderThreads);
    FrameExtraction extraction(playback, files);
    ExtractionResult result = extraction.run(clip, wf::framePrefix(folder), progress);
    extraction.close();
    return result;
}

}  // namespace strobo::stages
