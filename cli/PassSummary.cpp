#include "cli/PassSummary.h"

#include <cstdio>

#include "command_line/PrintableText.h"
#include "cli/ReadReport.h"

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
}  // namespace

std::string PassSummary(const std::vector<CarriagePass>& passes, bool withFile) {
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
                Fixed(p.startSeconds, 3) + "-" + Fixed(p.endSeconds, 3) + " s, confirmed in frame " +
                std::to_string(p.firstConfirmedFrame) + ", read in " + std::to_string(p.FramesRead()) +
                (p.FramesRead() == 1 ? " frame" : " frames") + ", best score " +
                Fixed(p.bestScore, 3) + " in frame " + std::to_string(p.bestFrame) + ", " +
                Moving(p.direction) + ", check digit " + CheckDigitWord(p.checkDigit) + "\n";
    }
    return text;
}

}  // namespace kalvero
