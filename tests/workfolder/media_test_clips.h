#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "engine/packed_image.h"
#include "workfolder/media/clip_writer.h"

namespace strobo::workfolder::media::testing {

inline std::filesystem::path u8(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempFolder {
  public:
    TempFolder() {
        std::random_device seed;
        m_path = std::filesystem::temp_directory_path() /
                 ("strobo-media-" + std::to_string(seed()) + std::to_string(seed()));
        std::filesystem::create_directories(m_path);
    }
    ~TempFolder() {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    // A UTF-8 path for a file named `name` (UTF-8) in the folder.
    std::string file(const std::string& name) const {
        const auto p = (m_path / u8(name)).u8string();
        return std::string(p.begin(), p.end());
    }

  private:
    std::filesystem::path m_path;
};

// Pixels that differ in every frame and everywhere within it, for lossless comparisons.
inline engine::PackedImage detailedFrame(int index, int width, int height) {
    engine::PackedImage image(width, height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            image.set(x, y,
                      engine::packColor((x * 7 + index * 13) & 255, (y * 5 + index * 29) & 255,
                                        (x * y + index * 37) & 255));
        }
    }
    return image;
}

// A frame whose index survives lossy compression: eight 16-pixel-wide columns, white for a set
// bit and black for a clear one, most significant bit leftmost, over 16 rows; below them a
// moving gradient gives the encoder real work.
constexpr int kBitColumnWidth = 16;
inline engine::PackedImage numberedFrame(int index, int width, int height) {
    engine::PackedImage image(width, height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            int level = (x + y + index * 3) & 255;
            if (y < 16 && x < 8 * kBitColumnWidth) {
                level = ((index >> (7 - x / kBitColumnWidth)) & 1) ? 255 : 0;
            }
            image.set(x, y, engine::packColor(level, level, level));
        }
    }
    return image;
}

inline int readFrameNumber(const engine::PackedImage& image) {
    int value = 0;
    for (int bit = 0; bit < 8; ++bit) {
        const engine::PackedColor c = image.at(bit * kBitColumnWidth + kBitColumnWidth / 2, 8);
        value = (value << 1) | ((c & 0xFF) > 127 ? 1 : 0);
    }
    return value;
}

enum class Content { Detailed, Numbered };

inline void writeClip(const std::string& path, ClipWriterOptions options, int frames,
                      Content content = Content::Detailed) {
    ClipWriter writer(path, options);
    for (int i = 0; i < frames; ++i) {
        writer.addFrame(content == Content::Detailed
                            ? detailedFrame(i, options.width, options.height)
                            : numberedFrame(i, options.width, options.height));
    }
    writer.finish();
}

inline ClipWriterOptions clipOptions(int width, int height, ClipCodec codec = ClipCodec::Lossless,
                                     int keyframeInterval = 10, int bFrames = 0) {
    ClipWriterOptions o;
    o.width = width;
    o.height = height;
    o.codec = codec;
    o.keyframeInterval = keyframeInterval;
    o.bFrames = bFrames;
    return o;
}

inline std::uint64_t imageHash(const engine::PackedImage& image) {
    std::uint64_t h = 1469598103934665603ull;
    const auto mix = [&h](std::uint64_t v) {
        h ^= v;
        h *= 1099511628211ull;
    };
    mix(static_cast<std::uint64_t>(image.width));
    mix(static_cast<std::uint64_t>(image.height));
    for (const auto p : image.pixels) mix(static_cast<std::uint32_t>(p));
    return h;
}

inline void writeBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(u8(path), std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string readBytes(const std::string& path) {
    std::ifstream in(u8(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A one-second mono 8 kHz 16-bit PCM WAV file, written byte by byte.
inline void writeWav(const std::string& path) {
    const std::uint32_t samples = 8000;
    std::string b;
    const auto le = [&b](std::uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) b.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    };
    b += "RIFF";
    le(36 + samples * 2, 4);
    b += "WAVEfmt ";
    le(16, 4);
    le(1, 2);         // PCM
    le(1, 2);         // mono
    le(8000, 4);      // sample rate
    le(8000 * 2, 4);  // byte rate
    le(2, 2);         // block align
    le(16, 2);        // bits per sample
    b += "data";
    le(samples * 2, 4);
    for (std::uint32_t i = 0; i < samples; ++i) le((i * 97) & 0xFFFF, 2);
    writeBytes(path, b);
}

// A path as one word for the shell.
inline std::string shellWord(const std::string& text) {
    std::string out = "'";
    for (const char c : text) {
        if (c == '\'') {
            out += "'\\''";
        } else {
            out += c;
        }
    }
    return out + "'";
}

// Runs the ffmpeg command line with `arguments` (already quoted for the shell); true when it
// succeeds.
inline bool runFfmpeg(const std::string& arguments) {
    const std::string command = "ffmpeg -v error -nostdin -y " + arguments + " </dev/null";
    return std::system(command.c_str()) == 0;
}

// The frames ffmpeg's own command line decodes from `clip`, every frame it decodes once (no
// frame-rate conversion), with its default automatic rotation, as width × height packed
// colours. `raw` receives them first; the options go before and after "-i CLIP".
inline std::vector<engine::PackedImage> ffmpegFrames(const std::string& clip, int width, int height,
                                                     const std::string& raw,
                                                     const std::string& outputOptions = "",
                                                     const std::string& inputOptions = "") {
    std::vector<engine::PackedImage> frames;
    if (!runFfmpeg(inputOptions + " -i " + shellWord(clip) + " " + outputOptions +
                   " -fps_mode passthrough -f rawvideo -pix_fmt rgb0 " + shellWord(raw))) {
        return frames;
    }
    const std::string bytes = readBytes(raw);
    const std::size_t frameBytes = static_cast<std::size_t>(width) * height * 4;
    for (std::size_t at = 0; at + frameBytes <= bytes.size(); at += frameBytes) {
        engine::PackedImage image(width, height);
        std::memcpy(image.pixels.data(), bytes.data() + at, frameBytes);
        for (auto& p : image.pixels) p &= 0x00FFFFFF;
        frames.push_back(std::move(image));
    }
    return frames;
}

}  // namespace strobo::workfolder::media::testing
