#include "workfolder/media/animation_writer.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <numeric>
#include <stdexcept>
#include <system_error>

#include "workfolder/media/ffmpeg_handles.h"
#include "workfolder/media/filter_library.h"

extern "C" {
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
}

namespace strobo::workfolder::media {

using namespace detail;

namespace {

constexpr int kPaletteSide = 16;
constexpr int kLargestSide = 16384;

MediaError writeError(const std::string& path, const std::string& reason);

const FilterLibrary& filters() {
    std::string reason;
    const FilterLibrary* library = filterLibrary(&reason);
    if (library == nullptr) throw writeError({}, "FFmpeg のフィルターを読み込めません: " + reason);
    return *library;
}

struct FilterGraphFree {
    void operator()(AVFilterGraph* g) const { filters().graphFree(&g); }
};
using FilterGraphPtr = std::unique_ptr<AVFilterGraph, FilterGraphFree>;

std::filesystem::path nativePath(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

MediaError writeError(const std::string& path, const std::string& reason) {
    return MediaError(MediaErrorKind::CannotWrite, path, reason);
}

void requireSize(int width, int height) {
    if (width <= 0 || height <= 0 || width > kLargestSide || height > kLargestSide) {
        throw std::invalid_argument("animation size out of range");
    }
}

// A frame that lends the picture's pixels; the buffer source copies them.
FramePtr lentFrame(const engine::PackedImage& picture) {
    FramePtr frame = makeFrame();
    frame->format = packedColorPixelFormat();
    frame->width = picture.width;
    frame->height = picture.height;
    frame->data[0] =
        const_cast<std::uint8_t*>(reinterpret_cast<const std::uint8_t*>(picture.pixels.data()));
    frame->linesize[0] = picture.width * 4;
    frame->sample_aspect_ratio = AVRational{1, 1};
    return frame;
}

AVFilterContext* bufferSource(AVFilterGraph* graph, const char* name, int width, int height,
                              AVRational timeBase) {
    const std::string args = "video_size=" + std::to_string(width) + "x" + std::to_string(height) +
                             ":pix_fmt=" + av_get_pix_fmt_name(packedColorPixelFormat()) +
                             ":time_base=" + std::to_string(timeBase.num) + "/" +
                             std::to_string(timeBase.den) + ":pixel_aspect=1/1";
    AVFilterContext* source = nullptr;
    const int rc = filters().createFilter(&source, filters().getByName("buffer"), name,
                                          args.c_str(), nullptr, graph);
    if (rc < 0) throw writeError({}, "フィルターを用意できません: " + errorString(rc));
    return source;
}

AVFilterContext* namedFilter(AVFilterGraph* graph, const char* filter, const char* name,
                             const char* args) {
    const AVFilter* kind = filters().getByName(filter);
    if (kind == nullptr) throw writeError({}, std::string("FFmpeg に ") + filter + " がありません");
    AVFilterContext* context = nullptr;
    const int rc = filters().createFilter(&context, kind, name, args, nullptr, graph);
    if (rc < 0) throw writeError({}, std::string(filter) + ": " + errorString(rc));
    return context;
}

void link(AVFilterContext* from, unsigned fromPad, AVFilterContext* to, unsigned toPad) {
    const int rc = filters().link(from, fromPad, to, toPad);
    if (rc < 0) throw writeError({}, "フィルターをつなげません: " + errorString(rc));
}

void configure(AVFilterGraph* graph) {
    const int rc = filters().configure(graph, nullptr);
    if (rc < 0) throw writeError({}, "フィルターを用意できません: " + errorString(rc));
}

void pushFrame(AVFilterContext* source, AVFrame* frame) {
    const int rc = filters().addFrame(source, frame, AV_BUFFERSRC_FLAG_KEEP_REF);
    if (rc < 0) throw writeError({}, "フィルターに渡せません: " + errorString(rc));
}

// The picture padded by repeating its last column and row to an even size, which 4:2:0 video
// needs; an even picture comes back as it is.
const engine::PackedImage& evenSized(const engine::PackedImage& picture,
                                     engine::PackedImage& padded) {
    const int w = picture.width + (picture.width % 2);
    const int h = picture.height + (picture.height % 2);
    if (w == picture.width && h == picture.height) return picture;
    if (padded.width != w || padded.height != h) padded = engine::PackedImage(w, h);
    for (int y = 0; y < h; ++y) {
        const engine::PackedColor* from = picture.row(std::min(y, picture.height - 1));
        std::copy_n(from, picture.width, padded.row(y));
        if (w > picture.width) padded.row(y)[w - 1] = from[picture.width - 1];
    }
    return padded;
}

}  // namespace

// ---------------------------------------------------------------------------------------------

struct GifPalette::State {
    int width = 0;
    int height = 0;
    FilterGraphPtr graph{filters().graphAlloc()};
    AVFilterContext* source = nullptr;
    AVFilterContext* sink = nullptr;
    std::int64_t added = 0;
};

GifPalette::GifPalette(int width, int height) : m_state(std::make_unique<State>()) {
    requireSize(width, height);
    State& s = *m_state;
    if (!s.graph) throw std::bad_alloc();
    s.width = width;
    s.height = height;
    s.source = bufferSource(s.graph.get(), "in", width, height, AVRational{1, 100});
    // Colours weighed over every picture, none kept for transparency: the pictures are opaque.
    AVFilterContext* generate = namedFilter(s.graph.get(), "palettegen", "palette",
                                            "stats_mode=full:reserve_transparent=0");
    s.sink = namedFilter(s.graph.get(), "buffersink", "out", nullptr);
    link(s.source, 0, generate, 0);
    link(generate, 0, s.sink, 0);
    configure(s.graph.get());
}

GifPalette::~GifPalette() = default;

void GifPalette::add(const engine::PackedImage& picture) {
    State& s = *m_state;
    if (picture.width != s.width || picture.height != s.height) {
        throw std::invalid_argument("picture size differs from the palette's");
    }
    FramePtr frame = lentFrame(picture);
    frame->pts = s.added++;
    pushFrame(s.source, frame.get());
}

engine::PackedImage GifPalette::finish() {
    State& s = *m_state;
    if (s.added == 0) throw writeError({}, "色を選ぶ画像がありません");
    pushFrame(s.source, nullptr);
    FramePtr palette = makeFrame();
    const int rc = filters().getFrame(s.sink, palette.get());
    if (rc < 0) throw writeError({}, "色を選べません: " + errorString(rc));
    if (palette->width != kPaletteSide || palette->height != kPaletteSide ||
        palette->format != AV_PIX_FMT_RGB32) {
        throw writeError({}, "色の表の形が違います");
    }
    // AV_PIX_FMT_RGB32 is one native-endian word per pixel, 0xAARRGGBB.
    engine::PackedImage out(kPaletteSide, kPaletteSide);
    for (int y = 0; y < kPaletteSide; ++y) {
        const auto* row =
            reinterpret_cast<const std::uint32_t*>(palette->data[0] + y * palette->linesize[0]);
        for (int x = 0; x < kPaletteSide; ++x) {
            const std::uint32_t argb = row[x];
            out.set(x, y, engine::packColor((argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF));
        }
    }
    return out;
}

// ---------------------------------------------------------------------------------------------

struct AnimationWriter::State {
    std::string path;
    std::string partPath;
    AnimationOptions options;
    OutputContextPtr format;
    CodecContextPtr codec;
    AVStream* stream = nullptr;
    PacketPtr packet = makePacket();
    std::string encoder;
    std::int64_t pictures = 0;
    std::int64_t frameDuration = 1;  // in the codec's time base
    bool finished = false;
    bool fileOpen = false;

    // GIF: pictures go through paletteuse onto the palette.
    FilterGraphPtr graph;
    AVFilterContext* source = nullptr;
    AVFilterContext* sink = nullptr;
    FramePtr filtered = makeFrame();

    // MP4: pictures are converted to the encoder's YUV.
    SwsPtr scaler;
    FramePtr picture = makeFrame();
    engine::PackedImage padded;

    void writePendingPackets() {
        for (;;) {
            const int rc = avcodec_receive_packet(codec.get(), packet.get());
            if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) return;
            if (rc < 0) throw writeError(path, "圧縮に失敗しました: " + errorString(rc));
            if (packet->duration <= 0) packet->duration = frameDuration;
            av_packet_rescale_ts(packet.get(), codec->time_base, stream->time_base);
            packet->stream_index = stream->index;
            const int wrc = av_interleaved_write_frame(format.get(), packet.get());
            if (wrc < 0) throw writeError(path, errorString(wrc));
        }
    }

    void sendFrame(AVFrame* frame) {
        const int rc = avcodec_send_frame(codec.get(), frame);
        if (rc < 0) throw writeError(path, "圧縮に失敗しました: " + errorString(rc));
        writePendingPackets();
    }

    void drainFilter() {
        for (;;) {
            const int rc = filters().getFrame(sink, filtered.get());
            if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) return;
            if (rc < 0) throw writeError(path, "色を減らせません: " + errorString(rc));
            filtered->pict_type = AV_PICTURE_TYPE_NONE;
            sendFrame(filtered.get());
            av_frame_unref(filtered.get());
        }
    }

