#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "engine/packed_image.h"
#include "workfolder/media/media_error.h"

namespace strobo::workfolder::media {

enum class AnimationFormat {
    Gif,  // an animated GIF that loops for ever
    Mp4,  // H.264 where FFmpeg has an encoder for it, MPEG-4 part 2 otherwise
};

// The 256 colours of a GIF, chosen by FFmpeg's palettegen from every picture added.
class GifPalette {
  public:
    // Throws MediaError when FFmpeg lacks the filters, std::invalid_argument for an empty size.
    GifPalette(int width, int height);
    ~GifPalette();
    GifPalette(const GifPalette&) = delete;
    GifPalette& operator=(const GifPalette&) = delete;

    // Throws std::invalid_argument for a picture of another size.
    void add(const engine::PackedImage& picture);
    // The palette as a 16 x 16 picture, one colour per pixel. Throws MediaError when no picture
    // was added.
    engine::PackedImage finish();

  private:
    struct State;
    std::unique_ptr<State> m_state;
};

struct AnimationOptions {
    AnimationFormat format = AnimationFormat::Gif;
    int width = 0;
    int height = 0;
    // How long each picture shows.
    int pictureMilliseconds = 300;
    // GIF only: how long the last picture stays before the animation starts again.
    int lastPictureMilliseconds = 1500;
    // GIF only: the palette GifPalette made; the pictures are dithered onto it.
    engine::PackedImage palette;
};

// Writes pictures of one size as an animation, one picture after another, through FFmpeg's
// encoders and muxers. The file is written under a temporary name beside the target and takes
// the target's name only when finish() succeeds, so a failure never leaves half a file or
// spoils an existing one. Pictures go out as they come; none is held.
class AnimationWriter {
  public:
    // Throws MediaError (CannotWrite) when the file cannot be created or no encoder fits, and
    // std::invalid_argument for a size out of range or a GIF without a palette.
    AnimationWriter(const std::string& path, const AnimationOptions& options);
    // Without finish(), the temporary file is removed and the target left as it was.
    ~AnimationWriter();
    AnimationWriter(const AnimationWriter&) = delete;
    AnimationWriter& operator=(const AnimationWriter&) = delete;

    // Throws std::invalid_argument for a picture of another size, MediaError on write errors.
    void addPicture(const engine::PackedImage& picture);
    // Flushes the encoder, closes the file and gives it its name.
    void finish();
    std::int64_t picturesWritten() const;
    // The encoder FFmpeg chose ("gif", "libx264", "mpeg4").
    const std::string& encoderName() const;

  private:
    struct State;
    std::unique_ptr<State> m_state;
};

}  // namespace strobo::workfolder::media
