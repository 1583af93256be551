#include "stages/extraction/frame_extraction.h"

#include "workfolder/file_names.h"
#include "workfolder/numbers.h"

namespace strobo::stages {

namespace wf = workfolder;
using wf::Failure;
using wf::FailureKind;

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

FrameExtraction::FrameExtraction(PlaybackSurface& surface, wf::FileServices& files, Yield yield)
    : m_surface(surface), m_files(files), m_yield(std::move(yield)) {}

FrameExtraction::~FrameExtraction() {
    close();
}

void FrameExtraction::close() {
    if (!m_open) return;
    m_open = false;
    m_surface.sendMediaCommand(stopCommand());
    m_surface.sendMediaCommand(closeCommand());
}

ExtractionResult FrameExtraction::run(const std::string& clipPath, const std::string& framePrefix,
                                      const Progress& progress) {
    ExtractionResult result;
    close();
    // A command the media layer gave up on: stopped on request, or failed for the clip.
    const auto mediaFailed = [&](FailureKind kind, int code) {
        if (m_surface.mediaStopped()) {
            result.stopped = true;
        } else {
            result.failure = Failure{kind, clipPath, m_surface.mediaFailure(code), {}};
        }
        return result;
    };
    const int openCode = m_surface.sendMediaCommand(openCommand(clipPath));
    if (openCode != 0) return mediaFailed(FailureKind::ClipNotOpened, openCode);
    m_open = true;
    const int windowCode = m_surface.sendMediaCommand(windowCommand(m_surface.videoWindowHandle()));
    if (windowCode != 0) return mediaFailed(FailureKind::ClipNotShown, windowCode);
    std::string reply;
    const int lengthCode = m_surface.sendMediaCommand(lengthCommand(), &reply, kLengthReplyLength);
    if (lengthCode != 0) return mediaFailed(FailureKind::ClipLengthUnknown, lengthCode);
    try {
        result.frameCount = wf::toInt32(wf::textToNumber(reply));
    } catch (const wf::FailureError& error) {
        result.failure = Failure{FailureKind::ClipFrameCountUnusable, clipPath, error.what(), {}};
        return result;
    }
    result.opened = true;
    // Earlier facts describe earlier frame files; the new ones are kept before the first frame so
    // that no frame file stands without them.
    removeFrameFacts(frameFactsFileFromPrefix(framePrefix));
    if (const auto facts = m_surface.frameFacts(result.frameCount)) {
        try {
            writeFrameFacts(frameFactsFileFromPrefix(framePrefix), *facts);
        } catch (const wf::FailureError& error) {
            result.failure = error.failure();
            return result;
        }
    }
    extractFrames(clipPath, framePrefix, progress, result);
    return result;
}

void FrameExtraction::extractFrames(const std::string& clipPath, const std::string& framePrefix,
                                    const Progress& progress, ExtractionResult& result) {
    const std::int32_t n = result.frameCount;
    if (n >= 1 && progress && !progress(Phase::Extract, 0, n)) {
        result.stopped = true;
        return;
    }
    // Frame i+1 is shown and captured while frame i is encoded and written on a second thread.
    // The saver stops at its first failure, so the files written are always frames 1 to k.
    wf::BackgroundSaver saver(m_files, kFramesWaitingToBeWritten);
    const auto written = [&saver] { return static_cast<std::int32_t>(saver.saved()); };
    try {
        for (std::int32_t i = 1; i <= n; ++i) {
            const int seekCode = m_surface.sendMediaCommand(seekCommand(i));
            if (seekCode != 0) {
                saver.finish();
                result.written = written();
                if (m_surface.mediaStopped()) {
                    result.stopped = true;
                    return;
                }
                result.failedFrame = i;
                result.failure = Failure{
                    FailureKind::FrameNotShown, clipPath, m_surface.mediaFailure(seekCode), {}};
                return;
            }
            if (m_yield) m_yield();
            if (auto encode = m_surface.captureFrameFile()) {
                saver.saveBitmap(std::move(encode), wf::frameFileFromPrefix(framePrefix, i));
            } else {
                saver.save(m_surface.capturePlayback(), wf::frameFileFromPrefix(framePrefix, i));
            }
            if (progress && !progress(Phase::Extract, i, n) && i < n) {
                saver.finish();
                result.written = written();
                result.stopped = true;
                return;
            }
        }
        saver.finish();
    } catch (const std::exception& error) {
        result.written = written();
        result.failure = wf::failureOf(error);
        return;
    }
    result.written = written();
    result.completed = true;
}

}  // namespace strobo::stages
