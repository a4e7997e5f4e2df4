#include "tools/SceneConditions.h"

#include <algorithm>

namespace kalvero {

const std::vector<std::pair<std::string, SceneCondition>>& ConditionNames() {
    static const std::vector<std::pair<std::string, SceneCondition>> names{
        {"perspective", SceneCondition::Perspective},
        {"night", SceneCondition::Night},
        {"infrared", SceneCondition::Infrared},
        {"interlaced", SceneCondition::Interlaced},
        {"rolling-shutter", SceneCondition::RollingShutter},
        {"rain", SceneCondition::Rain},
        {"snow", SceneCondition::Snow},
        {"dirt", SceneCondition::Dirt},
        {"graffiti", SceneCondition::Graffiti},
        {"faded", SceneCondition::Faded},
        {"motion-blur", SceneCondition::MotionBlur},
        {"pole", SceneCondition::Pole},
        {"painted-twice", SceneCondition::PaintedTwice},
        {"group-gap", SceneCondition::GroupGap},
        {"fast", SceneCondition::Fast},
    };
    return names;
}

const std::vector<std::pair<std::string, SceneNegative>>& NegativeNames() {
    static const std::vector<std::pair<std::string, SceneNegative>> names{
        {"none", SceneNegative::None},
        {"seven-digits", SceneNegative::SevenDigits},
        {"six-digits-words", SceneNegative::SixDigitsWords},
        {"blank", SceneNegative::Blank},
        {"phone-number", SceneNegative::PhoneNumber},
        {"date", SceneNegative::Date},
        {"bad-check-digit", SceneNegative::BadCheckDigit},
        {"nine-digits", SceneNegative::NineDigits},
        {"ten-digits", SceneNegative::TenDigits},
        {"seven-plus-one", SceneNegative::SevenPlusOne},
        {"ladder", SceneNegative::Ladder},
        {"grille", SceneNegative::Grille},
        {"rivets", SceneNegative::Rivets},
    };
    return names;
}

namespace {

template <typename Table, typename Value>
std::string NameIn(const Table& table, Value value) {
    for (const auto& [name, v] : table) {
        if (v == value) {
            return name;
        }
    }
    return "";
}

template <typename Table>
std::string JoinNames(const Table& table, const std::string& separator) {
    std::string out;
    for (const auto& entry : table) {
        out += (out.empty() ? "" : separator) + entry.first;
    }
    return out;
}

}  // namespace

std::string ConditionName(SceneCondition condition) { return NameIn(ConditionNames(), condition); }
std::string NegativeName(SceneNegative negative) { return NameIn(NegativeNames(), negative); }
std::string ConditionNameList(const std::string& separator) { return JoinNames(ConditionNames(), separator); }
std::string NegativeNameList(const std::string& separator) { return JoinNames(NegativeNames(), separator); }

std::string ParseConditionList(const std::string& text, std::vector<SceneCondition>& conditions) {
    std::size_t start = 0;
    while (true) {
        const std::size_t comma = text.find(',', start);
        const std::string name = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        const auto& names = ConditionNames();
        const auto found = std::find_if(names.begin(), names.end(), [&](const auto& n) { return n.first == name; });
        if (found == names.end()) {
            return "unknown condition '" + name + "' (" + ConditionNameList(", ") + ")";
        }
        if (std::find(conditions.begin(), conditions.end(), found->second) == conditions.end()) {
            conditions.push_back(found->second);
        }
        if (comma == std::string::npos) {
            return "";
        }
        start = comma + 1;
    }
}

}  // namespace kalvero
