#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace strobo::windows {

class WindowSet;

// The question asked when the work folder has no base strobe image, and its choices in the order
// of stages::BaseImageKind (median, first frame, black); キャンセル is added by the dialog.
extern const char* const kBaseImageOfferText;
std::vector<std::string> baseImageOfferChoices();

// When the work folder lacks the base strobe image, offers to make it and its pristine copy from
// the frame files 1 .. frameCount, and says where they were written. A pristine copy already
// there is replaced only when the user agrees. Returns whether the base strobe image is there
// afterwards.
bool offerBaseImages(WindowSet& windows, const std::string& folder, std::int64_t frameCount);

}  // namespace strobo::windows
