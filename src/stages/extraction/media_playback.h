#pragma once

#include <functional>
#include <memory>
#include <string>

#include "stages/extraction/frame_extraction.h"
#include "workfolder/media/frame_target.h"

namespace strobo::workfolder::media {
class MediaPlayer;
}

namespace strobo::stages {

// A playback surface whose clip plays on a media player of its own: the conversation's commands
// go to the player, and a failed command is told in the player's words. Where the video is drawn
// and how it is captured is the derived class's matter.
class MediaPlayback : public PlaybackSurface {
  public:
    MediaPlayback();
    ~MediaPlayback() override;

    workfolder::media::MediaPlayer& mediaPlayer() { return *m_player; }
    // Asked often while a command opens or reads the clip, on the calling thread; true stops the
    // command at once, and the extraction ends as stopped.
    void setStopRequest(std::function<bool()> stopRequested);

    int sendMediaCommand(const std::string& command, std::string* reply = nullptr,
                         std::size_t replyLength = 0) override;
    std::string mediaFailure(int code) const override;
    bool mediaStopped() const override;
    // The video's place in the playback picture (inside the picture box's border) and the
    // player's frame times.
    std::optional<FrameFacts> frameFacts(std::int32_t frameCount) const override;

  private:
    std::unique_ptr<workfolder::media::MediaPlayer> m_player;
};

// The playback picture without a window, for the command line: the player draws into it, and a
// capture is the painted playback picture, the same pixels the playback window shows. It shows
// the frame of the clip open under the extraction's alias, painted straight from the player's own
// copy when captured.
class HeadlessPlayback : public MediaPlayback, public workfolder::media::FrameTarget {
  public:
    HeadlessPlayback();

    std::uint64_t videoWindowHandle() override;
    engine::PackedImage capturePlayback() override;
    // Painted from the player's frame, which stays as it is while the file waits.
    workfolder::BackgroundSaver::BitmapEncoder captureFrameFile() override;

    void showVideoFrame(const engine::PackedImage& frame) override;
    void clearVideoFrame() override;

  private:
    bool m_showing = false;
};

// Extraction without dialogs or windows: plays the clip on a headless playback and writes frame
// files 1 to N into the folder, the same bytes the windows write. A missing folder is a
// FolderMissing failure. stopRequested reaches the media layer (see MediaPlayback);
// decoderThreads is the decoder's thread count, 0 for FFmpeg's choice.
ExtractionResult extractClip(const std::string& clip, const std::string& folder,
                             workfolder::FileServices& files, const Progress& progress = {},
                             std::function<bool()> stopRequested = {}, int decoderThreads = 0);

}  // namespace strobo::stages
