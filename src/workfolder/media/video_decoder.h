#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/packed_image.h"
#include "workfolder/media/media_error.h"

namespace strobo::workfolder::media {

// The largest width or height accepted from a video; anything beyond is taken for a damaged or
// hostile header rather than a real clip.
inline constexpr int kMaxVideoDimension = 16384;

struct DecoderOptions {
    // When both are positive, frames larger than this box are scaled down to fit it, keeping
    // their aspect ratio; smaller frames keep their size.
    int maxWidth = 0;
    int maxHeight = 0;
    // Decoder threads; 0 lets FFmpeg choose.
    int threads = 0;
};

// Reads the frames of the first video stream of any file FFmpeg can read, addressed by their
// position in presentation order, counted from 0.
//
// Opening scans the packets of the video stream once without decoding them. The scan gives the
// exact frame count whatever the header claims (AVI headers are often missing or wrong), and the
// timestamps and keyframes that make seeking frame-accurate. The scan keeps a few bytes per
// frame, never pictures.
//
// frame() decodes forward from the current position and seeks (to a keyframe at or before the
// target, then decodes forward) only when the target lies behind, or so far ahead that a
// keyframe can be skipped to; reading 0,1,2,... decodes every frame exactly once.
//
// Frames are identified by their presentation timestamps when every packet carries a distinct
// one. Otherwise (AVI with B-frames, raw streams) the n-th picture the decoder delivers from the
// start of the stream is frame n, and going backward restarts from the first frame.
class VideoDecoder {
  public:
    // Throws MediaError for a missing or unreadable file, a file without video, a video without
    // frames and dimensions of 0 or above kMaxVideoDimension.
    explicit VideoDecoder(const std::string& path, DecoderOptions options = {});
    ~VideoDecoder();
    VideoDecoder(const VideoDecoder&) = delete;
    VideoDecoder& operator=(const VideoDecoder&) = delete;

    const std::string& path() const { return m_path; }
    std::int64_t frameCount() const;
    // The size of the stored pictures, and the size frame() delivers.
    int sourceWidth() const;
    int sourceHeight() const;
    int outputWidth() const;
    int outputHeight() const;
    // How many pictures the decoder has delivered since opening, wanted or skipped; lets tests
    // and benchmarks see that sequential reading decodes each frame once.
    std::int64_t decodedPictureCount() const;
    // How many times reading had to jump back or ahead in the file.
    std::int64_t seekCount() const;

    // The frame at index 0..frameCount()-1. Throws std::out_of_range for other indexes and
    // MediaError when the file cannot be decoded there.
    engine::PackedImage frame(std::int64_t index);

  private:
    struct State;
    std::string m_path;
    std::unique_ptr<State> m_state;
};

// The size a width × height picture gets when scaled down to fit maxWidth × maxHeight with its
// aspect ratio kept; pictures that already fit keep their size. Never below 1 × 1.
void fitWithin(int width, int height, int maxWidth, int maxHeight, int* outWidth, int* outHeight);

}  // namespace strobo::workfolder::media
