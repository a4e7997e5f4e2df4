#include "line_reader/ShortenedRows.h"

#include <algorithm>

namespace kalvero {

bool IsBrokenSubsequence(const std::string& shorter, const std::string& longer) {
    if (shorter.size() >= longer.size() || longer.find(shorter) != std::string::npos) return false;
    std::size_t at = 0;
    for (const char c : longer) {
        if (at < shorter.size() && shorter[at] == c) ++at;
    }
    return at == shorter.size();
}

void DropShortenedRows(std::vector<LineReading>& readings, const std::vector<LongerLine>& longer) {
    const auto shortened = [&](const LineReading& reading) {
        return std::any_of(longer.begin(), longer.end(), [&](const LongerLine& row) {
            const double covered = (row.box & reading.box).area();
            if (row.score < kLongerRowShare * reading.score) return false;
            return covered >= 0.5 * reading.box.area() && IsBrokenSubsequence(reading.text, row.text);
        });
    };
    readings.erase(std::remove_if(readings.begin(), readings.end(), shortened), readings.end());
}

}  // namespace kalvero
