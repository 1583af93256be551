#include "workfolder/media/clip_writer.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <vector>

#include "workfolder/media/ffmpeg_handles.h"

namespace strobo::workfolder::media {

using namespace detail;

namespace {

MediaError writeError(const std::string& path, const std::string& reason) {
    return MediaError(MediaErrorKind::CannotWrite, path, reason);
}

struct CodecChoice {
    AVCodecID id;
    AVPixelFormat format;
};

CodecChoice codecChoice(ClipCodec codec) {
    switch (codec) {
        case ClipCodec::Lossless:
            // RGB with a padding byte: a plain reordering of the packed colour's bytes, so no
            // colour conversion can round anything away.
            return {AV_CODEC_ID_FFV1, AV_PIX_FMT_0RGB32};
        case ClipCodec::Mjpeg:
            return {AV_CODEC_ID_MJPEG, AV_PIX_FMT_YUVJ420P};
        case ClipCodec::Mpeg4:
            return {AV_CODEC_ID_MPEG4, AV_PIX_FMT_YUV420P};
    }
    throw std::invalid_argument("unknown clip codec");
}

std::uint32_t readLe32(const std::vector<char>& bytes, std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(bytes[at + i]);
    return v;
}

void writeLe32(std::vector<char>& bytes, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

// Rewrites the frame counts an AVI keeps in its header list: dwTotalFrames of 'avih', dwLength
// of the video 'strh' and dwTotalFrames of the OpenDML 'dmlh'. They all lie in the first
// kilobytes, before the 'movi' list.
void patchAviFrameCount(const std::string& path, std::uint32_t count) {
    std::fstream file(std::filesystem::path(std::u8string(path.begin(), path.end())),
                      std::ios::in | std::ios::out | std::ios::binary);
    if (!file) throw writeError(path, "見出しを書き換えられません");
    std::vector<char> head(64 * 1024);
    file.read(head.data(), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<std::size_t>(file.gcount()));
    file.clear();
    const auto is = [&](std::size_t at, const char* tag) {
        return at + 4 <= head.size() && std::memcmp(head.data() + at, tag, 4) == 0;
    };
    for (std::size_t at = 12; at + 8 <= head.size(); ++at) {
        if (is(at, "movi")) break;
        std::size_t field = 0;
        if (is(at, "avih")) {
            field = at + 8 + 16;
        } else if (is(at, "strh") && is(at + 8, "vids")) {
            field = at + 8 + 32;
        } else if (is(at, "dmlh")) {
            field = at + 8;
        }
        if (field != 0 && field + 4 <= head.size() && readLe32(head, at + 4) >= 4) {
            writeLe32(head, field, count);
            file.seekp(static_cast<std::streamoff>(field));
            file.write(head.data() + field, 4);
        }
    }
    if (!file) throw writeError(path, "見出しを書き換えられません");
}

}  // namespace

struct ClipWriter::State {
    std::string path;
    ClipWriterOptions options;
    OutputContextPtr format;
    CodecContextPtr codec;
    SwsPtr scaler;
    FramePtr picture = makeFrame();
    PacketPtr packet = makePacket();
    AVStream* stream = nullptr;
    std::int64_t frames = 0;
    bool finished = false;

