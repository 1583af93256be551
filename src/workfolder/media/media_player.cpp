#include "workfolder/media/media_player.h"

#include <algorithm>
#include <charconv>
#include <optional>
#include <utility>
#include <vector>

#include "workfolder/media/video_decoder.h"

namespace strobo::workfolder::media {

namespace {

// What a device shows before its first frame, and what an unknown alias shows.
const engine::PackedImage kNoFrame;

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) {
        return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    });
    return text;
}

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Splits a command into words at runs of blanks; a word in double quotes may hold blanks.
// nullopt for an unclosed quote.
std::optional<std::vector<std::string>> splitWords(const std::string& command) {
    std::vector<std::string> words;
    std::size_t i = 0;
    while (i < command.size()) {
        if (isBlank(command[i])) {
            ++i;
            continue;
        }
        if (command[i] == '"') {
            const std::size_t close = command.find('"', i + 1);
            if (close == std::string::npos) return std::nullopt;
            words.push_back(command.substr(i + 1, close - i - 1));
            i = close + 1;
            if (i < command.size() && !isBlank(command[i])) return std::nullopt;
            continue;
        }
        std::size_t end = i;
        while (end < command.size() && !isBlank(command[end])) ++end;
        words.push_back(command.substr(i, end - i));
        i = end;
    }
    return words;
}

// An open command: the path in quotes runs from the first quote to the last one, so a file name
// may hold quotes (aliases and types never do); the words after it are split as usual. Other
// commands, and an open with an unquoted path, split as usual throughout.
std::optional<std::vector<std::string>> splitCommand(const std::string& command) {
    std::size_t i = 0;
    while (i < command.size() && isBlank(command[i])) ++i;
    std::size_t end = i;
    while (end < command.size() && !isBlank(command[end])) ++end;
    if (lower(command.substr(i, end - i)) != "open") return splitWords(command);
    std::size_t open = end;
    while (open < command.size() && isBlank(command[open])) ++open;
    if (open >= command.size() || command[open] != '"') return splitWords(command);
    const std::size_t close = command.rfind('"');
    if (close == open) return std::nullopt;
    if (close + 1 < command.size() && !isBlank(command[close + 1])) return std::nullopt;
    auto rest = splitWords(command.substr(close + 1));
    if (!rest) return std::nullopt;
    std::vector<std::string> words{command.substr(i, end - i),
                                   command.substr(open + 1, close - open - 1)};
    words.insert(words.end(), rest->begin(), rest->end());
    return words;
}

// Decimal digits with an optional leading minus; nullopt for anything else or an overflow.
std::optional<std::int64_t> parseNumber(const std::string& word) {
    std::int64_t value = 0;
    const char* first = word.data();
    const char* last = word.data() + word.size();
    if (first == last) return std::nullopt;
    const auto [end, ec] = std::from_chars(first, last, value);
    if (ec != std::errc() || end != last) return std::nullopt;
    return value;
}

}  // namespace

struct MediaPlayer::Device {
    std::unique_ptr<VideoDecoder> decoder;
    FrameTarget* target = nullptr;
    std::int64_t position = 0;
    std::int64_t shownIndex = -1;  // frame index of `current`, -1 before the first
    // Shared, so that a capture can be painted from it after the next frame has replaced it.
    std::shared_ptr<const engine::PackedImage> current;
};

MediaPlayer::MediaPlayer() : m_timeLimit(kDefaultMediaTimeLimit) {}
MediaPlayer::~MediaPlayer() = default;

void MediaPlayer::setStopRequest(std::function<bool()> stopRequested) {
    m_stopRequested = std::move(stopRequested);
}

void MediaPlayer::setTimeLimit(std::chrono::milliseconds limit) {
    m_timeLimit = limit;
}

void MediaPlayer::setDecoderThreads(int threads) {
    m_decoderThreads = threads;
}

void MediaPlayer::setFrameTargetResolver(FrameTargetResolver resolver) {
    m_resolver = std::move(resolver);
}

void MediaPlayer::setCommandObserver(std::function<void(const std::string&, int)> observer) {
    m_observer = std::move(observer);
}

