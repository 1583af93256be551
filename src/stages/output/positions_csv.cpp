#include "stages/output/positions_csv.h"

#include <cinttypes>
#include <cstdio>
#include <span>
#include <system_error>

#include "workfolder/atomic_file.h"
#include "workfolder/file_failure.h"

namespace strobo::stages {

namespace wf = workfolder;

namespace {

// snprintf follows the C locale, which the program never changes: the decimal mark stays a
// point however the desktop is set.
template <typename... Values>
std::string formatted(const char* format, Values... values) {
    char text[96];
    const int n = std::snprintf(text, sizeof text, format, values...);
    return std::string(text, static_cast<std::size_t>(std::max(n, 0)));
}

}  // namespace

std::string positionsCsvText(const std::vector<ObjectPosition>& positions) {
    std::string text = "image,frame,time_s,x_px,y_px,area_px\r\n";
    for (const ObjectPosition& p : positions) {
        text += formatted("%d,%" PRId64 ",%.6f,", p.image, p.frame, p.time);
        if (p.object) {
            text += formatted("%.2f,%.2f,%" PRId64, p.object->x, p.object->y, p.object->area);
        } else {
            text += ",,";
        }
        text += "\r\n";
    }
    return text;
}

void writePositionsCsv(const std::string& file, const std::vector<ObjectPosition>& positions) {
    const std::string text = positionsCsvText(positions);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
    if (const std::error_code ec = wf::replaceFileContents(file, {bytes, text.size()})) {
        throw wf::FailureError(
            wf::Failure{wf::FailureKind::PositionsNotWritten, file, {}, wf::osReasonText(ec)});
    }
}

}  // namespace strobo::stages
