#pragma once

#include <bit>
#include <memory>
#include <new>
#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/frame.h>
#include <libswscale/swscale.h>
}

namespace strobo::workfolder::media::detail {

// Owners for the FFmpeg objects; each frees through the library's own function, the ones
// taking a pointer-to-pointer through a small lambda.
struct InputContextFree {
    void operator()(AVFormatContext* c) const { avformat_close_input(&c); }
};
struct OutputContextFree {
    void operator()(AVFormatContext* c) const {
        if (c->pb != nullptr && !(c->oformat->flags & AVFMT_NOFILE)) {
            avio_closep(&c->pb);
        }
        avformat_free_context(c);
    }
};
// A file opened with avio_open2 and handed to a format context as its own input.
struct IoContextFree {
    void operator()(AVIOContext* c) const { avio_closep(&c); }
};
struct CodecContextFree {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameFree {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketFree {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct SwsFree {
    void operator()(SwsContext* s) const { sws_freeContext(s); }
};
// Dictionaries are passed by address and may be replaced by the callee, so they are held in
// place rather than in a unique_ptr.
struct DictionaryGuard {
    AVDictionary* dictionary = nullptr;
    DictionaryGuard() = default;
    DictionaryGuard(const DictionaryGuard&) = delete;
    DictionaryGuard& operator=(const DictionaryGuard&) = delete;
    ~DictionaryGuard() { av_dict_free(&dictionary); }
};

using InputContextPtr = std::unique_ptr<AVFormatContext, InputContextFree>;
using OutputContextPtr = std::unique_ptr<AVFormatContext, OutputContextFree>;
using IoContextPtr = std::unique_ptr<AVIOContext, IoContextFree>;
using CodecContextPtr = std::unique_ptr<AVCodecContext, CodecContextFree>;
using FramePtr = std::unique_ptr<AVFrame, FrameFree>;
using PacketPtr = std::unique_ptr<AVPacket, PacketFree>;
using SwsPtr = std::unique_ptr<SwsContext, SwsFree>;

inline FramePtr makeFrame() {
    FramePtr f(av_frame_alloc());
    if (!f) throw std::bad_alloc();
    return f;
}

inline PacketPtr makePacket() {
    PacketPtr p(av_packet_alloc());
    if (!p) throw std::bad_alloc();
    return p;
}

inline std::string errorString(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

// The URL handed to libavformat for a local path. The explicit "file:" keeps a name such as
// "http://..." or "a:b.avi" from being taken for a network protocol.
inline std::string fileUrl(const std::string& path) {
    return "file:" + path;
}

// The packed colour layout as bytes in memory: red in the low byte of a 32-bit word, so bytes
// R,G,B,0 on a little-endian machine and 0,B,G,R on a big-endian one.
constexpr AVPixelFormat packedColorPixelFormat() {
    return std::endian::native == std::endian::little ? AV_PIX_FMT_RGB0 : AV_PIX_FMT_0BGR;
}

}  // namespace strobo::workfolder::media::detail
