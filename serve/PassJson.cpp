#include "serve/PassJson.h"

#include "serve/WebRedactedUrl.h"

namespace kalvero {

namespace {

JsonValue TextOrNull(const std::string& text) { return text.empty() ? JsonValue() : JsonValue(text); }

}  // namespace

JsonValue PassJson(const StoredPass& pass, bool withScores) {
    JsonValue json = {{"id", pass.id},
                      {"number", pass.number},
                      {"corrected_number", TextOrNull(pass.correctedNumber)},
                      {"corrected_at", TextOrNull(pass.correctedAt)},
                      {"camera", pass.camera},
                      {"start_time", pass.startTime},
                      {"end_time", pass.endTime},
                      {"frames_read", pass.framesRead},
                      {"direction", pass.direction},
                      {"best_score", pass.bestScore},
                      {"best_frame", pass.bestFrame},
                      {"check_digit", pass.checkDigit}};
    // The record's other fields follow; a record that is not a JSON object
    // (an older or damaged one) adds nothing.
    const JsonValue record = JsonValue::parse(pass.record, nullptr, false);
    if (record.is_object()) {
        for (const auto& [key, value] : record.items()) {
            if (json.contains(key)) continue;
            json[key] = key == "file" && value.is_string() ? JsonValue(RedactedUrl(value.get<std::string>())) : value;
        }
    }
    if (withScores) {
        JsonValue scores = JsonValue::array();
        for (const auto& [frame, score] : pass.scores) {
            scores.push_back({frame, static_cast<double>(score)});
        }
        json["scores"] = std::move(scores);
    }
    return json;
}

std::string PassJsonText(const StoredPass& pass, bool withScores) { return JsonLine(PassJson(pass, withScores)); }

std::string PassListJsonText(const std::vector<StoredPass>& passes) {
    JsonValue list = JsonValue::array();
    for (const StoredPass& pass : passes) {
        list.push_back(PassJson(pass, false));
    }
    return JsonLine(list);
}

}  // namespace kalvero