    void openGif() {
        const AVCodec* gif = avcodec_find_encoder(AV_CODEC_ID_GIF);
        if (gif == nullptr) throw writeError(path, "FFmpeg に GIF の圧縮器がありません");
        codec.reset(avcodec_alloc_context3(gif));
        if (!codec) throw std::bad_alloc();
        AVCodecContext* c = codec.get();
        c->width = options.width;
        c->height = options.height;
        c->pix_fmt = AV_PIX_FMT_PAL8;
        // GIF counts its delays in hundredths of a second.
        c->time_base = AVRational{1, 100};
        frameDuration = std::max(1, options.pictureMilliseconds / 10);
        const int rc = avcodec_open2(c, gif, nullptr);
        if (rc < 0) throw writeError(path, "圧縮器を開けません: " + errorString(rc));
        encoder = gif->name;

        if (options.palette.width != kPaletteSide || options.palette.height != kPaletteSide) {
            throw std::invalid_argument("a GIF needs a 16 x 16 palette");
        }
        graph.reset(filters().graphAlloc());
        if (!graph) throw std::bad_alloc();
        source = bufferSource(graph.get(), "in", options.width, options.height, c->time_base);
        AVFilterContext* paletteSource =
            bufferSource(graph.get(), "palette", kPaletteSide, kPaletteSide, c->time_base);
        AVFilterContext* use = namedFilter(graph.get(), "paletteuse", "use", "dither=sierra2_4a");
        sink = namedFilter(graph.get(), "buffersink", "out", nullptr);
        link(source, 0, use, 0);
        link(paletteSource, 0, use, 1);
        link(use, 0, sink, 0);
        configure(graph.get());
        // One palette serves every picture: paletteuse keeps the last one it was given.
        FramePtr palette = lentFrame(options.palette);
        palette->pts = 0;
        pushFrame(paletteSource, palette.get());
        pushFrame(paletteSource, nullptr);
    }

