#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/packed_image.h"
#include "workfolder/media/media_error.h"

namespace strobo::workfolder::media {

// The largest width or height accepted from a video; anything beyond is taken for a damaged or
// hostile header rather than a real clip.
inline constexpr int kMaxVideoDimension = 16384;

// How long one open, scan or frame() may take unless the caller says otherwise. A local clip
// needs a small part of it; a file that keeps the reader busy longer is given up.
inline constexpr std::chrono::milliseconds kDefaultMediaTimeLimit{20000};

struct DecoderOptions {
    // When both are positive, frames larger than this box are scaled down to fit it, keeping
    // their aspect ratio; smaller frames keep their size unless enlargeToFit is set.
    int maxWidth = 0;
    int maxHeight = 0;
    // Decoder threads; 0 lets FFmpeg choose. The pictures are the same whatever the number.
    int threads = 0;
    // With a box given, frames smaller than it are enlarged to fit it as well.
    bool enlargeToFit = false;
    // frame(index, fullSize) may also hand out each frame at the display size, converted as a
    // decoder opened without a box converts it, from the same decoded picture.
    bool fullSizeToo = false;
    // When positive, opening reads the file only as far as it must to place the first
    // framesWanted frames, where the stream's time stamps allow it: a short range at the start
    // of a long clip is found without reading the rest. frameCount() then counts the frames
    // placed (at least framesWanted, or every frame when the clip has no more) and the frames
    // after them are out of range; those placed are the very frames, with the very times, of a
    // decoder that read the whole file.
    std::int64_t framesWanted = 0;
    // Each open (with its scan) and each frame() fails with MediaErrorKind::TimedOut when it
    // takes longer; the scan of a long file counts from the last new part of the file read.
    std::chrono::milliseconds timeLimit = kDefaultMediaTimeLimit;
    // Asked often while opening, scanning, seeking and decoding, on the calling thread; when it
    // returns true the operation stops at once with MediaErrorKind::Interrupted. The decoder
    // stays usable: the next frame() starts afresh.
    std::function<bool()> stopRequested;
};

// Reads the frames of the first video stream of any plain local file FFmpeg can read, addressed
// by their position in presentation order, counted from 0.
//
// The frames are those a player shows: frames an MP4 edit list cuts away are decoded where
// needed but never counted or delivered, so frame k is the (k+1)-th picture `ffmpeg -i CLIP
// -fps_mode passthrough DIR/%d.bmp` writes. Every frame comes upright (a stored display
// rotation or flip applied) and with square pixels (non-square ones stretched to the display
// aspect), then fitted into the box the options give.
//
// Only the file itself is read: playlists, file lists and image patterns, which would read
// other files or wait for more data, are refused, as are folders, pipes and devices.
//
// Opening scans the packets of the video stream once without decoding them. The scan gives the
// exact frame count whatever the header claims (AVI headers are often missing or wrong), and the
// timestamps and keyframes that make seeking frame-accurate. The scan keeps a few bytes per
// frame, never pictures. With DecoderOptions::framesWanted it may stop early.
//
// frame() decodes forward from the current position and seeks (to a keyframe at or before the
// target, then decodes forward) only when the target lies behind, or so far ahead that a
// keyframe can be skipped to; reading 0,1,2,... decodes every frame exactly once. Colour
// conversion and scaling run on a thread of the decoder's own: reading forward, frame(k) hands
// frame k+1 over before it waits for frame k, so decoding one picture overlaps with converting
// the one before. At most two pictures wait there; the pictures are the same as without it.
//
// Frames are identified by their presentation timestamps when every packet carries a distinct
// one. Otherwise (AVI with B-frames, raw streams) the n-th picture the decoder delivers from the
// start of the stream is frame n, and going backward restarts from the first frame.
class VideoDecoder {
  public:
    // Throws MediaError for a missing, unreadable or refused file, a file without video, a
    // video without frames, dimensions of 0 or above kMaxVideoDimension, a stop request and an
    // open that takes longer than the time limit.
    explicit VideoDecoder(const std::string& path, DecoderOptions options = {});
    ~VideoDecoder();
    VideoDecoder(const VideoDecoder&) = delete;
    VideoDecoder& operator=(const VideoDecoder&) = delete;

    const std::string& path() const { return m_path; }
    std::int64_t frameCount() const;
    // The size of the stored pictures; the size they are shown at, upright and with square
    // pixels; and the size frame() delivers, the display size fitted into the options' box.
    int sourceWidth() const;
    int sourceHeight() const;
    int displayWidth() const;
    int displayHeight() const;
    int outputWidth() const;
    int outputHeight() const;
    // When frame `index` is shown, in seconds after the first frame (frameTime(0) is 0), from
    // the stream's own timestamps; from the frame rate for streams without them. Throws
    // std::out_of_range for an index outside the clip.
    double frameTime(std::int64_t index) const;
    // How many pictures the decoder has delivered since opening, wanted or skipped; lets tests
    // and benchmarks see that sequential reading decodes each frame once.
    std::int64_t decodedPictureCount() const;
    // How many times reading had to jump back or ahead in the file.
    std::int64_t seekCount() const;

    // The frame at index 0..frameCount()-1. Throws std::out_of_range for other indexes and
    // MediaError when the file cannot be decoded there, the time limit passes or a stop is
    // requested.
    engine::PackedImage frame(std::int64_t index);
    // The same, and in `fullSize` the frame as a decoder opened without a box gives it; the
    // conversion runs beside the other on the decoder's own thread. Throws std::logic_error when
    // the options did not ask for fullSizeToo.
    engine::PackedImage frame(std::int64_t index, engine::PackedImage& fullSize);

  private:
    struct State;
    std::string m_path;
    std::unique_ptr<State> m_state;
};

// The size a width × height picture gets when scaled down to fit maxWidth × maxHeight with its
// aspect ratio kept; pictures that already fit keep their size. Never below 1 × 1.
void fitWithin(int width, int height, int maxWidth, int maxHeight, int* outWidth, int* outHeight);
// The same, but smaller pictures are enlarged until they touch the box's sides too.
void scaleToFit(int width, int height, int boxWidth, int boxHeight, int* outWidth, int* outHeight);

}  // namespace strobo::workfolder::media
