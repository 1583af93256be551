#include "workfolder/media/video_decoder.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <limits>
#include <optional>
#include <stdexcept>
#include <utility>

#include "workfolder/media/ffmpeg_handles.h"

namespace strobo::workfolder::media {

using namespace detail;

namespace {

// Probing a local file takes milliseconds; a file that keeps the prober busy longer is treated
// as unreadable rather than left to stall the window that asked for it.
constexpr std::chrono::seconds kProbeTimeLimit{15};
// A keyframe this many packets ahead is reached by reading and dropping packets, which costs
// no decoding; one further ahead by a seek in the container.
constexpr std::int64_t kReadAheadLimit = 512;

std::filesystem::path nativePath(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

MediaError openError(const std::string& path, const std::string& reason) {
    return MediaError("動画ファイル「" + path + "」を開けません（" + reason + "）。");
}

struct Keyframe {
    std::int64_t position;  // in decode order
    std::int64_t pts;
    std::int64_t dts;
};

struct FrameTime {
    std::int64_t pts;
    std::int64_t position;  // of its packet in decode order
};

}  // namespace

void fitWithin(int width, int height, int maxWidth, int maxHeight, int* outWidth, int* outHeight) {
    if (maxWidth <= 0 || maxHeight <= 0 || (width <= maxWidth && height <= maxHeight)) {
        *outWidth = width;
        *outHeight = height;
        return;
    }
    const double scale =
        std::min(static_cast<double>(maxWidth) / width, static_cast<double>(maxHeight) / height);
    *outWidth = std::clamp(static_cast<int>(std::lround(width * scale)), 1, maxWidth);
    *outHeight = std::clamp(static_cast<int>(std::lround(height * scale)), 1, maxHeight);
}

struct VideoDecoder::State {
    std::string path;
    DecoderOptions options;

    InputContextPtr format;
    CodecContextPtr codec;
    SwsPtr scaler;
    FramePtr frame = makeFrame();
    PacketPtr packet = makePacket();
    bool packetPending = false;  // `packet` was read while checking a seek and is still unsent
    int streamIndex = -1;
    std::chrono::steady_clock::time_point deadline = std::chrono::steady_clock::time_point::max();

    int sourceWidth = 0;
    int sourceHeight = 0;
    int outputWidth = 0;
    int outputHeight = 0;

    // From the scan. dts of every packet in decode order; the frames sorted by presentation
    // time when every packet has a distinct one, else empty.
    std::vector<std::int64_t> packetDts;
    std::vector<FrameTime> framesByPts;
    std::vector<Keyframe> keyframes;
    std::int64_t frameCount = 0;
    bool byTimestamp = false;

    // Where reading stands. nextPosition: decode position of the next packet to send.
    // lastDelivered: presentation index of the last picture the decoder gave, -1 before any.
    std::int64_t nextPosition = 0;
    std::int64_t lastDelivered = -1;
    std::int64_t deliveredSinceStart = 0;  // pictures since the first frame, for counting mode
    bool draining = false;
    bool drained = false;

    std::int64_t cachedIndex = -1;
    engine::PackedImage cached;
    std::int64_t decodedPictures = 0;
    std::int64_t seeks = 0;

    static int interrupt(void* opaque) {
        auto* self = static_cast<State*>(opaque);
        return std::chrono::steady_clock::now() > self->deadline ? 1 : 0;
    }