int MediaPlayer::sendString(const std::string& command, std::string* reply,
                            std::size_t replyLength) {
    if (reply != nullptr) reply->clear();
    m_lastErrorDetail.clear();
    m_lastError.reset();
    std::string full;
    const int code = run(command, &full, replyLength);
    if (reply != nullptr && replyLength > 0) reply->assign(full, 0, replyLength - 1);
    if (code != kMediaOk && m_lastErrorDetail.empty()) m_lastErrorDetail = errorText(code);
    if (m_observer) m_observer(command, code);
    return code;
}

MediaPlayer::Device* MediaPlayer::find(const std::string& alias) {
    const auto it = m_devices.find(lower(alias));
    return it == m_devices.end() ? nullptr : it->second.get();
}

int MediaPlayer::show(Device& device, std::int64_t position) {
    const std::int64_t index = std::min(position, device.decoder->frameCount() - 1);
    if (index != device.shownIndex) {
        try {
            device.current =
                std::make_shared<const engine::PackedImage>(device.decoder->frame(index));
        } catch (const MediaError& e) {
            m_lastErrorDetail = e.what();
            m_lastError = e;
            return kMediaReadFailed;
        }
        device.shownIndex = index;
    }
    device.position = position;
    if (device.target != nullptr) {
        if (device.current) {
            device.target->showSharedVideoFrame(device.current);
        } else {
            device.target->showVideoFrame(kNoFrame);
        }
    }
    return kMediaOk;
}

int MediaPlayer::run(const std::string& command, std::string* reply, std::size_t) {
    const auto parsed = splitCommand(command);
    if (!parsed) return kMediaBadParameter;
    const std::vector<std::string>& words = *parsed;
    if (words.empty()) return kMediaUnknownCommand;
    const std::string verb = lower(words[0]);

    if (verb == "open") {
        // open <path> [type <t>] alias <a>
        if (words.size() < 2) return kMediaMissingParameter;
        std::optional<std::string> alias;
        for (std::size_t i = 2; i < words.size(); i += 2) {
            if (i + 1 >= words.size()) return kMediaMissingParameter;
            const std::string key = lower(words[i]);
            if (key == "alias") {
                alias = words[i + 1];
            } else if (key != "type") {
                return kMediaBadParameter;
            }
        }
        if (!alias) return kMediaMissingParameter;
        if (find(*alias) != nullptr || lower(*alias) == "all") return kMediaAliasInUse;
        auto device = std::make_unique<Device>();
        DecoderOptions options;
        options.maxWidth = kMaxFrameWidth;
        options.maxHeight = kMaxFrameHeight;
        options.enlargeToFit = true;
        options.timeLimit = m_timeLimit;
        options.threads = m_decoderThreads;
        // Looked up at every call, so a request set after the open still stops its seeks.
        options.stopRequested = [this] { return m_stopRequested && m_stopRequested(); };
        try {
            device->decoder = std::make_unique<VideoDecoder>(words[1], std::move(options));
        } catch (const MediaError& e) {
            m_lastErrorDetail = e.what();
            m_lastError = e;
            return kMediaCannotOpen;
        }
        m_devices.emplace(lower(*alias), std::move(device));
        return kMediaOk;
    }

    if (verb != "window" && verb != "status" && verb != "seek" && verb != "stop" &&
        verb != "close") {
        return kMediaUnknownCommand;
    }
    if (words.size() < 2) return kMediaMissingParameter;
    if (verb == "close" && lower(words[1]) == "all" && words.size() == 2) {
        for (auto& [name, device] : m_devices) {
            if (device->target != nullptr) device->target->clearVideoFrame();
        }
        m_devices.clear();
        return kMediaOk;
    }
    Device* device = find(words[1]);
    if (device == nullptr) return kMediaUnknownAlias;

    if (verb == "window") {
        if (words.size() < 4) return kMediaMissingParameter;
        if (words.size() > 4 || lower(words[2]) != "handle") return kMediaBadParameter;
        const auto handle = parseNumber(words[3]);
        if (!handle || *handle < 0) return kMediaBadParameter;
        FrameTarget* target =
            m_resolver ? m_resolver(static_cast<std::uint64_t>(*handle)) : nullptr;
        if (target == nullptr) return kMediaBadWindow;
        if (device->target != nullptr && device->target != target) {
            device->target->clearVideoFrame();
        }
        device->target = target;
        return show(*device, device->position);
    }
    if (verb == "status") {
        if (words.size() < 3) return kMediaMissingParameter;
        if (words.size() > 3) return kMediaBadParameter;
        const std::string item = lower(words[2]);
        if (item == "length") {
            *reply = std::to_string(device->decoder->frameCount());
        } else if (item == "position") {
            *reply = std::to_string(device->position);
        } else {
            return kMediaBadParameter;
        }
        return kMediaOk;
    }
    if (verb == "seek") {
        if (words.size() < 4) return kMediaMissingParameter;
        if (words.size() > 4 || lower(words[2]) != "to") return kMediaBadParameter;
        const std::int64_t length = device->decoder->frameCount();
        const std::string where = lower(words[3]);
        std::int64_t position = 0;
        if (where == "start") {
            position = 0;
        } else if (where == "end") {
            position = length;
        } else {
            const auto number = parseNumber(words[3]);
            if (!number) return kMediaBadParameter;
            if (*number < 0 || *number > length) return kMediaOutOfRange;
            position = *number;
        }
        return show(*device, position);
    }
    if (words.size() > 2) return kMediaBadParameter;
    if (verb == "stop") return kMediaOk;
    // close
    if (device->target != nullptr) device->target->clearVideoFrame();
    m_devices.erase(lower(words[1]));
    return kMediaOk;
}

