#pragma once

#include <cstdint>
#include <string>
#include <variant>

namespace strobo::windows {

// The thumbnail range the user typed, as the contact sheet understood it: thumbnails first to
// last, that is frame files first + 1 to last + 1.
struct UnderstoodRange {
    std::int32_t first = 0;
    std::int32_t last = 0;
    std::int32_t count() const { return last - first + 1; }
};

// Reads the two typed numbers against the frame count N. A range is taken when both are whole
// numbers and it runs forward within thumbnails 0 to N - 1 (0, frame file 1, has no thumbnail);
// otherwise the answer is the reason, in Japanese, naming what was typed and how many pictures
// there are.
std::variant<UnderstoodRange, std::string> understandRange(const std::string& firstText,
                                                           const std::string& lastText,
                                                           std::int32_t frameCount);

// "3 番から 8 番まで、6 枚" (or "0 番から 27 番までの 3 枚ごと、10 枚" with an interval): what the
// sheet tells the user before handing over.
std::string understoodText(const UnderstoodRange& range, std::int32_t every = 1);

}  // namespace strobo::windows
