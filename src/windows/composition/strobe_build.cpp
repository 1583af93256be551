#include "windows/composition/strobe_build.h"

#include <algorithm>
#include <future>

#include "engine/fast_composition.h"
#include "engine/scaling.h"
#include "workfolder/file_names.h"
#include "workfolder/numbers.h"

namespace strobo::windows {

namespace wf = workfolder;

namespace {

engine::PackedImage cropTopLeft(const engine::PackedImage& image, int width, int height) {
    engine::PackedImage out(std::min(width, image.width), std::min(height, image.height));
    for (int y = 0; y < out.height; ++y) {
        std::copy_n(image.row(y), out.width, out.row(y));
    }
    return out;
}

std::string failureText(const std::string& what, const std::string& advice) {
    return "ストロボ写真の作成を中止しました。\n" + what + "\n" + advice;
}

}  // namespace

std::pair<std::int32_t, std::int32_t> scaledFrameSize(std::int32_t width, std::int32_t height,
                                                      std::int16_t percent) {
    const double f = percent / 100.0;
    return {wf::toInt32(f * width), wf::toInt32(f * height)};
}

StrobeBuild::StrobeBuild(wf::PlatformServices& services, std::string folder)
    : m_services(services),
      m_folder(std::move(folder)),
      m_composed(kComposedSurfaceWidth, kComposedSurfaceHeight, kComposedBackColor) {}

BuildReport StrobeBuild::run(std::string_view firstText, std::string_view lastText,
                             StrobeBuildView* view) {
    BuildReport report;
    m_cancelled = false;
    const std::string base = wf::baseStrobeImage(m_folder);
    try {
        const double s = wf::textToNumber(firstText);
        const double e = wf::textToNumber(wf::fixedBuffer255(lastText));
        const std::string first = wf::strobeFile(m_folder, wf::numberText(s));
        if (!m_services.fileExists(base)) {
            report.failure = failureText(
                "背景の画像が見つかりません: 「" + base + "」",
                "作業フォルダーに Sstrobe.bmp を置いてから、もう一度「実　行」を押してください。");
            return report;
        }
        m_services.copyFile(base, first);
        report.written.push_back(first);
        const std::int32_t last = wf::toInt32(e + 1);
        const std::int32_t from = wf::toInt32(s + 1);
        // Frame i+1 does not depend on step i, so it is read and shrunk on a second thread while
        // step i composes and saves. Its errors surface in the step that needs it.
        auto shrunkFrame = [this](std::int64_t i) {
            const engine::PackedImage frame = m_services.loadPicture(wf::frameFile(m_folder, i));
            const auto [w, h] = scaledFrameSize(frame.width, frame.height, kScalePercent);
            return engine::scaleImage(frame, w, h);
        };
        std::future<engine::PackedImage> next;
        if (from <= last) next = std::async(std::launch::async, shrunkFrame, std::int64_t{from});
        for (std::int64_t i = from; i <= last; ++i) {
            std::future<engine::PackedImage> current = std::move(next);
            if (i < last) next = std::async(std::launch::async, shrunkFrame, i + 1);
            step(static_cast<std::int32_t>(i), current, view, report);
            if (m_cancelled && i < last) {
                report.cancelled = true;
                return report;
            }
        }
        report.completed = true;
    } catch (const wf::OverflowError& error) {
        report.failure = failureText(error.what(), "使用する写真の範囲を確かめてください。");
    } catch (const std::exception& error) {
        report.failure = failureText(error.what(),
                                     "ファイルを確かめてから、もう一度「実　行」を押すか、「メニュ"
                                     "ーに戻る」を押してください。"
                                     "ここまでに作ったストロボ写真は残っています。");
    }
    return report;
}

void StrobeBuild::step(std::int32_t i, std::future<engine::PackedImage>& shrunkFrame,
                       StrobeBuildView* view, BuildReport& report) {
    const engine::PackedImage a = m_services.loadPicture(wf::strobeFile(m_folder, i - 1));
    const engine::PackedImage b = shrunkFrame.get();

    wf::WaitCursor wait(m_services);
    engine::composeImagesFast(a, b, m_composed, a.width, a.height, m_operation);
    if (view) view->showComposed(m_composed);
    m_services.yield();
    // What the window shows of C is exactly its top-left client area; save that directly.
    const std::string target = wf::strobeFile(m_folder, i);
    m_services.savePicture(cropTopLeft(m_composed, kStrobeWidth, kStrobeHeight), target);
    report.written.push_back(target);
}

FinishReport deleteFrameFiles(wf::PlatformServices& services, std::string_view folder,
                              std::string_view frameCountText) {
    FinishReport report;
    std::int32_t n = 0;
    try {
        n = wf::toInt32(wf::textToNumber(wf::fixedBuffer255(frameCountText)));
    } catch (const wf::ServiceError& error) {
        report.failures.push_back(error.what());
        return report;
    }
    for (std::int64_t i = 1; i <= n; ++i) {
        const std::string file = wf::frameFile(folder, i);
        if (!services.fileExists(file)) {
            ++report.missing;
            continue;
        }
        try {
            services.deleteFile(file);
            ++report.deleted;
        } catch (const wf::ServiceError& error) {
            report.failures.push_back(error.what());
        }
    }
    return report;
}

}  // namespace strobo::windows
