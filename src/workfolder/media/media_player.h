#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "engine/packed_image.h"
#include "workfolder/media/frame_target.h"

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

// The media command layer: plays video files into frame targets, driven by command texts.
//
//   open "<path>" alias <a>     (the quotes may be left out for a path without blanks)
//   window <a> handle <n>       draw into the target the resolver gives for window handle n
//   status <a> length           reply: the frame count in decimal digits
//   status <a> position         reply: the current position
//   seek <a> to <p>             show frame p, counted from 0; p = length shows the last frame
//   stop <a>
//   close <a>                   ("close all" closes every device)
//
// Keywords and aliases are matched without regard to case; blanks between words may be
// repeated. Videos larger than 640 × 480 are scaled down to fit, keeping their aspect ratio.
// Each device reads its video through a VideoDecoder, so the seeks 1, 2, ..., N of an
// extraction decode every frame once.
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

    void setFrameTargetResolver(FrameTargetResolver resolver);
    // Called after every command with its text and result code.
    void setCommandObserver(std::function<void(const std::string&, int)> observer);

    // The frame the device shows now (null image when the alias is unknown), for callers
    // without a window.
    engine::PackedImage currentFrame(const std::string& alias) const;
    bool isOpen(const std::string& alias) const;
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
    std::string m_lastErrorDetail;
};

}  // namespace strobo::workfolder::media
