#include "cli/UtcOffset.h"

#include <ctime>

namespace kalvero {

std::optional<int> ParseUtcOffset(const std::string& text) {
    if (text == "Z" || text == "z") return 0;
    if (text.size() != 6 || (text[0] != '+' && text[0] != '-') || text[3] != ':') return std::nullopt;
    for (const std::size_t i : {1, 2, 4, 5}) {
        if (text[i] < '0' || text[i] > '9') return std::nullopt;
    }
    const int hours = (text[1] - '0') * 10 + (text[2] - '0');
    const int minutes = (text[4] - '0') * 10 + (text[5] - '0');
    if (minutes > 59) return std::nullopt;
    const int offset = (text[0] == '-' ? -1 : 1) * (hours * 60 + minutes);
    // The zones in use run from UTC-12:00 to UTC+14:00.
    if (offset < -12 * 60 || offset > 14 * 60) return std::nullopt;
    return offset;
}

int LocalOffsetMinutes(TimeOfDay time) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(time);
    std::tm local{};
    if (localtime_r(&seconds, &local) == nullptr) return 0;
    return static_cast<int>(local.tm_gmtoff / 60);
}

std::string SummaryTimeText(TimeOfDay time, const std::optional<int>& offsetMinutes) {
    return LocalTimeText(time, offsetMinutes ? *offsetMinutes : LocalOffsetMinutes(time));
}

}  // namespace kalvero
