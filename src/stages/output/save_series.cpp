#include "stages/output/save_series.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <system_error>
#include <utility>

#include "workfolder/file_identity.h"
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

// When `name` is, in any case, the name of one of the work folder's own files, that name as the
// program spells it: frame files test*.bmp, strobe files Sstrobe*.bmp (the base strobe image
// Sstrobe.bmp among them) and the pristine base image Stest0.bmp.
std::optional<std::string> workFileName(const std::string& name) {
    std::string lower = name;
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    constexpr std::string_view kBmp = ".bmp";
    if (!lower.ends_with(kBmp)) return std::nullopt;
    if (lower == "stest0.bmp") return "Stest0.bmp";
    constexpr std::pair<std::string_view, std::string_view> kPrefixes[] = {{"test", "test"},
                                                                           {"sstrobe", "Sstrobe"}};
    for (const auto& [lowerPrefix, spelt] : kPrefixes) {
        if (lower.size() < lowerPrefix.size() + kBmp.size() || !lower.starts_with(lowerPrefix))
            continue;
        const std::size_t middle = name.size() - lowerPrefix.size() - kBmp.size();
        return std::string(spelt) + name.substr(lowerPrefix.size(), middle) + std::string(kBmp);
    }
    return std::nullopt;
}

// The work folder's own files, which a saved picture must never replace: the frames and the
// base images the next build needs, and strobe files, which the delete loop would remove with the
// picture saved in them. Files are told by what they are on disk, not by path text, so a work
// folder reached through a link, a bind mount or a case-blind file system is still itself.
class WorkFilesGuard {
  public:
    explicit WorkFilesGuard(std::string_view workFolder)
        : m_folder(workFolder), m_existing(existingWorkFiles(m_folder)) {}

    bool refuses(const std::string& target) const {
        if (m_existing.landsOn(target)) return true;
        // A name of the work folder's kind that does not exist yet, written into the work folder.
        const auto name = workFileName(fs::path(target).filename().string());
        return name && wf::sameFile(target, m_folder + wf::separator() + *name);
    }

  private:
    static wf::FileIdentitySet existingWorkFiles(const std::string& folder) {
        std::vector<std::string> files;
        std::error_code ec;
        for (fs::directory_iterator it(folder.empty() ? fs::path(".") : fs::path(folder), ec), end;
             !ec && it != end; it.increment(ec)) {
            const std::string name = it->path().filename().string();
            if (workFileName(name) == name) files.push_back(folder + wf::separator() + name);
        }
        return wf::FileIdentitySet(files);
    }

    std::string m_folder;
    wf::FileIdentitySet m_existing;
};

// Why the range cannot be saved before anything is looked at: NumberOutOfRange or NumberIsNaN
// when a bound is no 32-bit number, NothingToSave when it holds no picture (e < s).
std::optional<Failure> checkSaveRange(const FrameRange& range) {
    SaveBounds bounds;
    try {
        bounds = boundsOf(range);
    } catch (const wf::FailureError& error) {
        return error.failure();
    }
    if (bounds.copyFirst > bounds.copyLast) {
        return Failure{FailureKind::NothingToSave,
                       {},
                       wf::numberText(range.first) + " 〜 " + wf::numberText(range.last),
                       {}};
    }
    return std::nullopt;
}

}  // namespace

SaveResult saveSeries(wf::FileServices& files, std::string_view workFolder, const FrameRange& range,
                      const std::string& prefix, const StopRequest& stopRequested) {
    SaveResult result;
    const auto fail = [&result](SaveOutcome outcome, Failure failure) {
        result.outcome = outcome;
        result.failure = std::move(failure);
        return result;
    };
    const auto stopNow = [&stopRequested, &result] {
        if (!stopRequested || !stopRequested()) return false;
        result.outcome = SaveOutcome::Stopped;
        return true;
    };
    if (auto refused = checkSaveRange(range)) return fail(SaveOutcome::CopyFailed, *refused);
    const SaveBounds bounds = boundsOf(range);

    // Every source and every name is looked at before the first copy, so that a gap in the series
    // or a name that would replace a work file is found while nothing has been written yet.
    const WorkFilesGuard guard(workFolder);
    for (std::int64_t n = bounds.copyFirst; n <= bounds.copyLast; ++n) {
        const std::string picture = wf::savedPicture(prefix, static_cast<double>(n) - bounds.s);
        if (guard.refuses(picture)) {
            return fail(SaveOutcome::CopyFailed,
                        Failure{FailureKind::SaveOntoWorkFiles, picture, {}, {}});
        }
        const std::string source = wf::strobeFile(workFolder, n);
        if (!files.fileExists(source)) {
            return fail(SaveOutcome::CopyFailed,
                        Failure{FailureKind::StrobeMissing, source, {}, {}});
        }
    }

    try {
        for (std::int64_t n = bounds.copyFirst; n <= bounds.copyLast; ++n) {
            if (stopNow()) return result;
            const std::string picture = wf::savedPicture(prefix, static_cast<double>(n) - bounds.s);
            files.copyFile(wf::strobeFile(workFolder, n), picture);
            result.saved.push_back(picture);
        }
    } catch (const wf::FailureError& error) {
        return fail(SaveOutcome::CopyFailed, error.failure());
    }

    try {
        for (std::int64_t n = bounds.deleteFirst; n <= bounds.deleteLast; ++n) {
            if (stopNow()) return result;
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
