#pragma once
#include <map>
#include <string>

#include <nlohmann/json.hpp>

namespace kalvero {

// A value of the reader's JSON output, its keys in the order they were set.
using JsonValue = nlohmann::ordered_json;

// Decimals a float is written with, by the key it stands under (an array's
// elements take their array's key); keys not listed take kDefaultDecimals.
using JsonDecimals = std::map<std::string, int>;
constexpr int kDefaultDecimals = 3;

// `text` as a JSON string literal, quotes included, escaped by nlohmann.
// Control characters are escaped; every byte that is not part of valid UTF-8
// becomes U+FFFD (nlohmann's replace), written as the escape \ufffd so that
// a replaced byte shows in the raw text; DEL is written as \u007f. Valid
// UTF-8 passes unchanged.
std::string JsonString(const std::string& text);

// `value` on one line in the layout of our documented formats: ", " between
// members and elements, ": " after keys, no space inside brackets. Integers,
// booleans and null as nlohmann writes them; floats with fixed decimals
// (`decimals`), null when not finite.
std::string JsonLine(const JsonValue& value, const JsonDecimals& decimals = {});

}  // namespace kalvero