    bool tryOpenVideoEncoder(const AVCodec* candidate) {
        CodecContextPtr context(avcodec_alloc_context3(candidate));
        if (!context) throw std::bad_alloc();
        AVCodecContext* c = context.get();
        c->width = options.width + (options.width % 2);
        c->height = options.height + (options.height % 2);
        c->pix_fmt = AV_PIX_FMT_YUV420P;
        const int gcd = std::gcd(options.pictureMilliseconds, 1000);
        c->time_base = AVRational{options.pictureMilliseconds / gcd, 1000 / gcd};
        c->framerate = AVRational{c->time_base.den, c->time_base.num};
        c->gop_size = 12;
        c->sample_aspect_ratio = AVRational{1, 1};
        if (format->oformat->flags & AVFMT_GLOBALHEADER) c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        DictionaryGuard settings;
        if (candidate->id == AV_CODEC_ID_H264) {
            // Pictures that are mostly still: a low constant rate factor keeps them sharp.
            av_dict_set(&settings.dictionary, "crf", "18", 0);
            av_dict_set(&settings.dictionary, "preset", "medium", 0);
        } else {
            c->flags |= AV_CODEC_FLAG_QSCALE;
            c->global_quality = FF_QP2LAMBDA * 3;
        }
        if (avcodec_open2(c, candidate, &settings.dictionary) < 0) return false;
        codec = std::move(context);
        frameDuration = 1;
        encoder = candidate->name;
        return true;
    }

