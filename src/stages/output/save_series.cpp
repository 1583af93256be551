#include "stages/output/save_series.h"

#include <cstdint>
#include <filesystem>
#include <system_error>

#include "workfolder/file_names.h"
#include "workfolder/numbers.h"

namespace strobo::stages {

namespace fs = std::filesystem;
namespace wf = workfolder;
using wf::Failure;
using wf::FailureKind;

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

SaveBounds boundsOf(const FrameRange& range) {
    SaveBounds b;
    b.s = range.first;
    b.copyFirst = workfolder::toInt32(b.s + 1);
    b.copyLast = workfolder::toInt32(range.last + 1);
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

SaveResult saveSeries(wf::FileServices& files, std::string_view workFolder, const FrameRange& range,
                      const std::string& prefix) {
    SaveResult result;
    const auto fail = [&result](SaveOutcome outcome, Failure failure) {
        result.outcome = outcome;
        result.failure = std::move(failure);
        return result;
    };
    SaveBounds bounds;
    try {
        bounds = boundsOf(range);
    } catch (const wf::FailureError& error) {
        return fail(SaveOutcome::CopyFailed, error.failure());
    }

    // Every source is looked at before the first copy, so that a gap in the series is found while
    // nothing has been written yet.
    const SeriesGuard guard(workFolder, prefix, bounds);
    for (std::int64_t n = bounds.copyFirst; n <= bounds.copyLast; ++n) {
        const std::string source = wf::strobeFile(workFolder, n);
        if (!files.fileExists(source)) {
            return fail(SaveOutcome::CopyFailed,
                        Failure{FailureKind::StrobeMissing, source, {}, {}});
        }
        const double k = static_cast<double>(n) - bounds.s;
        if (guard.collides(k)) {
            return fail(SaveOutcome::CopyFailed,
                        Failure{FailureKind::SaveOntoSeries, wf::savedPicture(prefix, k), {}, {}});
        }
    }

    try {
        for (std::int64_t n = bounds.copyFirst; n <= bounds.copyLast; ++n) {
            const std::string picture = wf::savedPicture(prefix, static_cast<double>(n) - bounds.s);
            files.copyFile(wf::strobeFile(workFolder, n), picture);
            result.saved.push_back(picture);
        }
    } catch (const wf::FailureError& error) {
        return fail(SaveOutcome::CopyFailed, error.failure());
    }

    try {
        for (std::int64_t n = bounds.deleteFirst; n <= bounds.deleteLast; ++n) {
            files.deleteFile(wf::strobeFile(workFolder, n));
        }
    } catch (const wf::FailureError& error) {
        return fail(SaveOutcome::DeleteFailed, error.failure());
    }
    return result;
}

std::optional<Failure> resetBaseImage(wf::FileServices& files, std::string_view workFolder) {
    const std::string pristine = wf::pristineBaseImage(workFolder);
    if (!files.fileExists(pristine)) return Failure{FailureKind::PristineMissing, pristine, {}, {}};
    try {
        files.copyFile(pristine, wf::baseStrobeImage(workFolder));
    } catch (const wf::FailureError& error) {
        return error.failure();
    }
    return std::nullopt;
}

}  // namespace strobo::stages
