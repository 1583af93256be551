#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "engine/packed_image.h"
#include "stages/extraction/frame_facts.h"
#include "stages/progress.h"
#include "workfolder/background_saver.h"
#include "workfolder/failure.h"
#include "workfolder/file_services.h"

namespace strobo::stages {

// The device alias the clip is open under from the open command to the close command.
inline constexpr const char* kClipAlias = "test";
// The reply buffer of the length query holds this many characters.
constexpr std::size_t kLengthReplyLength = 255;

// Frames captured but not yet written: enough that a file system which stalls now and then does
// not hold up the reading of the clip, few enough to stay at about ten megabytes.
constexpr std::size_t kFramesWaitingToBeWritten = 8;

// Where the clip is played and captured: the playback window, the headless playback of the
// command line, or a stand-in in tests.
class PlaybackSurface {
  public:
    virtual ~PlaybackSurface() = default;
    // One media command; 0 or an error code. Only the length query passes a reply.
    virtual int sendMediaCommand(const std::string& command, std::string* reply = nullptr,
                                 std::size_t replyLength = 0) = 0;
    // The media layer's own message for the last failed command: what happened to which file and
    // what to do. Empty when the file was not the matter (a command the device refused).
    virtual std::string mediaFailure(int code) const = 0;
    // The last failed command stopped because a stop was asked for, not because of the clip.
    virtual bool mediaStopped() const { return false; }
    // The window handle the video is drawn into.
    virtual std::uint64_t videoWindowHandle() = 0;
    // The playback picture exactly as it shows now.
    virtual engine::PackedImage capturePlayback() = 0;
    // The same picture as its frame file's bytes, made later on the thread that writes the file
    // (see BackgroundSaver::saveBitmap); empty when the surface has nothing to paint it from but
    // capturePlayback(). The extraction asks this first: painting on the writing thread keeps it
    // off the thread that reads the clip.
    virtual workfolder::BackgroundSaver::BitmapEncoder captureFrameFile() { return {}; }
    // What frame files 1 to frameCount will show, once the clip is open and drawn; nothing when
    // the surface cannot tell (then no facts are kept beside the frame files).
    virtual std::optional<FrameFacts> frameFacts(std::int32_t /*frameCount*/) const {
        return std::nullopt;
    }
};

struct ExtractionResult {
    // The clip was opened, drawn and measured.
    bool opened = false;
    // Every frame from 1 to the clip's length was saved.
    bool completed = false;
    // The progress or the media layer's stop request asked to stop before the end (during the
    // open as well as between frames).
    bool stopped = false;
    // The length the device reported (0 until the length query has answered).
    std::int32_t frameCount = 0;
    // Frame files 1 to written are this run's; they stay whatever happens later.
    std::int32_t written = 0;
    // The frame the device could not show (FrameNotShown).
    std::int32_t failedFrame = 0;
    // Why the extraction stopped short; empty when it completed or was stopped on request.
    std::optional<workfolder::Failure> failure;
};

// The extraction's media conversation and frame loop: open the clip under the alias "test",
// draw it into the playback surface, ask its length N, then for i = 1 to N seek to i, yield,
// capture the surface and save it as frame file i. Position 0 is never captured. The device is
// left open, showing the last frame, until close(), so the caller can speak to the user while
// it is still on view; the destructor closes it otherwise.
class FrameExtraction {
  public:
    FrameExtraction(PlaybackSurface& surface, workfolder::FileServices& files, Yield yield = {});
    ~FrameExtraction();
    FrameExtraction(const FrameExtraction&) = delete;
    FrameExtraction& operator=(const FrameExtraction&) = delete;

    // Frame file i is framePrefix + i + ".bmp". Frame files are written on a second thread, up
    // to kFramesWaitingToBeWritten frames behind the capture; progress hears
    // (Phase::Extract, i, N) once frame i is handed over. Never throws for an unopenable clip or a
    // file that cannot be written: it stops, keeps what it wrote and says why in the result.
    ExtractionResult run(const std::string& clipPath, const std::string& framePrefix,
                         const Progress& progress = {});

    // Sends the stop and close commands if the clip is open.
    void close();
    bool isOpen() const { return m_open; }

  private:
    void extractFrames(const std::string& clipPath, const std::string& framePrefix,
                       const Progress& progress, ExtractionResult& result);

    PlaybackSurface& m_surface;
    workfolder::FileServices& m_files;
    Yield m_yield;
    bool m_open = false;
};

// The command texts of the conversation, to the character.
std::string openCommand(const std::string& clipPath);
std::string windowCommand(std::uint64_t handle);
std::string lengthCommand();
std::string seekCommand(std::int64_t position);
std::string stopCommand();
std::string closeCommand();

}  // namespace strobo::stages