    void openMp4() {
        // H.264 through libx264 plays everywhere; FFmpeg's own MPEG-4 part 2 is always there.
        const AVCodec* candidates[] = {avcodec_find_encoder_by_name("libx264"),
                                       avcodec_find_encoder(AV_CODEC_ID_MPEG4)};
        bool opened = false;
        for (const AVCodec* candidate : candidates) {
            if (candidate != nullptr && tryOpenVideoEncoder(candidate)) {
                opened = true;
                break;
            }
        }
        if (!opened) throw writeError(path, "FFmpeg に使える動画の圧縮器がありません");
        AVCodecContext* c = codec.get();
        picture->format = c->pix_fmt;
        picture->width = c->width;
        picture->height = c->height;
        if (av_frame_get_buffer(picture.get(), 0) < 0) throw std::bad_alloc();
        scaler.reset(sws_getContext(c->width, c->height, packedColorPixelFormat(), c->width,
                                    c->height, c->pix_fmt, SWS_BICUBIC | SWS_ACCURATE_RND, nullptr,
                                    nullptr, nullptr));
        if (!scaler) throw writeError(path, "画素形式を変換できません");
    }
};

AnimationWriter::AnimationWriter(const std::string& path, const AnimationOptions& options)
    : m_state(std::make_unique<State>()) {
    requireSize(options.width, options.height);
    if (options.pictureMilliseconds < 10 || options.pictureMilliseconds > 60000) {
        throw std::invalid_argument("picture duration out of range");
    }
    State& s = *m_state;
    s.path = path;
    s.partPath = path + ".part";
    s.options = options;
    const char* container = options.format == AnimationFormat::Gif ? "gif" : "mp4";
    AVFormatContext* raw = nullptr;
    if (avformat_alloc_output_context2(&raw, nullptr, container, nullptr) < 0 || !raw) {
        throw writeError(path, std::string("FFmpeg に ") + container + " の書き出しがありません");
    }
    s.format.reset(raw);
    try {
        if (options.format == AnimationFormat::Gif) {
            s.openGif();
        } else {
            s.openMp4();
        }
    } catch (const MediaError& error) {
        // The filters' errors are raised before the file is known to them.
        if (error.file().empty()) throw writeError(path, error.detail());
        throw;
    }

    s.stream = avformat_new_stream(s.format.get(), nullptr);
    if (s.stream == nullptr) throw std::bad_alloc();
    s.stream->time_base = s.codec->time_base;
    s.stream->avg_frame_rate =
        av_inv_q(av_mul_q(s.codec->time_base, AVRational{static_cast<int>(s.frameDuration), 1}));
    int rc = avcodec_parameters_from_context(s.stream->codecpar, s.codec.get());
    if (rc < 0) throw writeError(path, errorString(rc));

    // The muxer reopens the file by this name to move the MP4 index to the front.
    s.format->url = av_strdup(fileUrl(s.partPath).c_str());
    if (s.format->url == nullptr) throw std::bad_alloc();
    rc = avio_open(&s.format->pb, s.format->url, AVIO_FLAG_WRITE);
    if (rc < 0) throw writeError(path, errorString(rc));
    s.fileOpen = true;
    DictionaryGuard muxing;
    if (options.format == AnimationFormat::Gif) {
        av_dict_set(&muxing.dictionary, "loop", "0", 0);
        av_dict_set_int(&muxing.dictionary, "final_delay",
                        std::max(1, options.lastPictureMilliseconds / 10), 0);
    } else {
        // The index goes first, so that a browser plays the file while it downloads.
        av_dict_set(&muxing.dictionary, "movflags", "+faststart", 0);
    }
    rc = avformat_write_header(s.format.get(), &muxing.dictionary);
    if (rc < 0) throw writeError(path, errorString(rc));
}

AnimationWriter::~AnimationWriter() {
    if (m_state && !m_state->finished && m_state->fileOpen) {
        m_state->format.reset();
        std::error_code ec;
        std::filesystem::remove(nativePath(m_state->partPath), ec);
    }
}

void AnimationWriter::addPicture(const engine::PackedImage& picture) {
    State& s = *m_state;
    if (s.finished) throw std::logic_error("animation already finished");
    if (picture.width != s.options.width || picture.height != s.options.height) {
        throw std::invalid_argument("picture size differs from the animation's");
    }
    const std::int64_t pts = s.pictures * s.frameDuration;
    if (s.options.format == AnimationFormat::Gif) {
        FramePtr frame = lentFrame(picture);
        frame->pts = pts;
        try {
            pushFrame(s.source, frame.get());
        } catch (const MediaError& error) {
            throw writeError(s.path, error.detail());
        }
        s.drainFilter();
    } else {
        const engine::PackedImage& even = evenSized(picture, s.padded);
        if (av_frame_make_writable(s.picture.get()) < 0) throw std::bad_alloc();
        const std::uint8_t* source[4] = {reinterpret_cast<const std::uint8_t*>(even.pixels.data()),
                                         nullptr, nullptr, nullptr};
        const int stride[4] = {even.width * 4, 0, 0, 0};
        sws_scale(s.scaler.get(), source, stride, 0, even.height, s.picture->data,
                  s.picture->linesize);
        s.picture->pts = pts;
        s.sendFrame(s.picture.get());
    }
    ++s.pictures;
}

void AnimationWriter::finish() {
    State& s = *m_state;
    if (s.finished) return;
    if (s.options.format == AnimationFormat::Gif) {
        try {
            pushFrame(s.source, nullptr);
        } catch (const MediaError& error) {
            throw writeError(s.path, error.detail());
        }
        s.drainFilter();
    }
    s.sendFrame(nullptr);
    int rc = av_write_trailer(s.format.get());
    if (rc < 0) throw writeError(s.path, errorString(rc));
    rc = avio_closep(&s.format->pb);
    if (rc < 0) throw writeError(s.path, errorString(rc));
    std::error_code ec;
    std::filesystem::rename(nativePath(s.partPath), nativePath(s.path), ec);
    if (ec) throw MediaError(MediaErrorKind::CannotWrite, s.path, {}, ec.message());
    s.finished = true;
}

std::int64_t AnimationWriter::picturesWritten() const {
    return m_state->pictures;
}

const std::string& AnimationWriter::encoderName() const {
    return m_state->encoder;
}

}  // namespace strobo::workfolder::media
