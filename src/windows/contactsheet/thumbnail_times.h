#pragma once

#include <QString>
#include <optional>
#include <vector>

#include "stages/extraction/frame_facts.h"

namespace strobo::windows {

class ContactSheetWindow;

// Shows beside each thumbnail's number, in the free space of its number row, when the frame it
// shows was shown in the clip (frame file k + 1 for thumbnail k), for the thumbnails 1 to
// `shown`. Without facts, every time is cleared: frame files of other origins have none.
void showThumbnailTimes(ContactSheetWindow& form3, const std::optional<stages::FrameFacts>& facts,
                        int shown);

// A time as the contact sheet shows it: seconds to the millisecond, "1.234秒".
QString thumbnailTimeText(double seconds);

}  // namespace strobo::windows
