#pragma once

#include <cstdint>
#include <string>

#include "engine/packed_image.h"
#include "stages/progress.h"
#include "workfolder/media/video_decoder.h"

namespace strobo::stages {

// Thrown inside a stage when its progress or a stop request asks it to stop, so that every scope
// unwinds and what was made so far goes; the stage's entry point turns it into a "stopped" result.
struct StopRequested {};

// Tells the progress, and stops the stage when it asks to.
void reportOrStop(const Progress& progress, Phase phase, std::int64_t done, std::int64_t total);

// Opens a clip for a stage that reads it directly. A missing clip is ClipNotOpened; anything else
// the media layer refuses (a pipe, a device, a playlist, a damaged file) is ClipUnreadable in the
// media layer's own words; a stop asked for while it opens or scans is StopRequested.
workfolder::media::VideoDecoder openStageClip(const std::string& clip,
                                              workfolder::media::DecoderOptions options = {});

// The frame at index, with the media layer's failures and stops turned as above.
engine::PackedImage decodeStageFrame(workfolder::media::VideoDecoder& decoder, std::int64_t index);
// The same, and the frame at the clip's full size in `fullSize` (a decoder opened with
// DecoderOptions::fullSizeToo).
engine::PackedImage decodeStageFrame(workfolder::media::VideoDecoder& decoder, std::int64_t index,
                                     engine::PackedImage& fullSize);

// The per-channel median of frames sampled evenly over the whole clip, at the decoder's size: a
// picture of the scene without what moves. Progress hears Phase::Median per frame read.
engine::PackedImage clipMedian(workfolder::media::VideoDecoder& decoder, const Progress& progress);

}  // namespace strobo::stages
