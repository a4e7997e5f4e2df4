#include "cli/JsonOutput.h"

#include "recognition_common/CheckDigit.h"

namespace kalvero {

std::string JsonNumber(double value) { return JsonLine(JsonValue(value)); }

std::string JsonMilliseconds(double value) { return JsonLine(JsonValue(value), {{"", 2}}); }

JsonValue FrameJson(const FrameReport& report, const std::string* file) {
    JsonValue readings = JsonValue::array();
    for (const Reading& reading : report.readings) {
        JsonValue entry = {{"text", reading.text},
                           {"x", reading.box.x + report.zone.x},
                           {"y", reading.box.y + report.zone.y},
                           {"width", reading.box.width},
                           {"height", reading.box.height},
                           {"score", static_cast<double>(reading.score)},
                           {"check_digit", CheckDigitHolds(reading.text)},
                           {"engine", EngineName(reading.engine)}};
        if (!reading.digitScores.empty()) {
            JsonValue scores = JsonValue::array();
            for (const float score : reading.digitScores) {
                scores.push_back(static_cast<double>(score));
            }
            entry["digit_scores"] = std::move(scores);
        }
        readings.push_back(std::move(entry));
    }
    JsonValue line = {{"frame", report.frameNumber},
                      {"time_ms", report.recognitionMs},
                      {"readings", std::move(readings)},
                      {"confirmed", report.voteCode == 0 ? JsonValue(report.confirmed) : JsonValue()}};
    if (file != nullptr) {
        line["file"] = *file;
    }
    return line;
}

std::string FrameJsonLine(const FrameReport& report, const std::string* file) {
    return JsonLine(FrameJson(report, file), {{"time_ms", 2}});
}

}  // namespace kalvero