    void open() {
        format.reset();
        codec.reset();
        packetPending = false;

        AVFormatContext* raw = avformat_alloc_context();
        if (raw == nullptr) throw std::bad_alloc();
        raw->interrupt_callback.callback = &State::interrupt;
        raw->interrupt_callback.opaque = this;
        DictionaryGuard formatOptions;
        // Only the local file itself: a playlist-like file must not make FFmpeg fetch anything.
        av_dict_set(&formatOptions.dictionary, "protocol_whitelist", "file", 0);
        deadline = std::chrono::steady_clock::now() + kProbeTimeLimit;
        int rc =
            avformat_open_input(&raw, fileUrl(path).c_str(), nullptr, &formatOptions.dictionary);
        if (rc < 0) {
            deadline = std::chrono::steady_clock::time_point::max();
            throw openError(path, rc == AVERROR_EXIT ? "読み込みに時間がかかりすぎます"
                                                     : "動画として読めません: " + errorString(rc));
        }
        format.reset(raw);
        rc = avformat_find_stream_info(format.get(), nullptr);
        deadline = std::chrono::steady_clock::time_point::max();
        if (rc < 0) throw openError(path, "内容を読み取れません: " + errorString(rc));

        streamIndex = -1;
        for (unsigned i = 0; i < format->nb_streams; ++i) {
            const AVStream* s = format->streams[i];
            // Cover art of an audio file is a one-picture "video" stream; it is no clip.
            if (streamIndex < 0 && s->codecpar->codec_type == AVMEDIA_TYPE_VIDEO &&
                !(s->disposition & AV_DISPOSITION_ATTACHED_PIC)) {
                streamIndex = static_cast<int>(i);
            } else {
                format->streams[i]->discard = AVDISCARD_ALL;
            }
        }
        if (streamIndex < 0) throw openError(path, "映像がありません");
        const AVCodecParameters* par = format->streams[streamIndex]->codecpar;
        if (par->width <= 0 || par->height <= 0 || par->width > kMaxVideoDimension ||
            par->height > kMaxVideoDimension) {
            throw openError(path, "映像の大きさ " + std::to_string(par->width) + "×" +
                                      std::to_string(par->height) + " は扱えません");
        }
        const AVCodec* decoder = avcodec_find_decoder(par->codec_id);
        if (decoder == nullptr) throw openError(path, "対応していない圧縮形式です");
        codec.reset(avcodec_alloc_context3(decoder));
        if (!codec) throw std::bad_alloc();
        if (avcodec_parameters_to_context(codec.get(), par) < 0) {
            throw openError(path, "圧縮形式の設定を読めません");
        }
        codec->pkt_timebase = format->streams[streamIndex]->time_base;
        codec->thread_count = options.threads;
        codec->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
        codec->max_pixels = static_cast<std::int64_t>(kMaxVideoDimension) * kMaxVideoDimension;
        rc = avcodec_open2(codec.get(), decoder, nullptr);
        if (rc < 0) throw openError(path, "復号器を開けません: " + errorString(rc));

        sourceWidth = par->width;
        sourceHeight = par->height;
        fitWithin(sourceWidth, sourceHeight, options.maxWidth, options.maxHeight, &outputWidth,
                  &outputHeight);
        resetReading(0);
    }

    void resetReading(std::int64_t position) {
        nextPosition = position;
        lastDelivered = -1;
        deliveredSinceStart = 0;
        draining = false;
        drained = false;
    }

    // The next packet of the video stream worth decoding. Empty packets and the cut-off tail of
    // a truncated file are passed over both here and in the scan, so positions agree.
    bool readPacket() {
        if (packetPending) {
            packetPending = false;
            return true;
        }
        for (;;) {
            av_packet_unref(packet.get());
            if (av_read_frame(format.get(), packet.get()) < 0) return false;
            if (packet->stream_index == streamIndex && packet->size > 0 &&
                !(packet->flags & AV_PKT_FLAG_CORRUPT)) {
                return true;
            }
        }
    }

    void scan() {
        std::vector<std::int64_t> pts;
        bool everyPts = true;
        while (readPacket()) {
            const std::int64_t position = static_cast<std::int64_t>(packetDts.size());
            packetDts.push_back(packet->dts);
            pts.push_back(packet->pts);
            everyPts = everyPts && packet->pts != AV_NOPTS_VALUE;
            if (packet->flags & AV_PKT_FLAG_KEY) {
                keyframes.push_back({position, packet->pts, packet->dts});
            }
        }
        av_packet_unref(packet.get());
        frameCount = static_cast<std::int64_t>(packetDts.size());
        if (frameCount == 0) throw openError(path, "フレームがありません");

        if (everyPts) {
            framesByPts.reserve(pts.size());
            for (std::size_t i = 0; i < pts.size(); ++i) {
                framesByPts.push_back({pts[i], static_cast<std::int64_t>(i)});
            }
            std::sort(framesByPts.begin(), framesByPts.end(),
                      [](const FrameTime& a, const FrameTime& b) { return a.pts < b.pts; });
            const bool distinct = std::adjacent_find(framesByPts.begin(), framesByPts.end(),
                                                     [](const FrameTime& a, const FrameTime& b) {
                                                         return a.pts == b.pts;
                                                     }) == framesByPts.end();
            byTimestamp = distinct;
        }
        if (!byTimestamp) {
            framesByPts.clear();
            framesByPts.shrink_to_fit();
        }
        rewind();
    }

    // Back to the first packet; reopens the file when the container cannot seek there.
    void rewind() {
        ++seeks;
        bool atStart = false;
        if (!packetDts.empty() && packetDts.front() != AV_NOPTS_VALUE &&
            av_seek_frame(format.get(), streamIndex, packetDts.front(), AVSEEK_FLAG_BACKWARD) >=
                0) {
            packetPending = false;
            if (readPacket()) {
                packetPending = true;
                atStart = packet->dts == packetDts.front();
            }
        }
        if (atStart) {
            avcodec_flush_buffers(codec.get());
            resetReading(0);
        } else {
            open();
        }
    }

