#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "engine/packed_image.h"
#include "workfolder/media/frame_target.h"
#include "workfolder/media/media_error.h"

namespace strobo::workfolder::media {

class VideoDecoder;

// Result codes of MediaPlayer::sendString; 0 is success.
enum MediaResult : int {
    kMediaOk = 0,
    kMediaUnknownCommand = 261,
    kMediaBadParameter = 262,
    kMediaUnknownAlias = 263,
    kMediaMissingParameter = 264,
    kMediaCannotOpen = 265,
    kMediaOutOfRange = 266,
    kMediaBadWindow = 267,
    kMediaAliasInUse = 268,
    kMediaReadFailed = 269,
};

// The part of a frame target a video covers.
struct VideoRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool isEmpty() const { return width <= 0 || height <= 0; }
    friend bool operator==(const VideoRect&, const VideoRect&) = default;
};

// The media command layer: plays video files into frame targets, driven by command texts.
//
//   open "<path>" alias <a>     (the quotes may be left out for a path without blanks or quotes;
//                               a quoted path runs to the last quote of the command, so it may
//                               hold quotes itself)
//   window <a> handle <n>       draw into the target the resolver gives for window handle n
//   status <a> length           reply: the frame count in decimal digits
//   status <a> position         reply: the current position
//   seek <a> to <p>             show frame p, counted from 0; p = length shows the last frame
//   stop <a>
//   close <a>                   ("close all" closes every device)
//
// Keywords and aliases are matched without regard to case; blanks between words may be
// repeated. Videos are shown upright and scaled up or down to fit 640 × 480 with their aspect
// ratio kept, at the target's top-left corner; a 640 × 480 video keeps its pixels as decoded.
// Each device reads its video through a VideoDecoder, so the seeks 1, 2, ..., N of an
// extraction decode every frame once. Opening and each seek are bounded in time and can be
// stopped (setStopRequest).
class MediaPlayer {
  public:
    static constexpr int kMaxFrameWidth = 640;
    static constexpr int kMaxFrameHeight = 480;

    MediaPlayer();
    ~MediaPlayer();
    MediaPlayer(const MediaPlayer&) = delete;
    MediaPlayer& operator=(const MediaPlayer&) = delete;

    // Runs one command. A reply (status only) is written to `reply` cut to replyLength - 1
    // characters, as a C buffer of that length would hold it; a null reply or a length of 0
    // receives nothing. Other commands leave `reply` empty when given one.
    int sendString(const std::string& command, std::string* reply = nullptr,
                   std::size_t replyLength = 0);
    // A Japanese text for a result code.
    static std::string errorText(int code);
    // The detailed text of the last failed command (the file and reason for a failed open),
    // empty after a successful one.
    const std::string& lastErrorDetail() const { return m_lastErrorDetail; }
    // The failure of the last command when the video file was the matter (a failed open or
    // seek), with its kind; null otherwise and after a successful command.
    const MediaError* lastError() const { return m_lastError ? &*m_lastError : nullptr; }

    // Asked often while a command opens or reads a video, on the calling thread; true stops the
    // command at once: it fails with its usual code and lastError() says Interrupted. The
    // device stays open and the next seek reads afresh.
    void setStopRequest(std::function<bool()> stopRequested);
    // How long one open or one seek may take before it fails as TimedOut; by default
    // kDefaultMediaTimeLimit. Applies to devices opened afterwards.
    void setTimeLimit(std::chrono::milliseconds limit);
    // Decoder threads for devices opened afterwards (see DecoderOptions::threads); 0, the
    // default, lets FFmpeg choose.
    void setDecoderThreads(int threads);

    void setFrameTargetResolver(FrameTargetResolver resolver);
    // Called after every command with its text and result code.
    void setCommandObserver(std::function<void(const std::string&, int)> observer);

    // The frame the device shows now (null image when the alias is unknown), for callers
    // without a window; valid until the next command.
    const engine::PackedImage& currentFrame(const std::string& alias) const;
    // The same frame, kept alive for as long as the caller holds it: a frame is never changed,
    // only replaced by the next one. Null when the alias is unknown or nothing is shown yet.
    std::shared_ptr<const engine::PackedImage> sharedCurrentFrame(const std::string& alias) const;
    bool isOpen(const std::string& alias) const;
    // Where the device draws its video on the target: the top-left corner and the video's
    // fitted size; empty for an unknown alias. Everything else of the target is background.
    VideoRect videoRect(const std::string& alias) const;
    // The clip as it shows before fitting: upright, square pixels, full resolution; empty for an
    // unknown alias.
    VideoRect clipSize(const std::string& alias) const;
    // When the frame that position `index` shows is shown, in seconds after the first frame
    // (see VideoDecoder::frameTime); nullopt for an unknown alias or an index outside the clip.
    std::optional<double> frameTime(const std::string& alias, std::int64_t index) const;
    // Pictures decoded for the device so far (0 for an unknown alias); shows that stepping
    // through a clip decodes every frame once.
    std::int64_t decodedPictureCount(const std::string& alias) const;

  private:
    struct Device;
    int run(const std::string& command, std::string* reply, std::size_t replyLength);
    Device* find(const std::string& alias);
    int show(Device& device, std::int64_t position);

    std::map<std::string, std::unique_ptr<Device>> m_devices;  // by lower-case alias
    FrameTargetResolver m_resolver;
    std::function<void(const std::string&, int)> m_observer;
    std::function<bool()> m_stopRequested;
    std::chrono::milliseconds m_timeLimit;
    int m_decoderThreads = 0;
    std::string m_lastErrorDetail;
    std::optional<MediaError> m_lastError;
};

}  // namespace strobo::workfolder::media
