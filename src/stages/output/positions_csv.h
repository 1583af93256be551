#pragma once

#include <string>
#include <vector>

#include "stages/measure/object_positions.h"

namespace strobo::stages {

// The positions as a table for a spreadsheet: a header line
// "image,frame,time_s,x_px,y_px,area_px", then one line per image in order of use. Times are in
// seconds to the microsecond, places in pixels to the hundredth; an image in which nothing moved
// has its place and area empty. Lines end in CRLF, as spreadsheets expect, with a point for the
// decimal mark whatever the locale.
std::string positionsCsvText(const std::vector<ObjectPosition>& positions);

// Writes the table, replacing an existing file only once the new one is whole. Throws
// workfolder::FailureError (PositionsNotWritten) when it cannot.
void writePositionsCsv(const std::string& file, const std::vector<ObjectPosition>& positions);

}  // namespace strobo::stages
