#include "workfolder/media/video_decoder.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <iterator>
#include <limits>
#include <list>
#include <mutex>
#include <optional>
#include <set>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "workfolder/media/ffmpeg_handles.h"

extern "C" {
#include <libavutil/avstring.h>
#include <libavutil/display.h>
#include <libavutil/pixdesc.h>
}

namespace strobo::workfolder::media {

using namespace detail;

namespace {

using Clock = std::chrono::steady_clock;

// A keyframe this many packets ahead is reached by reading and dropping packets, which costs
// no decoding; one further ahead by a seek in the container.
constexpr std::int64_t kReadAheadLimit = 512;

// Formats that are descriptions of other files or streams rather than video: reading them
// would open further files (which io_open refuses anyway, but some open them through a
// context of their own), wait for a live playlist to grow, or run a script.
constexpr const char* kRefusedFormats =
    "hls,dash,concat,imf,image2,vobsub,sdp,rtsp,rtp,avisynth,vapoursynth";

std::filesystem::path nativePath(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

// FFmpeg passes the system's errno values through as AVERROR(e); its own codes are tags far
// outside that range.
bool isSystemError(int rc) {
    return rc < 0 && rc > -4096;
}

std::string systemReason(int rc) {
    return std::system_category().message(-rc);
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

// Where a source pixel (x, y) lands on the upright picture: (a·x + c·y, b·x + d·y), shifted
// back into the picture. Each factor is -1, 0 or 1; the same convention as FFmpeg's display
// matrix, so the frames come out as `ffmpeg` shows them.
struct Orientation {
    int a = 1;
    int b = 0;
    int c = 0;
    int d = 1;
    bool swapsAxes() const { return a == 0; }
    bool isIdentity() const { return a == 1 && b == 0 && c == 0 && d == 1; }
};

// The quarter turn or flip a display matrix stands for; nullopt for any other transformation
// (a free angle, a shear), which is left alone rather than guessed at.
std::optional<Orientation> orientationOf(const std::int32_t* matrix) {
    const double v[4] = {static_cast<double>(matrix[0]), static_cast<double>(matrix[1]),
                         static_cast<double>(matrix[3]), static_cast<double>(matrix[4])};
    double scale = 0;
    for (const double x : v) scale = std::max(scale, std::fabs(x));
    if (scale <= 0) return std::nullopt;
    int q[4];
    for (int i = 0; i < 4; ++i) {
        const double r = v[i] / scale;
        q[i] = static_cast<int>(std::lround(r));
        // About one degree off a right angle still counts as one.
        if (std::fabs(r - q[i]) > 0.02) return std::nullopt;
    }
    const Orientation o{q[0], q[1], q[2], q[3]};
    const bool straight = o.a != 0 && o.d != 0 && o.b == 0 && o.c == 0;
    const bool turned = o.a == 0 && o.d == 0 && o.b != 0 && o.c != 0;
    if (!straight && !turned) return std::nullopt;
    return o;
}

// The older "rotate" tag: degrees clockwise.
std::optional<Orientation> orientationOfTag(const char* text) {
    char* end = nullptr;
    const long degrees = std::strtol(text, &end, 10);
    if (end == text || *end != '\0') return std::nullopt;
    switch (((degrees % 360) + 360) % 360) {
        case 0:
            return Orientation{};
        case 90:
            return Orientation{0, 1, -1, 0};
        case 180:
            return Orientation{-1, 0, 0, -1};
        case 270:
            return Orientation{0, -1, 1, 0};
        default:
            return std::nullopt;
    }
}

const std::int32_t* displayMatrix(const AVStream* stream) {
#if LIBAVFORMAT_VERSION_MAJOR >= 61
    const AVPacketSideData* side =
        av_packet_side_data_get(stream->codecpar->coded_side_data,
                                stream->codecpar->nb_coded_side_data, AV_PKT_DATA_DISPLAYMATRIX);
    if (side == nullptr || side->size < 9 * sizeof(std::int32_t)) return nullptr;
    return reinterpret_cast<const std::int32_t*>(side->data);
#else
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    std::size_t size = 0;
    const std::uint8_t* data = av_stream_get_side_data(stream, AV_PKT_DATA_DISPLAYMATRIX, &size);
#pragma GCC diagnostic pop
    if (data == nullptr || size < 9 * sizeof(std::int32_t)) return nullptr;
    return reinterpret_cast<const std::int32_t*>(data);
#endif
}

Orientation streamOrientation(const AVStream* stream) {
    if (const std::int32_t* matrix = displayMatrix(stream)) {
        return orientationOf(matrix).value_or(Orientation{});
    }
    if (const AVDictionaryEntry* tag = av_dict_get(stream->metadata, "rotate", nullptr, 0)) {
        return orientationOfTag(tag->value).value_or(Orientation{});
    }
    return {};
}

// Reads packed colours with the fourth byte cleared, so that a vector is built from them in one
// pass.
class ColourBytes {
  public:
    using iterator_category = std::random_access_iterator_tag;
    using value_type = engine::PackedColor;
    using difference_type = std::ptrdiff_t;
    using pointer = const engine::PackedColor*;
    using reference = engine::PackedColor;

    explicit ColourBytes(const engine::PackedColor* at) : m_at(at) {}
    engine::PackedColor operator*() const { return *m_at & 0x00FFFFFF; }
    ColourBytes& operator++() {
        ++m_at;
        return *this;
    }
    ColourBytes operator++(int) {
        ColourBytes before = *this;
        ++m_at;
        return before;
    }
    ColourBytes& operator--() {
        --m_at;
        return *this;
    }
    ColourBytes& operator+=(difference_type n) {
        m_at += n;
        return *this;
    }
    difference_type operator-(const ColourBytes& other) const { return m_at - other.m_at; }
    bool operator==(const ColourBytes& other) const { return m_at == other.m_at; }

  private:
    const engine::PackedColor* m_at;
};

// Turns a decoded picture into a packed one: colour conversion and scaling in swscale, then
// the turn. Used by one thread at a time.
class PictureConverter {
  public:
    PictureConverter(std::string path, Orientation orientation, int scaledWidth, int scaledHeight,
                     int outputWidth, int outputHeight)
        : m_path(std::move(path)),
          m_orientation(orientation),
          m_scaledWidth(scaledWidth),
          m_scaledHeight(scaledHeight),
          m_outputWidth(outputWidth),
          m_outputHeight(outputHeight) {}

    engine::PackedImage convert(const AVFrame& frame, std::int64_t index) {
        if (frame.width <= 0 || frame.height <= 0 || frame.width > kMaxVideoDimension ||
            frame.height > kMaxVideoDimension) {
            throw MediaError(
                MediaErrorKind::Damaged, m_path,
                "picture " + std::to_string(frame.width) + "x" + std::to_string(frame.height), {},
                index);
        }
        AVPixelFormat pixelFormat = static_cast<AVPixelFormat>(frame.format);
        bool fullRange = frame.color_range == AVCOL_RANGE_JPEG;
        // The "J" formats are the plain ones with full-range levels; swscale wants the range
        // said explicitly rather than implied by the format.
        switch (pixelFormat) {
            case AV_PIX_FMT_YUVJ420P:
                pixelFormat = AV_PIX_FMT_YUV420P;
                fullRange = true;
                break;
            case AV_PIX_FMT_YUVJ422P:
                pixelFormat = AV_PIX_FMT_YUV422P;
                fullRange = true;
                break;
            case AV_PIX_FMT_YUVJ444P:
                pixelFormat = AV_PIX_FMT_YUV444P;
                fullRange = true;
                break;
            case AV_PIX_FMT_YUVJ440P:
                pixelFormat = AV_PIX_FMT_YUV440P;
                fullRange = true;
                break;
            case AV_PIX_FMT_YUVJ411P:
                pixelFormat = AV_PIX_FMT_YUV411P;
                fullRange = true;
                break;
            default:
                break;
        }
        // The matrix the clip is marked with (BT.709 for HD, BT.2020 for phones' HDR video),
        // as ffmpeg's scaler picks it; unmarked video keeps swscale's BT.601 default. swscale
        // numbers the matrices as FFmpeg's colour spaces, YCgCo (8) aside.
        int matrix = frame.colorspace;
        if (matrix < AVCOL_SPC_BT709 || matrix > AVCOL_SPC_BT2020_CL || matrix == AVCOL_SPC_YCGCO) {
            matrix = SWS_CS_DEFAULT;
        }
        const int* coefficients = sws_getCoefficients(matrix);
        const auto unsupported = [&](AVPixelFormat format) {
            const char* name = av_get_pix_fmt_name(format);
            return MediaError(MediaErrorKind::Unsupported, m_path,
                              std::string("pixel format ") + (name ? name : "?"), {}, index);
        };

        // A video of another size is scaled as YUV first and turned into colours at its new
        // size, as ffmpeg's filters do: swscale's vectorised paths make that far cheaper than
        // scaling straight into packed colours, and the picture is the same to the eye. A
        // picture made smaller is averaged over the area each new pixel covers, which is both
        // cheaper and closer to the full picture than bicubic; a larger one is bicubic.
        const AVFrame* source = &frame;
        const bool resized = frame.width != m_scaledWidth || frame.height != m_scaledHeight;
        if (resized && isYuv(pixelFormat)) {
            if (!m_resized) m_resized = resizedPicture(m_scaledWidth, m_scaledHeight);
            const ContextKey key{frame.width, frame.height, pixelFormat, fullRange, matrix};
            if (!m_resizer || key != m_resizerKey) {
                const bool smaller = m_scaledWidth <= frame.width && m_scaledHeight <= frame.height;
                m_resizer.reset(sws_getCachedContext(
                    m_resizer.release(), frame.width, frame.height, pixelFormat, m_scaledWidth,
                    m_scaledHeight, kResizedFormat, smaller ? SWS_AREA : SWS_BICUBIC, nullptr,
                    nullptr, nullptr));
                if (!m_resizer) throw unsupported(pixelFormat);
                // Only the size changes here: the levels and the matrix stay the clip's.
                sws_setColorspaceDetails(m_resizer.get(), coefficients, fullRange ? 1 : 0,
                                         coefficients, fullRange ? 1 : 0, 0, 1 << 16, 1 << 16);
                m_resizerKey = key;
            }
            sws_scale(m_resizer.get(), frame.data, frame.linesize, 0, frame.height, m_resized->data,
                      m_resized->linesize);
            source = m_resized.get();
            pixelFormat = kResizedFormat;
        }
        const ContextKey key{source->width, source->height, pixelFormat, fullRange, matrix};
        if (!m_scaler || key != m_scalerKey) {
            m_scaler.reset(sws_getCachedContext(
                m_scaler.release(), source->width, source->height, pixelFormat, m_scaledWidth,
                m_scaledHeight, packedColorPixelFormat(), SWS_BICUBIC, nullptr, nullptr, nullptr));
            if (!m_scaler) throw unsupported(pixelFormat);
            sws_setColorspaceDetails(m_scaler.get(), coefficients, fullRange ? 1 : 0,
                                     sws_getCoefficients(SWS_CS_DEFAULT), 1, 0, 1 << 16, 1 << 16);
            m_scalerKey = key;
        }
        // swscale writes into a picture kept from one frame to the next; the delivered one is
        // made from it in one pass, which also clears the fourth byte: padding in swscale's
        // format, zero in the packed colour.
        if (m_staging.width != m_scaledWidth || m_staging.height != m_scaledHeight) {
            m_staging = engine::PackedImage(m_scaledWidth, m_scaledHeight);
        }
        std::uint8_t* planes[4] = {reinterpret_cast<std::uint8_t*>(m_staging.pixels.data()),
                                   nullptr, nullptr, nullptr};
        int strides[4] = {m_scaledWidth * 4, 0, 0, 0};
        sws_scale(m_scaler.get(), source->data, source->linesize, 0, source->height, planes,
                  strides);
        if (m_orientation.isIdentity()) {
            engine::PackedImage image;
            image.width = m_outputWidth;
            image.height = m_outputHeight;
            const engine::PackedColor* staged = m_staging.pixels.data();
            image.pixels.assign(ColourBytes(staged), ColourBytes(staged + m_staging.pixels.size()));
            return image;
        }
        engine::PackedImage image(m_outputWidth, m_outputHeight);
        turnInto(m_staging, image);
        return image;
    }

  private:
    static constexpr AVPixelFormat kResizedFormat = AV_PIX_FMT_YUV420P;

    // What a scaling context was made for. Once it has been told the levels and the matrix,
    // sws_getCachedContext no longer recognises it as the one asked for and builds it afresh,
    // filters and all, for every picture: the contexts are kept here instead while the
    // pictures stay alike.
    struct ContextKey {
        int width = 0;
        int height = 0;
        AVPixelFormat format = AV_PIX_FMT_NONE;
        bool fullRange = false;
        int matrix = 0;
        bool operator==(const ContextKey&) const = default;
    };

    static bool isYuv(AVPixelFormat format) {
        const AVPixFmtDescriptor* d = av_pix_fmt_desc_get(format);
        return d != nullptr && d->nb_components >= 3 &&
               !(d->flags & (AV_PIX_FMT_FLAG_RGB | AV_PIX_FMT_FLAG_PAL | AV_PIX_FMT_FLAG_HWACCEL |
                             AV_PIX_FMT_FLAG_BAYER));
    }

    static FramePtr resizedPicture(int width, int height) {
        FramePtr picture = makeFrame();
        picture->format = kResizedFormat;
        picture->width = width;
        picture->height = height;
        if (av_frame_get_buffer(picture.get(), 0) < 0) throw std::bad_alloc();
        return picture;
    }

    // Puts every pixel of `from` where the orientation sends it in `to`, clearing the padding.
    void turnInto(const engine::PackedImage& from, engine::PackedImage& to) const {
        const Orientation& o = m_orientation;
        const std::int64_t w = from.width;
        const std::int64_t h = from.height;
        const std::int64_t x0 = (o.a < 0 ? w - 1 : 0) + (o.c < 0 ? h - 1 : 0);
        const std::int64_t y0 = (o.b < 0 ? w - 1 : 0) + (o.d < 0 ? h - 1 : 0);
        const std::int64_t stride = to.width;
        const std::int64_t step = o.b * stride + o.a;  // moving one pixel right in `from`
        for (std::int64_t y = 0; y < h; ++y) {
            const engine::PackedColor* source = from.row(static_cast<int>(y));
            std::int64_t at = (y0 + o.d * y) * stride + (x0 + o.c * y);
            for (std::int64_t x = 0; x < w; ++x, at += step) {
                to.pixels[static_cast<std::size_t>(at)] = source[x] & 0x00FFFFFF;
            }
        }
    }

    std::string m_path;
    Orientation m_orientation;
    int m_scaledWidth;
    int m_scaledHeight;
    int m_outputWidth;
    int m_outputHeight;
    SwsPtr m_resizer;
    ContextKey m_resizerKey;
    FramePtr m_resized;
    SwsPtr m_scaler;
    ContextKey m_scalerKey;
    engine::PackedImage m_staging;
};

// Converts pictures on a thread of its own, one after another in the order they are handed
// over, so that decoding the next picture overlaps with converting this one. The decoder hands
// over at most two before it takes one, so memory stays at a few pictures.
class ConversionThread {
  public:
    // `fullSize`, when given, converts the pictures asked for at the display size as well;
    // without it those are the ones `converter` gives, already at that size.
    ConversionThread(PictureConverter converter, std::optional<PictureConverter> fullSize)
        : m_converter(std::move(converter)),
          m_fullSize(std::move(fullSize)),
          m_thread([this] { run(); }) {}
    ~ConversionThread() {
        {
            std::lock_guard lock(m_mutex);
            m_quit = true;
        }
        m_changed.notify_all();
        m_thread.join();
    }
    ConversionThread(const ConversionThread&) = delete;
    ConversionThread& operator=(const ConversionThread&) = delete;

    void submit(std::int64_t index, FramePtr picture, bool withFullSize) {
        {
            std::lock_guard lock(m_mutex);
            m_jobs.push_back(Job{index, std::move(picture), withFullSize, {}, {}, nullptr, false});
        }
        m_changed.notify_all();
    }

    // Waits for the picture handed over as `index` and gives it, or throws what converting
    // it threw; with `fullSize` given, the picture at the display size too (when the job was
    // handed over with it).
    engine::PackedImage take(std::int64_t index, engine::PackedImage* fullSize = nullptr) {
        std::unique_lock lock(m_mutex);
        for (;;) {
            const auto job = find(index);
            if (job == m_jobs.end()) throw std::logic_error("picture never handed over");
            if (job->done) {
                Job taken = std::move(*job);
                m_jobs.erase(job);
                lock.unlock();
                if (taken.failure) std::rethrow_exception(taken.failure);
                if (fullSize != nullptr) *fullSize = std::move(taken.fullSizeResult);
                return std::move(taken.result);
            }
            m_changed.wait(lock);
        }
    }

    // The picture handed over as `index` is no longer wanted.
    void forget(std::int64_t index) {
        std::lock_guard lock(m_mutex);
        if (const auto job = find(index); job != m_jobs.end()) dropLocked(job);
    }

    void forgetAll() {
        std::lock_guard lock(m_mutex);
        for (auto job = m_jobs.begin(); job != m_jobs.end();) dropLocked(job++);
    }

  private:
    struct Job {
        std::int64_t index;
        FramePtr picture;
        bool withFullSize;
        engine::PackedImage result;
        engine::PackedImage fullSizeResult;
        std::exception_ptr failure;
        bool done;
    };

    std::list<Job>::iterator find(std::int64_t index) {
        return std::find_if(m_jobs.begin(), m_jobs.end(),
                            [index](const Job& job) { return job.index == index; });
    }

    // The job under conversion stays until its converter is done with it, and is dropped then.
    void dropLocked(std::list<Job>::iterator job) {
        if (&*job == m_working) {
            m_dropWorking = true;
        } else {
            m_jobs.erase(job);
        }
    }

    void run() {
        std::unique_lock lock(m_mutex);
        for (;;) {
            const auto next = std::find_if(m_jobs.begin(), m_jobs.end(),
                                           [](const Job& job) { return !job.done; });
            if (m_quit) return;
            if (next == m_jobs.end()) {
                m_changed.wait(lock);
                continue;
            }
            m_working = &*next;
            m_dropWorking = false;
            lock.unlock();
            try {
                next->result = m_converter.convert(*next->picture, next->index);
                if (next->withFullSize) {
                    next->fullSizeResult = m_fullSize
                                               ? m_fullSize->convert(*next->picture, next->index)
                                               : next->result;
                }
            } catch (...) {
                next->failure = std::current_exception();
            }
            next->picture.reset();
            lock.lock();
            m_working = nullptr;
            if (m_dropWorking) {
                m_jobs.erase(next);
            } else {
                next->done = true;
            }
            m_changed.notify_all();
        }
    }

    PictureConverter m_converter;
    std::optional<PictureConverter> m_fullSize;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    // A list, so that the job under conversion stays in place while others come and go.
    std::list<Job> m_jobs;
    const Job* m_working = nullptr;
    bool m_dropWorking = false;
    bool m_quit = false;
    std::thread m_thread;
};

// A picture the decoder gave, as a reference of its own.
struct DecodedPicture {
    std::int64_t index = -1;
    FramePtr picture;
    // Its conversion was asked for at the display size as well.
    bool withFullSize = false;
};

FramePtr referenceTo(const AVFrame& picture) {
    FramePtr reference(av_frame_clone(&picture));
    if (!reference) throw std::bad_alloc();
    return reference;
}

}  // namespace

void fitWithin(int width, int height, int maxWidth, int maxHeight, int* outWidth, int* outHeight) {
    if (maxWidth <= 0 || maxHeight <= 0 || (width <= maxWidth && height <= maxHeight)) {
        *outWidth = width;
        *outHeight = height;
        return;
    }
    scaleToFit(width, height, maxWidth, maxHeight, outWidth, outHeight);
}

void scaleToFit(int width, int height, int boxWidth, int boxHeight, int* outWidth, int* outHeight) {
    if (boxWidth <= 0 || boxHeight <= 0 || (width == boxWidth && height <= boxHeight) ||
        (height == boxHeight && width <= boxWidth)) {
        *outWidth = width;
        *outHeight = height;
        return;
    }
    const double scale =
        std::min(static_cast<double>(boxWidth) / width, static_cast<double>(boxHeight) / height);
    *outWidth = std::clamp(static_cast<int>(std::lround(width * scale)), 1, boxWidth);
    *outHeight = std::clamp(static_cast<int>(std::lround(height * scale)), 1, boxHeight);
}

struct VideoDecoder::State {
    std::string path;
    DecoderOptions options;

    // The file is opened here and lent to the format context, so that its format can be
    // checked before any reader starts on it; it outlives the context.
    IoContextPtr io;
    InputContextPtr format;
    CodecContextPtr codec;
    FramePtr frame = makeFrame();
    PacketPtr packet = makePacket();
    bool packetPending = false;  // `packet` was read while checking a seek and is still unsent
    int streamIndex = -1;
    AVRational timeBase{0, 1};
    AVRational frameRate{0, 1};

    // The bound of the operation under way, and what the interrupt callback saw.
    Clock::time_point deadline = Clock::time_point::max();
    bool stopSeen = false;
    bool timeSeen = false;
    bool furtherFileRefused = false;
    std::string formatName;  // FFmpeg's name for the file's format, once probed
    std::vector<std::pair<int, int>> declaredSizes;  // per stream, as the headers say

    int sourceWidth = 0;
    int sourceHeight = 0;
    int displayWidth = 0;
    int displayHeight = 0;
    Orientation orientation;
    // swscale's output, before the turn; the delivered size is this with the axes swapped when
    // the orientation swaps them.
    int scaledWidth = 0;
    int scaledHeight = 0;
    int outputWidth = 0;
    int outputHeight = 0;

    // From the scan. The shown frames sorted by presentation time when every one has a
    // distinct one, else empty; `countedTimes` then holds their sorted decode times when known.
    std::int64_t packetCount = 0;
    std::int64_t firstDts = AV_NOPTS_VALUE;
    std::vector<FrameTime> framesByPts;
    std::vector<std::int64_t> countedTimes;
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

    // The picture last delivered, kept to be converted again when asked for again, and the one
    // decoded ahead of its request, already being converted.
    DecodedPicture kept;
    DecodedPicture ahead;
    std::exception_ptr aheadFailure;
    std::int64_t aheadFailureIndex = -1;
    std::int64_t lastRequested = -1;
    std::int64_t decodedPictures = 0;
    std::int64_t seeks = 0;
    // Last, so that it stops before the pictures it converts are freed.
    std::unique_ptr<ConversionThread> conversions;

    // Sets the bound of one operation for its lifetime.
    class Operation {
      public:
        explicit Operation(State& state) : m_state(state) {
            m_state.stopSeen = false;
            m_state.timeSeen = false;
            m_state.deadline = Clock::now() + m_state.options.timeLimit;
        }
        ~Operation() { m_state.deadline = Clock::time_point::max(); }
        Operation(const Operation&) = delete;
        Operation& operator=(const Operation&) = delete;

      private:
        State& m_state;
    };

    MediaError error(MediaErrorKind kind, std::string detail = {}, std::string osReason = {},
                     std::int64_t frameIndex = -1) const {
        return MediaError(kind, path, std::move(detail), std::move(osReason), frameIndex);
    }

    bool mustStop() noexcept {
        if (options.stopRequested) {
            bool stop = true;
            try {
                stop = options.stopRequested();
            } catch (...) {
                // A caller's check that fails cannot say "go on".
            }
            if (stop) {
                stopSeen = true;
                return true;
            }
        }
        if (Clock::now() > deadline) {
            timeSeen = true;
            return true;
        }
        return false;
    }

    static int interrupt(void* opaque) noexcept {
        return static_cast<State*>(opaque)->mustStop() ? 1 : 0;
    }

    // Any file the reader wants besides the clip: a segment, a referenced track, the next
    // picture of a pattern.
    static int refuseFurtherFile(AVFormatContext* context, AVIOContext**, const char*, int,
                                 AVDictionary**) {
        static_cast<State*>(context->opaque)->furtherFileRefused = true;
        return AVERROR(EPERM);
    }

    // Throws for a stop, a timeout or a refused further file seen during the FFmpeg call that
    // just failed or returned.
    void throwIfStopped() const {
        if (stopSeen) throw error(MediaErrorKind::Interrupted);
        if (timeSeen) throw error(MediaErrorKind::TimedOut);
        if (furtherFileRefused) {
            throw error(MediaErrorKind::Refused, formatName);
        }
    }

    void checkpoint() {
        if (mustStop()) throwIfStopped();
    }

    [[noreturn]] void fail(MediaErrorKind kind, int rc) const {
        throwIfStopped();
        // The system's own reasons for not reading a file; other errno values (EINVAL above
        // all) are what readers return for data they cannot make sense of.
        switch (isSystemError(rc) ? -rc : 0) {
            case ENOENT:
                throw error(MediaErrorKind::NotFound, {}, systemReason(rc));
            case EISDIR:
                throw error(MediaErrorKind::NotAFile, {}, systemReason(rc));
            case EACCES:
            case EPERM:
            case EIO:
            case ENXIO:
            case ENODEV:
            case EBADF:
            case ESTALE:
            case ETIMEDOUT:
                throw error(MediaErrorKind::Unreadable, {}, systemReason(rc));
            default:
                throw error(kind, errorString(rc));
        }
    }

    void closeReader() {
        format.reset();
        io.reset();
        codec.reset();
        packetPending = false;
    }

    void openFile() {
        closeReader();
        furtherFileRefused = false;
        const std::string url = fileUrl(path);
        const AVIOInterruptCB callback{&State::interrupt, this};

        DictionaryGuard ioOptions;
        // Only the local file itself: no name is taken for a network or device address.
        av_dict_set(&ioOptions.dictionary, "protocol_whitelist", "file", 0);
        AVIOContext* rawIo = nullptr;
        int rc = avio_open2(&rawIo, url.c_str(), AVIO_FLAG_READ, &callback, &ioOptions.dictionary);
        if (rc < 0) fail(MediaErrorKind::Unreadable, rc);
        io.reset(rawIo);
        if (avio_size(io.get()) == 0) throw error(MediaErrorKind::Damaged, "0 bytes");

        const AVInputFormat* inputFormat = nullptr;
        rc = av_probe_input_buffer2(io.get(), &inputFormat, url.c_str(), nullptr, 0, 0);
        if (rc < 0 || inputFormat == nullptr) fail(MediaErrorKind::Unsupported, rc);
        // Below this FFmpeg went by the name alone: the content is nothing it knows, so a
        // failure to read it is no sign of damage.
        const bool recognised = rc >= AVPROBE_SCORE_EXTENSION;
        formatName = inputFormat->name;
        if (inputFormat->long_name != nullptr) {
            formatName += " (" + std::string(inputFormat->long_name) + ")";
        }
        if (av_match_list(inputFormat->name, kRefusedFormats, ',') > 0) {
            throw error(MediaErrorKind::Refused, formatName);
        }

        AVFormatContext* raw = avformat_alloc_context();
        if (raw == nullptr) throw std::bad_alloc();
        raw->pb = io.get();
        raw->flags |= AVFMT_FLAG_CUSTOM_IO;
        raw->interrupt_callback = callback;
        raw->opaque = this;
        raw->io_open = &State::refuseFurtherFile;
        DictionaryGuard formatOptions;
        av_dict_set(&formatOptions.dictionary, "protocol_whitelist", "file", 0);
        // avformat_open_input frees the context when it fails.
        rc = avformat_open_input(&raw, url.c_str(), inputFormat, &formatOptions.dictionary);
        if (rc < 0) fail(recognised ? MediaErrorKind::Damaged : MediaErrorKind::Unsupported, rc);
        format.reset(raw);
        // The sizes the headers declare; the stream info forgets a size no decoder accepts.
        declaredSizes.clear();
        for (unsigned i = 0; i < format->nb_streams; ++i) {
            const AVCodecParameters* par = format->streams[i]->codecpar;
            declaredSizes.emplace_back(par->width, par->height);
        }
        rc = avformat_find_stream_info(format.get(), nullptr);
        if (rc < 0) fail(recognised ? MediaErrorKind::Damaged : MediaErrorKind::Unsupported, rc);
        throwIfStopped();
    }

    void open() {
        openFile();

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
        if (streamIndex < 0) throw error(MediaErrorKind::NotVideo);
        AVStream* stream = format->streams[streamIndex];
        const AVCodecParameters* par = stream->codecpar;
        const auto [declaredWidth, declaredHeight] = declaredSizes[streamIndex];
        for (const auto& [width, height] :
             {std::pair(declaredWidth, declaredHeight), std::pair(par->width, par->height)}) {
            if (width > kMaxVideoDimension || height > kMaxVideoDimension) {
                throw error(MediaErrorKind::TooLarge,
                            std::to_string(width) + "x" + std::to_string(height));
            }
        }
        if (par->width <= 0 || par->height <= 0) {
            throw error(MediaErrorKind::Damaged,
                        "size " + std::to_string(par->width) + "x" + std::to_string(par->height));
        }
        const AVCodec* decoder = avcodec_find_decoder(par->codec_id);
        if (decoder == nullptr) {
            throw error(MediaErrorKind::Unsupported,
                        std::string("codec ") + avcodec_get_name(par->codec_id));
        }
        codec.reset(avcodec_alloc_context3(decoder));
        if (!codec) throw std::bad_alloc();
        int rc = avcodec_parameters_to_context(codec.get(), par);
        if (rc < 0) fail(MediaErrorKind::Unsupported, rc);
        timeBase = stream->time_base;
        frameRate = stream->avg_frame_rate.num > 0 && stream->avg_frame_rate.den > 0
                        ? stream->avg_frame_rate
                        : stream->r_frame_rate;
        codec->pkt_timebase = stream->time_base;
        // Frame and slice threads give the same pictures as one thread, sooner.
        codec->thread_count = options.threads;
        codec->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
        codec->max_pixels = static_cast<std::int64_t>(kMaxVideoDimension) * kMaxVideoDimension;
        rc = avcodec_open2(codec.get(), decoder, nullptr);
        if (rc < 0) fail(MediaErrorKind::Unsupported, rc);

        sourceWidth = par->width;
        sourceHeight = par->height;
        measure(stream);
        resetReading(0);
    }

    // The display size (pixel aspect, then turn) and the sizes swscale and frame() deliver.
    void measure(AVStream* stream) {
        int width = sourceWidth;
        const AVRational aspect = av_guess_sample_aspect_ratio(format.get(), stream, nullptr);
        if (aspect.num > 0 && aspect.den > 0) {
            const double stretched = static_cast<double>(sourceWidth) * aspect.num / aspect.den;
            // An absurd ratio is a broken header, not a picture to stretch tenfold.
            if (stretched >= sourceWidth / 8.0 && stretched <= sourceWidth * 8.0 &&
                stretched <= kMaxVideoDimension) {
                width = std::max(1, static_cast<int>(std::lround(stretched)));
            }
        }
        int height = sourceHeight;
        orientation = streamOrientation(stream);
        if (orientation.swapsAxes()) std::swap(width, height);
        displayWidth = width;
        displayHeight = height;
        if (options.enlargeToFit) {
            scaleToFit(width, height, options.maxWidth, options.maxHeight, &outputWidth,
                       &outputHeight);
        } else {
            fitWithin(width, height, options.maxWidth, options.maxHeight, &outputWidth,
                      &outputHeight);
        }
        scaledWidth = orientation.swapsAxes() ? outputHeight : outputWidth;
        scaledHeight = orientation.swapsAxes() ? outputWidth : outputHeight;
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
            checkpoint();
            av_packet_unref(packet.get());
            if (av_read_frame(format.get(), packet.get()) < 0) {
                throwIfStopped();
                return false;
            }
            if (packet->stream_index == streamIndex && packet->size > 0 &&
                !(packet->flags & AV_PKT_FLAG_CORRUPT)) {
                return true;
            }
        }
    }

    void scan() {
        std::int64_t furthest = 0;
        bool everyPts = true;
        bool everyDts = true;
        std::int64_t shown = 0;
        // Decode times never go back within one recording; where they do, recordings were
        // joined into one stream (a camera's MPEG-TS files put end to end) and each restarts
        // its own clock.
        bool joined = false;
        std::int64_t lastDts = AV_NOPTS_VALUE;
        // For a scan that may stop early: while every packet carries both stamps, decode times
        // never go back and no frame is shown before it is decoded, no packet still to come can
        // be shown before the last decode time, so every frame shown before it has its place.
        // Those not yet placed wait here; a repeated stamp, like any other disorder, makes the
        // scan read on to the end.
        const std::int64_t wanted = options.framesWanted;
        bool orderly = wanted > 0;
        std::set<std::int64_t> unplaced;
        std::int64_t placed = 0;
        bool stoppedEarly = false;
        packetCount = 0;
        while (readPacket()) {
            const std::int64_t position = packetCount++;
            if (position == 0) firstDts = packet->dts;
            if (packet->flags & AV_PKT_FLAG_KEY) {
                keyframes.push_back({position, packet->pts, packet->dts});
            }
            // A long file may take a while to read through; only a reader that stops getting
            // further into it is stuck.
            const std::int64_t reached = avio_tell(format->pb);
            if (reached > furthest) {
                furthest = reached;
                deadline = Clock::now() + options.timeLimit;
            }
            // Decoded for the frames after it, but cut away by the edit list: never shown.
            if (packet->flags & AV_PKT_FLAG_DISCARD) continue;
            ++shown;
            everyPts = everyPts && packet->pts != AV_NOPTS_VALUE;
            everyDts = everyDts && packet->dts != AV_NOPTS_VALUE;
            if (everyPts) framesByPts.push_back({packet->pts, position});
            if (everyDts) countedTimes.push_back(packet->dts);
            if (packet->dts != AV_NOPTS_VALUE) {
                joined = joined || (lastDts != AV_NOPTS_VALUE && packet->dts < lastDts);
                lastDts = packet->dts;
            }
            if (orderly) {
                orderly = everyPts && everyDts && !joined && packet->pts >= packet->dts &&
                          unplaced.insert(packet->pts).second;
                while (orderly && !unplaced.empty() && *unplaced.begin() < packet->dts) {
                    unplaced.erase(unplaced.begin());
                    ++placed;
                }
                if (orderly && placed >= wanted) {
                    stoppedEarly = true;
                    break;
                }
            }
        }
        av_packet_unref(packet.get());
        frameCount = shown;
        if (frameCount == 0) throw error(MediaErrorKind::NoFrames);

        if (everyPts) {
            std::sort(framesByPts.begin(), framesByPts.end(),
                      [](const FrameTime& a, const FrameTime& b) { return a.pts < b.pts; });
            byTimestamp = std::adjacent_find(framesByPts.begin(), framesByPts.end(),
                                             [](const FrameTime& a, const FrameTime& b) {
                                                 return a.pts == b.pts;
                                             }) == framesByPts.end();
        }
        // Joined recordings share time stamps, so sorting by them would interleave their
        // frames: the frames are then counted in the order they come.
        if (joined) byTimestamp = false;
        if (stoppedEarly) {
            // Only frames with distinct stamps were placed, shown before any still unread.
            frameCount = placed;
            framesByPts.resize(static_cast<std::size_t>(placed));
        }
        if (byTimestamp || !everyDts) countedTimes.clear();
        continueJoinedTimes(countedTimes);
        countedTimes.shrink_to_fit();
        if (!byTimestamp) framesByPts.clear();
        framesByPts.shrink_to_fit();
        rewind();
    }

    // Decode times made to run on where a joined recording restarts its clock: a step back (or
    // none) counts as one frame's step, the last seen or the stream's nominal one.
    void continueJoinedTimes(std::vector<std::int64_t>& times) const {
        std::int64_t step = 1;
        if (frameRate.num > 0 && frameRate.den > 0) {
            step = std::max<std::int64_t>(1, av_rescale_q(1, av_inv_q(frameRate), timeBase));
        }
        std::int64_t shift = 0;
        for (std::size_t i = 1; i < times.size(); ++i) {
            const std::int64_t stamped = times[i] + shift;
            const std::int64_t previous = times[i - 1];
            if (stamped > previous) {
                step = stamped - previous;
                times[i] = stamped;
                continue;
            }
            shift += previous + step - stamped;
            times[i] = previous + step;
        }
    }

    double frameTime(std::int64_t index) const {
        if (index < 0 || index >= frameCount) throw outOfRange(index);
        const auto seconds = [this](std::int64_t ticks) {
            return static_cast<double>(ticks) * timeBase.num / timeBase.den;
        };
        if (byTimestamp) {
            return seconds(framesByPts[static_cast<std::size_t>(index)].pts -
                           framesByPts.front().pts);
        }
        if (!countedTimes.empty()) {
            return seconds(countedTimes[static_cast<std::size_t>(index)] - countedTimes.front());
        }
        if (frameRate.num <= 0 || frameRate.den <= 0) return 0;
        return static_cast<double>(index) * frameRate.den / frameRate.num;
    }

    std::out_of_range outOfRange(std::int64_t index) const {
        return std::out_of_range("frame index " + std::to_string(index) + " outside 0.." +
                                 std::to_string(frameCount - 1));
    }

    // Back to the first packet; reopens the file when the container cannot seek there.
    void rewind() {
        ++seeks;
        bool atStart = false;
        if (firstDts != AV_NOPTS_VALUE &&
            av_seek_frame(format.get(), streamIndex, firstDts, AVSEEK_FLAG_BACKWARD) >= 0) {
            packetPending = false;
            if (readPacket()) {
                packetPending = true;
                atStart = packet->dts == firstDts;
            }
        }
        throwIfStopped();
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
        throwIfStopped();
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
    bool nextPicture(std::int64_t wanted) {
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
                throw error(MediaErrorKind::Damaged, errorString(rc), {}, wanted);
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

    engine::PackedImage frameAt(std::int64_t index, engine::PackedImage* fullSize) {
        if (index < 0 || index >= frameCount) throw outOfRange(index);
        Operation operation(*this);
        try {
            return deliver(index, fullSize);
        } catch (const MediaError& e) {
            // Stopped part-way, the reader may sit anywhere in the file; the next call starts
            // from a fresh one.
            if (e.kind() == MediaErrorKind::Interrupted || e.kind() == MediaErrorKind::TimedOut) {
                closeReader();
                forgetDecoded();
            }
            throw;
        }
    }

    // While one picture is converted on the conversion thread, the next one is decoded here:
    // reading forward, each call hands the following frame over before it waits for its own.
    // The frame read ahead is converted at the display size too when this one is, as the next
    // request most likely asks the same; when it does not, that conversion is dropped or made
    // afresh.
    engine::PackedImage deliver(std::int64_t index, engine::PackedImage* fullSize) {
        const bool forward = index == lastRequested + 1;
        const bool withFullSize = fullSize != nullptr;
        lastRequested = index;
        ConversionThread& conversions = conversion();
        if (aheadFailure && aheadFailureIndex == index) {
            aheadFailureIndex = -1;
            std::rethrow_exception(std::exchange(aheadFailure, nullptr));
        }
        aheadFailure = nullptr;
        aheadFailureIndex = -1;
        if (index == ahead.index && (ahead.withFullSize || !withFullSize)) {
            kept = std::move(ahead);
            ahead = {};
        } else {
            if (index == ahead.index) {
                conversions.forget(ahead.index);
                kept = std::move(ahead);
                ahead = {};
            } else if (index != kept.index) {
                if (ahead.index >= 0) {
                    conversions.forget(ahead.index);
                    ahead = {};
                }
                kept = {};
                seekTo(index);
                kept = {index, referenceTo(*frame)};
            }
            kept.withFullSize = withFullSize;
            conversions.submit(index, referenceTo(*kept.picture), withFullSize);
        }
        if (forward && ahead.index < 0 && index + 1 < frameCount) {
            decodeAhead(index + 1, withFullSize);
        }
        return conversions.take(index, fullSize);
    }

    // A frame the reader cannot give now is reported when it is asked for, as it would have
    // been without reading ahead; a stop or a timeout ends the call under way.
    void decodeAhead(std::int64_t index, bool withFullSize) {
        try {
            seekTo(index);
        } catch (const MediaError& e) {
            if (e.kind() == MediaErrorKind::Interrupted || e.kind() == MediaErrorKind::TimedOut) {
                throw;
            }
            aheadFailure = std::current_exception();
            aheadFailureIndex = index;
            return;
        }
        ahead = {index, referenceTo(*frame), withFullSize};
        conversion().submit(index, referenceTo(*frame), withFullSize);
    }

    ConversionThread& conversion() {
        if (!conversions) {
            // The display size as a decoder without a box gets it: the picture fitted into no
            // box, before the turn.
            std::optional<PictureConverter> fullSize;
            if (options.fullSizeToo &&
                (outputWidth != displayWidth || outputHeight != displayHeight)) {
                const bool swaps = orientation.swapsAxes();
                fullSize.emplace(path, orientation, swaps ? displayHeight : displayWidth,
                                 swaps ? displayWidth : displayHeight, displayWidth, displayHeight);
            }
            conversions = std::make_unique<ConversionThread>(
                PictureConverter(path, orientation, scaledWidth, scaledHeight, outputWidth,
                                 outputHeight),
                std::move(fullSize));
        }
        return *conversions;
    }

    void forgetDecoded() {
        kept = {};
        ahead = {};
        aheadFailure = nullptr;
        aheadFailureIndex = -1;
        lastRequested = -1;
        if (conversions) conversions->forgetAll();
    }

    // Leaves the picture shown at `index` in `frame`.
    void seekTo(std::int64_t index) {
        // A reopen that failed half-way left nothing to read from; try again, and report.
        if (!format || !codec) open();
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
        decodeUntil(index);
    }

    void decodeUntil(std::int64_t index) {
        while (nextPicture(index)) {
            const auto shown = presentationIndex();
            if (!shown) continue;
            lastDelivered = *shown;
            // A picture the decoder never gives (damaged data) is stood in for by the next.
            if (*shown >= index) return;
        }
        throw error(MediaErrorKind::Damaged, {}, {}, index);
    }
};

VideoDecoder::VideoDecoder(const std::string& path, DecoderOptions options)
    : m_path(path), m_state(std::make_unique<State>()) {
    m_state->path = path;
    m_state->options = std::move(options);
    std::error_code ec;
    const auto status = std::filesystem::status(nativePath(path), ec);
    // Only plain files are clips: a pipe or device would keep the reader waiting for data.
    switch (status.type()) {
        case std::filesystem::file_type::regular:
            break;
        case std::filesystem::file_type::not_found:
            throw m_state->error(MediaErrorKind::NotFound);
        case std::filesystem::file_type::directory:
            throw m_state->error(MediaErrorKind::NotAFile);
        case std::filesystem::file_type::fifo:
            throw m_state->error(MediaErrorKind::Fifo);
        case std::filesystem::file_type::none:
            throw m_state->error(MediaErrorKind::Unreadable, {}, ec.message());
        default:
            throw m_state->error(MediaErrorKind::Device);
    }
    State::Operation operation(*m_state);
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
int VideoDecoder::displayWidth() const {
    return m_state->displayWidth;
}
int VideoDecoder::displayHeight() const {
    return m_state->displayHeight;
}
int VideoDecoder::outputWidth() const {
    return m_state->outputWidth;
}
int VideoDecoder::outputHeight() const {
    return m_state->outputHeight;
}
double VideoDecoder::frameTime(std::int64_t index) const {
    return m_state->frameTime(index);
}
std::int64_t VideoDecoder::decodedPictureCount() const {
    return m_state->decodedPictures;
}
std::int64_t VideoDecoder::seekCount() const {
    return m_state->seeks;
}

engine::PackedImage VideoDecoder::frame(std::int64_t index) {
    return m_state->frameAt(index, nullptr);
}

engine::PackedImage VideoDecoder::frame(std::int64_t index, engine::PackedImage& fullSize) {
    if (!m_state->options.fullSizeToo) {
        throw std::logic_error("full-size frames not asked for when the decoder was opened");
    }
    return m_state->frameAt(index, &fullSize);
}

}  // namespace strobo::workfolder::media
