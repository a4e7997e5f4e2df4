#pragma once
#include <string>
#include <utility>
#include <vector>

#include "serve/Delivery.h"

namespace kalvero {

// How both stores write the values of a pass and a delivery into their
// columns, and read them back.

// A pass's scores as the JSON text of its scores column: [[frame, score], ...].
std::string ScoresColumn(const std::vector<std::pair<int, float>>& scores);
// Throws StoreError when `text` is not what ScoresColumn writes.
std::vector<std::pair<int, float>> ParseScoresColumn(const std::string& text);

// "pass" or "correction".
std::string KindColumn(DeliveryKind kind);
// Throws StoreError for any other text.
DeliveryKind ParseKindColumn(const std::string& text);

// The LIKE pattern (escape character '\') that finds `fragment` anywhere in a
// number: '%', '_' and '\' in `fragment` stand for themselves.
std::string ContainsPattern(const std::string& fragment);

}  // namespace kalvero
