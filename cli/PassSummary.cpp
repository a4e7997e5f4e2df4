#include "cli/PassSummary.h"

#include <cstdio>

#include "command_line/PrintableText.h"
#include "cli/ReadReport.h"
#include "cli/UtcOffset.h"

namespace kalvero {

namespace {
std::string Fixed(double value, int decimals) {
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
    return buffer;
}

std::string Moving(TravelDirection direction) {
    return direction == TravelDirection::None ? "not moving" : std::string("moving ") + DirectionName(direction);
}
// "2026-12-08 11:00:00.080 +01:00 to 11:00:00.960, ": the pass's times of
// day, the end's date and offset left out when the start's hold for it too;
// nothing when the pass has none.
std::string TimesOfDay(const CarriagePass& p, const std::optional<int>& utcOffsetMinutes) {
    if (!p.startTime || !p.endTime) return std::string();
    const std::string start = SummaryTimeText(*p.startTime, utcOffsetMinutes);
    std::string end = SummaryTimeText(*p.endTime, utcOffsetMinutes);
    // "YYYY-MM-DD HH:MM:SS.mmm +HH:MM": the same date and offset shorten.
    if (start.size() == end.size() && start.compare(0, 11, end, 0, 11) == 0 &&
        start.compare(start.size() - 7, 7, end, end.size() - 7, 7) == 0) {
        end = end.substr(11, end.size() - 18);
    }
    return start + " to " + end + ", ";
}

}  // namespace

std::string PassSummary(const std::vector<CarriagePass>& passes, bool withFile,
                        const std::optional<int>& utcOffsetMinutes) {
    if (passes.empty()) {
        return std::string();
    }
    std::string text = "Carriage passes: " + std::to_string(passes.size()) + "\n";
    int index = 0;
    for (const CarriagePass& p : passes) {
        text += "  " + std::to_string(++index) + ". " + p.number + "  ";
        if (withFile) {
            text += PrintableText(p.file) + "  ";
        }
        text += "frames " + std::to_string(p.firstFrame) + "-" + std::to_string(p.lastFrame) + ", " +
                Fixed(p.startSeconds, 3) + "-" + Fixed(p.endSeconds, 3) + " s, " +
                TimesOfDay(p, utcOffsetMinutes) + "confirmed in frame " +
                std::to_string(p.firstConfirmedFrame) + ", read in " + std::to_string(p.FramesRead()) +
                (p.FramesRead() == 1 ? " frame" : " frames") + ", best score " +
                Fixed(p.bestScore, 3) + " in frame " + std::to_string(p.bestFrame) + ", " +
                Moving(p.direction) + ", check digit " + CheckDigitWord(p.checkDigit) + "\n";
    }
    return text;
}

}  // namespace kalvero
