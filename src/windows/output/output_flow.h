#pragma once

#include <optional>
#include <string>

namespace strobo::windows {

class WindowSet;

// The save and animation windows work on the folder the extraction chose and the range typed on
// the contact sheet, read anew each time they are used. Why there is nothing to save or replay
// yet, in words for the user; nothing when the series of that folder and range is there.
std::optional<std::string> whyNoSeries(WindowSet& windows);

// The click of form1.Command3: hides form1 and brings Form4 up, its save button ready for the
// series. Refused with a message, changing nothing, while there is no series.
void openSaveWindow(WindowSet& windows);

// The click of form1.Command5: brings Form5 up and switches its timer on. Refused likewise.
void openAnimation(WindowSet& windows);

}  // namespace strobo::windows
