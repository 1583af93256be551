#pragma once

#include <optional>
#include <string>

#include "engine/composition.h"
#include "stages/composition/operation_choice.h"

namespace strobo::cli {

// An operation as the user names it, or "auto" / "自動" (nothing): the road chooses the
// whole-colour maximum or minimum from the clip. Throws InputError naming the text otherwise.
std::optional<engine::CompositionOperation> requireOperationChoice(const std::string& text);

// The line that tells what 自動 chose, e.g. "重ね方 / operation: 自動 auto: 暗い物体 darker
// object → 最小値".
std::string operationChoiceLine(stages::ObjectTone tone, engine::CompositionOperation operation);

}  // namespace strobo::cli