std::string MediaPlayer::errorText(int code) {
    switch (code) {
        case kMediaOk:
            return "エラーはありません。";
        case kMediaUnknownCommand:
            return "認識できないコマンドです。";
        case kMediaBadParameter:
            return "コマンドの引数が正しくありません。";
        case kMediaUnknownAlias:
            return "指定されたデバイス名は開かれていません。";
        case kMediaMissingParameter:
            return "コマンドに必要な引数がありません。";
        case kMediaCannotOpen:
            return "動画ファイルを開けません。";
        case kMediaOutOfRange:
            return "指定された位置は動画の範囲外です。";
        case kMediaBadWindow:
            return "指定されたウィンドウがありません。";
        case kMediaAliasInUse:
            return "そのデバイス名はすでに使われています。";
        case kMediaReadFailed:
            return "動画のフレームを読めません。";
        default:
            return "不明なエラーです（コード " + std::to_string(code) + "）。";
    }
}

const engine::PackedImage& MediaPlayer::currentFrame(const std::string& alias) const {
    const auto it = m_devices.find(lower(alias));
    return it == m_devices.end() || !it->second->current ? kNoFrame : *it->second->current;
}

std::shared_ptr<const engine::PackedImage> MediaPlayer::sharedCurrentFrame(
    const std::string& alias) const {
    const auto it = m_devices.find(lower(alias));
    return it == m_devices.end() ? nullptr : it->second->current;
}

bool MediaPlayer::isOpen(const std::string& alias) const {
    return m_devices.count(lower(alias)) != 0;
}

VideoRect MediaPlayer::videoRect(const std::string& alias) const {
    const auto it = m_devices.find(lower(alias));
    if (it == m_devices.end()) return {};
    const VideoDecoder& decoder = *it->second->decoder;
    return {0, 0, decoder.outputWidth(), decoder.outputHeight()};
}

VideoRect MediaPlayer::clipSize(const std::string& alias) const {
    const auto it = m_devices.find(lower(alias));
    if (it == m_devices.end()) return {};
    const VideoDecoder& decoder = *it->second->decoder;
    return {0, 0, decoder.displayWidth(), decoder.displayHeight()};
}

std::optional<double> MediaPlayer::frameTime(const std::string& alias, std::int64_t index) const {
    const auto it = m_devices.find(lower(alias));
    if (it == m_devices.end()) return std::nullopt;
    const VideoDecoder& decoder = *it->second->decoder;
    if (index < 0 || index >= decoder.frameCount()) return std::nullopt;
    return decoder.frameTime(index);
}

std::int64_t MediaPlayer::decodedPictureCount(const std::string& alias) const {
    const auto it = m_devices.find(lower(alias));
    return it == m_devices.end() ? 0 : it->second->decoder->decodedPictureCount();
}

}  // namespace strobo::workfolder::media
