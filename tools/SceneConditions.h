#pragma once
#include <string>
#include <vector>

#include "tools/SceneOptions.h"

namespace kalvero {

// Command-line names of the scene conditions ("perspective", "night", ...)
// and of the negative kinds ("none", "seven-digits", "phone-number", ...),
// in the order the help text lists them.
const std::vector<std::pair<std::string, SceneCondition>>& ConditionNames();
const std::vector<std::pair<std::string, SceneNegative>>& NegativeNames();

// The name of a condition or negative kind.
std::string ConditionName(SceneCondition condition);
std::string NegativeName(SceneNegative negative);

// All names joined by `separator`, for messages and the help text.
std::string ConditionNameList(const std::string& separator);
std::string NegativeNameList(const std::string& separator);

// Parses "night,rain": comma-separated condition names, added to
// `conditions` in order (a repeat counts once). Returns an empty text on
// success, else a message naming the unknown name.
std::string ParseConditionList(const std::string& text, std::vector<SceneCondition>& conditions);

}  // namespace kalvero