    // Jumps to the keyframe, or reads past packets up to it when it lies close ahead. Falls back
    // to the start when the container lands anywhere else than a known keyframe.
    void jumpTo(const Keyframe& key) {
        if (key.position == 0) {
            rewind();
            return;
        }
        if (key.position > nextPosition && key.position - nextPosition <= kReadAheadLimit &&
            !drained && !draining) {
            while (nextPosition < key.position && readPacket()) ++nextPosition;
            avcodec_flush_buffers(codec.get());
            lastDelivered = -1;
            return;
        }
        ++seeks;
        const std::int64_t target =
            key.dts != AV_NOPTS_VALUE ? std::min(key.dts, key.pts) : key.pts;
        packetPending = false;
        if (av_seek_frame(format.get(), streamIndex, target, AVSEEK_FLAG_BACKWARD) >= 0) {
            // Only a keyframe at or before the wanted one is a sound place to start decoding.
            while (readPacket()) {
                if (!(packet->flags & AV_PKT_FLAG_KEY)) continue;
                const auto found = std::lower_bound(
                    keyframes.begin(), keyframes.end(), packet->dts,
                    [](const Keyframe& k, std::int64_t dts) { return k.dts < dts; });
                if (found != keyframes.end() && found->dts == packet->dts &&
                    found->position <= key.position) {
                    packetPending = true;
                    avcodec_flush_buffers(codec.get());
                    resetReading(found->position);
                    return;
                }
                break;
            }
        }
        rewind();
    }

    // The presentation index of the picture in `frame`, or nullopt when it matches no frame of
    // the scan.
    std::optional<std::int64_t> presentationIndex() {
        if (!byTimestamp) return deliveredSinceStart++;
        std::int64_t t = frame->best_effort_timestamp;
        if (t == AV_NOPTS_VALUE) t = frame->pts;
        if (t == AV_NOPTS_VALUE) return std::nullopt;
        const auto found =
            std::lower_bound(framesByPts.begin(), framesByPts.end(), t,
                             [](const FrameTime& f, std::int64_t v) { return f.pts < v; });
        if (found == framesByPts.end() || found->pts != t) return std::nullopt;
        return found - framesByPts.begin();
    }

    // Decodes until the decoder gives a picture; false at the end of the stream.
    bool nextPicture() {
        for (;;) {
            int rc = avcodec_receive_frame(codec.get(), frame.get());
            if (rc == 0) {
                ++decodedPictures;
                return true;
            }
            if (rc == AVERROR_EOF) {
                drained = true;
                return false;
            }
            if (rc != AVERROR(EAGAIN)) {
                throw MediaError("動画ファイル「" + path + "」を復号できません（" +
                                 errorString(rc) + "）。");
            }
            if (draining) {
                drained = true;
                return false;
            }
            if (!readPacket()) {
                avcodec_send_packet(codec.get(), nullptr);
                draining = true;
                continue;
            }
            ++nextPosition;
            // A damaged packet costs its own picture only; decoding goes on with the next.
            avcodec_send_packet(codec.get(), packet.get());
            av_packet_unref(packet.get());
        }
    }

    engine::PackedImage convert() {
        if (frame->width <= 0 || frame->height <= 0 || frame->width > kMaxVideoDimension ||
            frame->height > kMaxVideoDimension) {
            throw MediaError("動画ファイル「" + path + "」のフレームの大きさが不正です。");
        }
        AVPixelFormat format = static_cast<AVPixelFormat>(frame->format);
        bool fullRange = frame->color_range == AVCOL_RANGE_JPEG;
        // The "J" formats are the plain ones with full-range levels; swscale wants the range
        // said explicitly rather than implied by the format.
        switch (format) {
            case AV_PIX_FMT_YUVJ420P:
                format = AV_PIX_FMT_YUV420P;
                fullRange = true;
                break;
            case AV_PIX_FMT_YUVJ422P:
                format = AV_PIX_FMT_YUV422P;
                fullRange = true;
                break;
            case AV_PIX_FMT_YUVJ444P:
                format = AV_PIX_FMT_YUV444P;
                fullRange = true;
                break;
            case AV_PIX_FMT_YUVJ440P:
                format = AV_PIX_FMT_YUV440P;
                fullRange = true;
                break;
            case AV_PIX_FMT_YUVJ411P:
                format = AV_PIX_FMT_YUV411P;
                fullRange = true;
                break;
            default:
                break;
        }
        scaler.reset(sws_getCachedContext(scaler.release(), frame->width, frame->height, format,
                                          outputWidth, outputHeight, packedColorPixelFormat(),
                                          SWS_BICUBIC, nullptr, nullptr, nullptr));
        if (!scaler) {
            throw MediaError("動画ファイル「" + path + "」の画素形式を変換できません。");
        }
        // HD material is normally BT.709; unmarked video keeps swscale's BT.601 default.
        const int matrix = frame->colorspace == AVCOL_SPC_BT709 ? SWS_CS_ITU709 : SWS_CS_DEFAULT;
        sws_setColorspaceDetails(scaler.get(), sws_getCoefficients(matrix), fullRange ? 1 : 0,
                                 sws_getCoefficients(SWS_CS_DEFAULT), 1, 0, 1 << 16, 1 << 16);
        engine::PackedImage image(outputWidth, outputHeight);
        std::uint8_t* planes[4] = {reinterpret_cast<std::uint8_t*>(image.pixels.data()), nullptr,
                                   nullptr, nullptr};
        int strides[4] = {outputWidth * 4, 0, 0, 0};
        sws_scale(scaler.get(), frame->data, frame->linesize, 0, frame->height, planes, strides);
        // The fourth byte is padding in the source format; the packed colour wants it zero.
        for (auto& p : image.pixels) p &= 0x00FFFFFF;
        return image;
    }