    void writePendingPackets() {
        for (;;) {
            const int rc = avcodec_receive_packet(codec.get(), packet.get());
            if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) return;
            if (rc < 0) throw writeError(path, "圧縮に失敗しました: " + errorString(rc));
            av_packet_rescale_ts(packet.get(), codec->time_base, stream->time_base);
            packet->stream_index = stream->index;
            const int wrc = av_interleaved_write_frame(format.get(), packet.get());
            if (wrc < 0) throw writeError(path, errorString(wrc));
        }
    }
};

ClipWriter::ClipWriter(const std::string& path, const ClipWriterOptions& options)
    : m_state(std::make_unique<State>()) {
    State& s = *m_state;
    s.path = path;
    s.options = options;
    if (options.width <= 0 || options.height <= 0 || options.width > 16384 ||
        options.height > 16384 || options.framesPerSecond <= 0) {
        throw std::invalid_argument("clip size or rate out of range");
    }
    AVFormatContext* raw = nullptr;
    if (avformat_alloc_output_context2(&raw, nullptr, nullptr, path.c_str()) < 0 || !raw) {
        throw writeError(path, "拡張子から形式が分かりません");
    }
    s.format.reset(raw);

    const CodecChoice choice = codecChoice(options.codec);
    const AVCodec* encoder = avcodec_find_encoder(choice.id);
    if (encoder == nullptr) throw writeError(path, "圧縮形式が使えません");
    s.codec.reset(avcodec_alloc_context3(encoder));
    if (!s.codec) throw std::bad_alloc();
    AVCodecContext* c = s.codec.get();
    c->width = options.width;
    c->height = options.height;
    c->pix_fmt = choice.format;
    c->time_base = AVRational{1, options.framesPerSecond};
    c->framerate = AVRational{options.framesPerSecond, 1};
    c->gop_size = std::max(1, options.keyframeInterval);
    if (options.codec != ClipCodec::Lossless) {
        c->flags |= AV_CODEC_FLAG_QSCALE;
        c->global_quality = FF_QP2LAMBDA * std::clamp(options.quality, 1, 31);
    }
    if (options.codec == ClipCodec::Mpeg4) c->max_b_frames = std::max(0, options.bFrames);
    if (s.format->oformat->flags & AVFMT_GLOBALHEADER) c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    int rc = avcodec_open2(c, encoder, nullptr);
    if (rc < 0) throw writeError(path, "圧縮器を開けません: " + errorString(rc));

    s.stream = avformat_new_stream(s.format.get(), nullptr);
    if (s.stream == nullptr) throw std::bad_alloc();
    s.stream->time_base = c->time_base;
    s.stream->avg_frame_rate = c->framerate;
    rc = avcodec_parameters_from_context(s.stream->codecpar, c);
    if (rc < 0) throw writeError(path, errorString(rc));

    rc = avio_open(&s.format->pb, fileUrl(path).c_str(), AVIO_FLAG_WRITE);
    if (rc < 0) throw writeError(path, errorString(rc));
    rc = avformat_write_header(s.format.get(), nullptr);
    if (rc < 0) throw writeError(path, errorString(rc));

    s.picture->format = c->pix_fmt;
    s.picture->width = c->width;
    s.picture->height = c->height;
    rc = av_frame_get_buffer(s.picture.get(), 0);
    if (rc < 0) throw std::bad_alloc();
    // MJPEG's full-range "J" format has the memory layout of the plain one; converting to the
    // plain format with full-range levels says the same without the deprecated format.
    const bool fullRange = c->pix_fmt == AV_PIX_FMT_YUVJ420P;
    s.scaler.reset(sws_getContext(c->width, c->height, packedColorPixelFormat(), c->width,
                                  c->height, fullRange ? AV_PIX_FMT_YUV420P : c->pix_fmt,
                                  SWS_BICUBIC | SWS_ACCURATE_RND, nullptr, nullptr, nullptr));
    if (!s.scaler) throw writeError(path, "画素形式を変換できません");
    if (fullRange) {
        sws_setColorspaceDetails(s.scaler.get(), sws_getCoefficients(SWS_CS_DEFAULT), 1,
                                 sws_getCoefficients(SWS_CS_DEFAULT), 1, 0, 1 << 16, 1 << 16);
    }
}

ClipWriter::~ClipWriter() {
    if (m_state && !m_state->finished) {
        try {
            finish();
        } catch (...) {
            // A destructor has no one to report to; an explicit finish() reports.
        }
    }
}

void ClipWriter::addFrame(const engine::PackedImage& frame) {
    State& s = *m_state;
    if (s.finished) throw std::logic_error("clip already finished");
    if (frame.width != s.codec->width || frame.height != s.codec->height) {
        throw std::invalid_argument("frame size differs from the clip size");
    }
    // The encoder may still hold the previous picture's buffers.
    if (av_frame_make_writable(s.picture.get()) < 0) throw std::bad_alloc();
    const std::uint8_t* source[4] = {reinterpret_cast<const std::uint8_t*>(frame.pixels.data()),
                                     nullptr, nullptr, nullptr};
    const int sourceStride[4] = {frame.width * 4, 0, 0, 0};
    sws_scale(s.scaler.get(), source, sourceStride, 0, frame.height, s.picture->data,
              s.picture->linesize);
    s.picture->pts = s.frames;
    const int rc = avcodec_send_frame(s.codec.get(), s.picture.get());
    if (rc < 0) throw writeError(s.path, "圧縮に失敗しました: " + errorString(rc));
    ++s.frames;
    s.writePendingPackets();
}

void ClipWriter::finish() {
    State& s = *m_state;
    if (s.finished) return;
    s.finished = true;
    avcodec_send_frame(s.codec.get(), nullptr);
    s.writePendingPackets();
    const int rc = av_write_trailer(s.format.get());
    if (rc < 0) throw writeError(s.path, errorString(rc));
    avio_closep(&s.format->pb);
    if (s.options.headerFrameCount && std::string(s.format->oformat->name) == std::string("avi")) {
        patchAviFrameCount(s.path, *s.options.headerFrameCount);
    }
}

std::int64_t ClipWriter::framesWritten() const {
    return m_state->frames;
}

}  // namespace strobo::workfolder::media
