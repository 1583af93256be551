#include "stages/extraction/frame_facts.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#include "workfolder/atomic_file.h"
#include "workfolder/file_failure.h"
#include "workfolder/file_names.h"
#include "workfolder/utf8_path.h"

namespace strobo::stages {

using workfolder::u8path;
using workfolder::utf8;

namespace wf = workfolder;

namespace {

constexpr const char* kFirstLine = "strobo frame facts 1";
// Far more frames than any clip the player opens; a count beyond it marks a damaged file.
constexpr long long kMostFrames = 100'000'000;

}  // namespace

std::string frameFactsFileFromPrefix(std::string_view framePrefix) {
    return std::string(framePrefix) + "_frames.txt";
}

std::string frameFactsFile(std::string_view folder) {
    return frameFactsFileFromPrefix(wf::framePrefix(folder));
}

void writeFrameFacts(const std::string& file, const FrameFacts& facts) {
    std::string text = kFirstLine;
    text += '\n';
    const PictureArea& a = facts.videoArea;
    text += "video_area " + std::to_string(a.x) + ' ' + std::to_string(a.y) + ' ' +
            std::to_string(a.width) + ' ' + std::to_string(a.height) + '\n';
    text += "clip_size " + std::to_string(facts.clipWidth) + ' ' +
            std::to_string(facts.clipHeight) + '\n';
    text += "frames " + std::to_string(facts.frameTimes.size()) + '\n';
    char line[64];
    for (const double t : facts.frameTimes) {
        // Nanoseconds: time stamps are compared to the microsecond.
        std::snprintf(line, sizeof line, "%.9f\n", t);
        text += line;
    }
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
    if (const std::error_code ec = wf::replaceFileContents(file, {bytes, text.size()})) {
        throw wf::fileFailure(wf::FileFailureKind::PictureNotWritten, file, {}, ec);
    }
}

std::optional<FrameFacts> readFrameFacts(std::string_view folder) {
    std::ifstream in(u8path(frameFactsFile(folder)));
    if (!in) return std::nullopt;
    std::string line;
    if (!std::getline(in, line) || line != kFirstLine) return std::nullopt;
    FrameFacts facts;
    std::string word;
    long long frames = -1;
    if (!(in >> word) || word != "video_area") return std::nullopt;
    if (!(in >> facts.videoArea.x >> facts.videoArea.y >> facts.videoArea.width >>
          facts.videoArea.height))
        return std::nullopt;
    if (!(in >> word) || word != "clip_size") return std::nullopt;
    if (!(in >> facts.clipWidth >> facts.clipHeight)) return std::nullopt;
    if (!(in >> word) || word != "frames" || !(in >> frames)) return std::nullopt;
    if (frames < 0 || frames > kMostFrames) return std::nullopt;
    if (facts.videoArea.x < 0 || facts.videoArea.y < 0 || facts.videoArea.isEmpty() ||
        facts.clipWidth <= 0 || facts.clipHeight <= 0)
        return std::nullopt;
    facts.frameTimes.reserve(static_cast<std::size_t>(frames));
    for (long long i = 0; i < frames; ++i) {
        double t = 0;
        if (!(in >> t)) return std::nullopt;
        facts.frameTimes.push_back(t);
    }
    return facts;
}

void removeFrameFacts(const std::string& file) {
    std::error_code ec;
    std::filesystem::remove(u8path(file), ec);
}

}  // namespace strobo::stages