    engine::PackedImage frameAt(std::int64_t index) {
        if (index < 0 || index >= frameCount) {
            throw std::out_of_range("frame index " + std::to_string(index) + " outside 0.." +
                                    std::to_string(frameCount - 1));
        }
        if (index == cachedIndex) return cached;
        // A reopen that failed half-way left nothing to read from; try again, and report.
        if (!format || !codec) {
            open();
            cachedIndex = -1;
        }
        if (byTimestamp) {
            const FrameTime& wanted = framesByPts[static_cast<std::size_t>(index)];
            // The last keyframe in decode order not after the frame and not shown after it:
            // every reference of the frame is decoded from there.
            auto it =
                std::upper_bound(keyframes.begin(), keyframes.end(), wanted.position,
                                 [](std::int64_t p, const Keyframe& k) { return p < k.position; });
            std::optional<Keyframe> start;
            while (it != keyframes.begin()) {
                --it;
                if (it->pts <= wanted.pts) {
                    start = *it;
                    break;
                }
            }
            const Keyframe key = start.value_or(Keyframe{0, 0, 0});
            if (index <= lastDelivered || drained || key.position > nextPosition) jumpTo(key);
        } else if (index <= lastDelivered || drained) {
            rewind();
        }
        return decodeUntil(index);
    }

    engine::PackedImage decodeUntil(std::int64_t index) {
        while (nextPicture()) {
            const auto shown = presentationIndex();
            if (!shown) continue;
            lastDelivered = *shown;
            // A picture the decoder never gives (damaged data) is stood in for by the next.
            if (*shown >= index) {
                cached = convert();
                cachedIndex = index;
                return cached;
            }
        }
        throw MediaError("動画ファイル「" + path + "」のフレーム " + std::to_string(index) +
                         " を読めません。");
    }
};

VideoDecoder::VideoDecoder(const std::string& path, DecoderOptions options)
    : m_path(path), m_state(std::make_unique<State>()) {
    std::error_code ec;
    const auto native = nativePath(path);
    if (!std::filesystem::exists(native, ec)) {
        throw MediaError("動画ファイル「" + path + "」が見つかりません。");
    }
    // A pipe or device would block the reader forever; only plain files are clips.
    if (!std::filesystem::is_regular_file(native, ec)) {
        throw openError(path, "通常のファイルではありません");
    }
    m_state->path = path;
    m_state->options = options;
    m_state->open();
    m_state->scan();
    m_state->seeks = 0;
}

VideoDecoder::~VideoDecoder() = default;

std::int64_t VideoDecoder::frameCount() const {
    return m_state->frameCount;
}
int VideoDecoder::sourceWidth() const {
    return m_state->sourceWidth;
}
int VideoDecoder::sourceHeight() const {
    return m_state->sourceHeight;
}
int VideoDecoder::outputWidth() const {
    return m_state->outputWidth;
}
int VideoDecoder::outputHeight() const {
    return m_state->outputHeight;
}
std::int64_t VideoDecoder::decodedPictureCount() const {
    return m_state->decodedPictures;
}
std::int64_t VideoDecoder::seekCount() const {
    return m_state->seeks;
}

engine::PackedImage VideoDecoder::frame(std::int64_t index) {
    return m_state->frameAt(index);
}

}  // namespace strobo::workfolder::media
