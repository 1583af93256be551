#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "engine/packed_image.h"
#include "workfolder/media/media_error.h"

namespace strobo::workfolder::media {

enum class ClipCodec {
    Lossless,  // FFV1 in RGB: every frame decodes to exactly the pixels written
    Mjpeg,
    Mpeg4,  // MPEG-4 part 2
};

struct ClipWriterOptions {
    int width = 0;
    int height = 0;
    int framesPerSecond = 30;
    ClipCodec codec = ClipCodec::Lossless;
    // Frames from one keyframe to the next; 1 makes every frame a keyframe.
    int keyframeInterval = 12;
    // MPEG-4 only: B-frames between reference frames (0 for none).
    int bFrames = 0;
    // MJPEG and MPEG-4: quantiser scale, 1 (best) to 31.
    int quality = 3;
    // AVI only: after writing, the frame counts of the main and the stream header are set to
    // this value, so readers that trust them get it wrong; 0 stands for a missing count.
    std::optional<std::uint32_t> headerFrameCount;
};

// Writes a video file, in the container its extension names (.avi, .mkv, .mov, ...), from
// packed images of one size. Frames go to the encoder and the file as they come; the writer
// never holds more than the encoder's own look-ahead.
class ClipWriter {
  public:
    // Throws MediaError when the file cannot be created or the codec does not fit the container.
    ClipWriter(const std::string& path, const ClipWriterOptions& options);
    // Finishes the file when finish() was not called; errors are then swallowed.
    ~ClipWriter();
    ClipWriter(const ClipWriter&) = delete;
    ClipWriter& operator=(const ClipWriter&) = delete;

    // Throws std::invalid_argument for a frame of another size, MediaError on write errors.
    void addFrame(const engine::PackedImage& frame);
    // Flushes the encoder, writes the trailer and closes the file.
    void finish();
    std::int64_t framesWritten() const;

  private:
    struct State;
    std::unique_ptr<State> m_state;
};

}  // namespace strobo::workfolder::media
