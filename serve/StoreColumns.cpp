#include "serve/StoreColumns.h"

#include <nlohmann/json.hpp>

#include "serve/PassStore.h"

namespace kalvero {

std::string ScoresColumn(const std::vector<std::pair<int, float>>& scores) {
    nlohmann::json array = nlohmann::json::array();
    for (const auto& [frame, score] : scores) array.push_back({frame, static_cast<double>(score)});
    return array.dump();
}

std::vector<std::pair<int, float>> ParseScoresColumn(const std::string& text) {
    const nlohmann::json array = nlohmann::json::parse(text, nullptr, false);
    if (!array.is_array()) throw StoreError("a stored pass's scores are not a JSON array: " + text.substr(0, 80));
    std::vector<std::pair<int, float>> scores;
    scores.reserve(array.size());
    for (const nlohmann::json& item : array) {
        if (!item.is_array() || item.size() != 2 || !item[0].is_number_integer() || !item[1].is_number()) {
            throw StoreError("a stored pass's scores hold an entry that is not [frame, score]: " + item.dump());
        }
        scores.emplace_back(item[0].get<int>(), static_cast<float>(item[1].get<double>()));
    }
    return scores;
}

std::string KindColumn(DeliveryKind kind) { return kind == DeliveryKind::Correction ? "correction" : "pass"; }

DeliveryKind ParseKindColumn(const std::string& text) {
    if (text == "pass") return DeliveryKind::Pass;
    if (text == "correction") return DeliveryKind::Correction;
    throw StoreError("a delivery in the outbox has an unknown kind \"" + text + "\"");
}

std::string ContainsPattern(const std::string& fragment) {
    std::string pattern = "%";
    for (const char c : fragment) {
        if (c == '%' || c == '_' || c == '\\') pattern += '\\';
        pattern += c;
    }
    pattern += '%';
    return pattern;
}

}  // namespace kalvero
