#include "windows/contactsheet/range_check.h"

#include <cmath>

#include "workfolder/numbers.h"

namespace strobo::windows {

namespace wf = workfolder;

namespace {

bool isBlank(const std::string& text) {
    return wf::foldFullWidth(text).find_first_not_of(" \t\r\n") == std::string::npos;
}

// The typed number as a whole number, or why it is not one.
std::variant<std::int32_t, std::string> wholeNumber(const std::string& text, const char* which) {
    if (isBlank(text)) return std::string(which) + "の番号が入力されていません。";
    double value = 0;
    try {
        value = wf::strictTextToNumber(text);
    } catch (const wf::FailureError&) {
        return std::string(which) + "の番号" + wf::quoted(text) + "は数ではありません。";
    }
    if (!std::isfinite(value) || std::floor(value) != value || std::fabs(value) > 2e9) {
        return std::string(which) + "の番号" + wf::quoted(text) + "は使えません。";
    }
    return static_cast<std::int32_t>(value);
}

std::string availableText(std::int32_t frameCount) {
    if (frameCount < 2) {
        return "使える写真がありません（フレームは " + wf::numberText(frameCount) + " 枚です）。";
    }
    return "写真は 0 番から " + wf::numberText(frameCount - 1) + " 番まであります（フレーム " +
           wf::numberText(frameCount) + " 枚）。";
}

}  // namespace

std::variant<UnderstoodRange, std::string> understandRange(const std::string& firstText,
                                                           const std::string& lastText,
                                                           std::int32_t frameCount) {
    const auto first = wholeNumber(firstText, "最初");
    if (const auto* why = std::get_if<std::string>(&first))
        return *why + "\n" + availableText(frameCount);
    const auto last = wholeNumber(lastText, "最後");
    if (const auto* why = std::get_if<std::string>(&last))
        return *why + "\n" + availableText(frameCount);
    const UnderstoodRange range{std::get<std::int32_t>(first), std::get<std::int32_t>(last)};
    if (range.first > range.last) {
        return wf::numberText(range.first) + " 番から " + wf::numberText(range.last) +
               " 番までには写真がありません。最初の番号を最後の番号以下にしてください。\n" +
               availableText(frameCount);
    }
    // Thumbnail 0 is not shown (frame file 1 stands under no number) but is a frame all the same.
    if (range.first < 0 || range.last > frameCount - 1) {
        return wf::numberText(range.first) + " 番から " + wf::numberText(range.last) +
               " 番までは使えません。\n" + availableText(frameCount);
    }
    return range;
}

std::string understoodText(const UnderstoodRange& range, std::int32_t every) {
    const std::string span =
        wf::numberText(range.first) + " 番から " + wf::numberText(range.last) + " 番まで";
    if (every <= 1) return span + "、" + wf::numberText(range.count()) + " 枚";
    const std::int32_t used = (range.last - range.first) / every + 1;
    return span + "の " + wf::numberText(every) + " 枚ごと、" + wf::numberText(used) + " 枚";
}

}  // namespace strobo::windows
