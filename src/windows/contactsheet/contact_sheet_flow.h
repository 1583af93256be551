#pragma once

namespace strobo::windows {

class WindowSet;

// The click of form1.Command2: shows Form3 and loads thumbnail k (1 to N - 1, at most 90) with
// frame file k + 1, N being the frame count in Form2.Text1. Refused with a message before any
// extraction has left a frame count, and when fewer than two frames give no picture to show.
// Frames beyond the 90 thumbnails are left out, and a frame file that cannot be read leaves its
// thumbnail empty; either is said once.
void openContactSheet(WindowSet& windows);

// The click of Form3.Command1, before it hands over: says what range it understood ("3 番から 8
// 番まで、6 枚") and returns true, or refuses a range with no picture or one beyond the frames,
// saying why, and returns false.
bool acceptTypedRange(WindowSet& windows);

}  // namespace strobo::windows
