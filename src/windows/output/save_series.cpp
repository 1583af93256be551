#include "windows/output/save_series.h"

#include <QDir>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <system_error>

#include "workfolder/file_names.h"
#include "workfolder/numbers.h"

namespace strobo::windows::output {

namespace fs = std::filesystem;
using workfolder::PlatformServices;
using workfolder::ServiceError;

namespace {

// The loop bounds of one save. Counters run in 64 bits so that a bound at the top of the 32-bit
// range ends its loop instead of wrapping.
struct SaveBounds {
    double s = 0;
    std::int64_t copyFirst = 0;
    std::int64_t copyLast = 0;
    std::int64_t deleteFirst = 0;
    std::int64_t deleteLast = 0;
};

SaveBounds boundsOf(const FrameRangeText& range) {
    SaveBounds b;
    b.s = workfolder::textToNumber(range.first);
    const double e = workfolder::textToNumber(range.last);
    b.copyFirst = workfolder::toInt32(b.s + 1);
    b.copyLast = workfolder::toInt32(e + 1);
    b.deleteFirst = workfolder::toInt32(b.s);
    b.deleteLast = b.copyLast;
    return b;
}

fs::path canonicalFolder(const fs::path& folder) {
    std::error_code ec;
    const fs::path absolute = fs::absolute(folder.empty() ? fs::path(".") : folder, ec);
    if (ec) return folder.lexically_normal();
    const fs::path canonical = fs::weakly_canonical(absolute, ec);
    return ec ? absolute.lexically_normal() : canonical;
}

// Strobe files of the series that a saved picture must not land on: saving onto one of them
// would have the delete loop remove the picture just saved, or copy a file onto itself.
class SeriesGuard {
  public:
    SeriesGuard(std::string_view workFolder, const std::string& prefix, const SaveBounds& bounds)
        : m_first(bounds.deleteFirst), m_last(bounds.deleteLast) {
        const fs::path prefixPath(prefix);
        const fs::path workPath(std::string{workFolder});
        m_sameFolder = canonicalFolder(prefixPath.parent_path()) == canonicalFolder(workPath);
        m_stem = prefixPath.filename().string();
    }

    // Whether the saved picture for k is one of the series' strobe files.
    bool collides(double k) const {
        if (!m_sameFolder) return false;
        const std::string name = m_stem + workfolder::numberText(k);
        static const std::string kStrobe = "Sstrobe";
        if (name.rfind(kStrobe, 0) != 0) return false;
        const std::string digits = name.substr(kStrobe.size());
        if (digits.empty() || digits.size() > 11) return false;
        std::size_t at = digits[0] == '-' ? 1 : 0;
        if (at == digits.size()) return false;
        for (std::size_t i = at; i < digits.size(); ++i) {
            if (digits[i] < '0' || digits[i] > '9') return false;
        }
        // A leading zero never appears in a strobe file's number.
        if (digits[at] == '0' && digits.size() > at + 1) return false;
        const std::int64_t n = std::stoll(digits);
        return n >= m_first && n <= m_last;
    }

  private:
    bool m_sameFolder = false;
    std::string m_stem;
    std::int64_t m_first;
    std::int64_t m_last;
};

}  // namespace

SaveOutcome saveSeries(PlatformServices& services, std::string_view workFolder,
                       const FrameRangeText& range) {
    workfolder::FileDialogRequest request;
    // There is no drive D: here; the dialog opens in the user's home folder instead.
    request.initialFolder = QDir::homePath().toStdString();
    const std::optional<std::string> chosen = services.showSaveDialog(request);
    if (!chosen || chosen->empty()) return SaveOutcome::Cancelled;

    const std::string prefix = workfolder::savePrefix(*chosen);
    SaveBounds bounds;
    try {
        bounds = boundsOf(range);
    } catch (const ServiceError& error) {
        services.messageBox(std::string("使用する写真の範囲が正しくありません。") + error.what());
        return SaveOutcome::CopyFailed;
    }

    // Every source is looked at before the first copy, so that a gap in the series is found while
    // nothing has been written yet.
    const SeriesGuard guard(workFolder, prefix, bounds);
    for (std::int64_t n = bounds.copyFirst; n <= bounds.copyLast; ++n) {
        const std::string source = workfolder::strobeFile(workFolder, n);
        if (!services.fileExists(source)) {
            services.messageBox("ストロボ写真が見つからないため保存できません: " +
                                workfolder::quoted(source));
            return SaveOutcome::CopyFailed;
        }
        const double k = static_cast<double>(n) - bounds.s;
        if (guard.collides(k)) {
            services.messageBox(
                "保存先がストロボ写真と同じ名前になるため保存できません。別の名前を選んでください:"
                " " +
                workfolder::quoted(workfolder::savedPicture(prefix, k)));
            return SaveOutcome::CopyFailed;
        }
    }

    workfolder::WaitCursor wait(services);
    try {
        for (std::int64_t n = bounds.copyFirst; n <= bounds.copyLast; ++n) {
            const double k = static_cast<double>(n) - bounds.s;
            services.copyFile(workfolder::strobeFile(workFolder, n),
                              workfolder::savedPicture(prefix, k));
        }
    } catch (const ServiceError& error) {
        services.messageBox(
            std::string("保存できませんでした。作業フォルダーのストロボ写真はそのまま"
                        "残してあります。\n") +
            error.what());
        return SaveOutcome::CopyFailed;
    }

    try {
        for (std::int64_t n = bounds.deleteFirst; n <= bounds.deleteLast; ++n) {
            services.deleteFile(workfolder::strobeFile(workFolder, n));
        }
    } catch (const ServiceError& error) {
        services.messageBox(
            std::string("写真は保存しましたが、作業フォルダーのストロボ写真を削除でき"
                        "ませんでした。\n") +
            error.what());
        return SaveOutcome::DeleteFailed;
    }
    return SaveOutcome::Saved;
}

bool resetBaseImage(PlatformServices& services, std::string_view workFolder) {
    const std::string pristine = workfolder::pristineBaseImage(workFolder);
    if (!services.fileExists(pristine)) {
        services.messageBox("元の背景画像が見つからないため初期化できません: " +
                            workfolder::quoted(pristine));
        return false;
    }
    try {
        services.copyFile(pristine, workfolder::baseStrobeImage(workFolder));
    } catch (const ServiceError& error) {
        services.messageBox(std::string("初期化できませんでした。\n") + error.what());
        return false;
    }
    return true;
}

}  // namespace strobo::windows::output
