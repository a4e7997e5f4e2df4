#include "detection/FrameReadings.h"

#include <algorithm>
#include <cstring>


namespace kalvero {

std::vector<Reading> ReadingsOf(const FrameResult& result) {
    std::vector<Reading> readings;
    readings.reserve(result.entries.size());
    for (const FrameResultEntry& entry : result.entries) {
        Reading reading;
        reading.text.assign(entry.name, ::strnlen(entry.name, sizeof(entry.name)));
        reading.box = cv::Rect(entry.x, entry.y, entry.width, entry.height);
        reading.score = entry.score;
        reading.engine = result.engine;
        readings.push_back(std::move(reading));
    }
    return readings;
}

FrameResult FrameResultOf(const std::vector<Reading>& readings, RecognitionEngine engine) {
    FrameResult result;
    result.engine = engine;
    result.entries.reserve(readings.size());
    for (const Reading& reading : readings) {
        FrameResultEntry entry;
        if (reading.text.size() >= sizeof(entry.name)) {
            continue;
        }
        std::memcpy(entry.name, reading.text.data(), reading.text.size());
        entry.x = reading.box.x;
        entry.y = reading.box.y;
        entry.width = reading.box.width;
        entry.height = reading.box.height;
        entry.score = reading.score;
        result.entries.push_back(entry);
    }
    return result;
}

}  // namespace kalvero
