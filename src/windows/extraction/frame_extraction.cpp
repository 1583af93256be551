#include "windows/extraction/frame_extraction.h"

#include "workfolder/background_saver.h"
#include "workfolder/file_names.h"
#include "workfolder/numbers.h"

namespace strobo::windows {

namespace wf = workfolder;

namespace {

std::string keptFramesText(std::int32_t written) {
    if (written < 1) return "フレームは保存されていません。";
    return "1 番から " + wf::numberText(written) + " 番までのフレームは保存されています。";
}

}  // namespace

std::string openCommand(const std::string& clipPath) {
    return "open \"" + clipPath + "\" alias " + kClipAlias;
}

std::string windowCommand(std::uint64_t handle) {
    return std::string("window ") + kClipAlias + " handle " +
           wf::mediaNumberText(static_cast<std::int64_t>(handle));
}

std::string lengthCommand() {
    return std::string("status ") + kClipAlias + " length";
}

std::string seekCommand(std::int64_t position) {
    return std::string("seek ") + kClipAlias + " to" + wf::mediaNumberText(position);
}

std::string stopCommand() {
    return std::string("stop ") + kClipAlias;
}

std::string closeCommand() {
    return std::string("close ") + kClipAlias;
}

FrameExtraction::FrameExtraction(PlaybackSurface& surface, wf::PlatformServices& services)
    : m_surface(surface), m_services(services) {}

FrameExtraction::~FrameExtraction() {
    close();
}

void FrameExtraction::close() {
    if (!m_open) return;
    m_open = false;
    m_surface.sendMediaCommand(stopCommand());
    m_surface.sendMediaCommand(closeCommand());
}

ExtractionReport FrameExtraction::run(const std::string& clipPath, const std::string& framePrefix,
                                      const ExtractionProgress& progress) {
    ExtractionReport report;
    close();
    const int openCode = m_surface.sendMediaCommand(openCommand(clipPath));
    if (openCode != 0) {
        report.failure = "動画ファイルを開けません: " + wf::quoted(clipPath) + "\n" +
                         m_surface.mediaFailure(openCode);
        return report;
    }
    m_open = true;
    const int windowCode = m_surface.sendMediaCommand(windowCommand(m_surface.videoWindowHandle()));
    if (windowCode != 0) {
        report.failure = "動画を表示できません: " + wf::quoted(clipPath) + "\n" +
                         m_surface.mediaFailure(windowCode);
        return report;
    }
    std::string reply;
    const int lengthCode = m_surface.sendMediaCommand(lengthCommand(), &reply, kLengthReplyLength);
    if (lengthCode != 0) {
        report.failure = "動画の長さがわかりません: " + wf::quoted(clipPath) + "\n" +
                         m_surface.mediaFailure(lengthCode);
        return report;
    }
    try {
        report.frameCount = wf::toInt32(wf::textToNumber(reply));
    } catch (const wf::ServiceError& error) {
        report.failure =
            "動画のフレーム数を扱えません: " + wf::quoted(clipPath) + "\n" + error.what();
        return report;
    }
    report.opened = true;
    extractFrames(framePrefix, progress, report);
    return report;
}

void FrameExtraction::extractFrames(const std::string& framePrefix,
                                    const ExtractionProgress& progress, ExtractionReport& report) {
    const std::int32_t n = report.frameCount;
    if (n >= 1 && progress && !progress(0, n)) {
        report.stopped = true;
        return;
    }
    // Frame i+1 is shown and captured while frame i is encoded and written on a second thread.
    // The saver stops at its first failure, so the files written are always frames 1 to k.
    wf::BackgroundSaver saver(m_services);
    const auto written = [&saver] { return static_cast<std::int32_t>(saver.saved()); };
    try {
        for (std::int32_t i = 1; i <= n; ++i) {
            const int seekCode = m_surface.sendMediaCommand(seekCommand(i));
            if (seekCode != 0) {
                saver.finish();
                report.written = written();
                report.failure =
                    "動画の " + wf::numberText(i) + " 番目のフレームを表示できません。\n" +
                    m_surface.mediaFailure(seekCode) + "\n" + keptFramesText(report.written);
                return;
            }
            m_services.yield();
            saver.save(m_surface.capturePlayback(), wf::frameFileFromPrefix(framePrefix, i));
            if (progress && !progress(i, n) && i < n) {
                saver.finish();
                report.written = written();
                report.stopped = true;
                return;
            }
        }
        saver.finish();
    } catch (const wf::ServiceError& error) {
        report.written = written();
        report.failure = std::string(error.what()) + "\n" + keptFramesText(report.written);
        return;
    }
    report.written = written();
    report.completed = true;
}

}  // namespace strobo::windows
