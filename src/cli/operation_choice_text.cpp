#include "cli/operation_choice_text.h"

#include <cctype>

#include "cli/batch_commands.h"

namespace strobo::cli {

std::optional<engine::CompositionOperation> requireOperationChoice(const std::string& text) {
    std::string lower = text;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (lower == "auto" || text == "自動") return std::nullopt;
    return requireOperation(text);
}

std::string operationChoiceLine(stages::ObjectTone tone, engine::CompositionOperation operation) {
    const std::string toneText = tone == stages::ObjectTone::Darker ? "暗い物体 darker object"
                                                                    : "明るい物体 brighter object";
    return "重ね方 / operation: 自動 auto: " + toneText + " → " +
           std::string(engine::kOperationListTexts.at(static_cast<std::size_t>(operation)));
}

}  // namespace strobo::cli
