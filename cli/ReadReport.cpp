#include "cli/ReadReport.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "cli/CheckDigit.h"

namespace kalvero {

const char* CheckDigitWord(bool holds) { return holds ? "holds" : "fails"; }

std::optional<std::string> ReadReport::AddFrame(const FrameReport& report) {
    ++framesRead_;
    if (!report.result.entries.empty()) {
        ++framesWithReading_;
        const FrameResultEntry& best = report.result.entries.front();
        const std::string name(best.name, strnlen(best.name, sizeof best.name));
        Stats& stats = bestReadings_[name];
        if (stats.bestReadingFrames == 0 || best.score > stats.bestScore) {
            stats.bestScore = best.score;
        }
        ++stats.bestReadingFrames;
    }
    if (report.voteCode != 0 || report.confirmed.empty()) {
        return std::nullopt;
    }
    const std::string& text = report.confirmed;
    auto known = std::find_if(confirmed_.begin(), confirmed_.end(),
                              [&](const ConfirmedNumber& c) { return c.text == text; });
    if (known == confirmed_.end()) {
        ConfirmedNumber number;
        number.text = text;
        number.firstConfirmedFrame = report.frameNumber;
        number.checkDigit = CheckDigitHolds(text);
        confirmed_.push_back(number);
        known = confirmed_.end() - 1;
    }
    known->lastConfirmedFrame = report.frameNumber;
    if (text == lastConfirmed_) {
        return std::nullopt;
    }
    lastConfirmed_ = text;
    return "Frame " + std::to_string(report.frameNumber) + ": confirmed " + text +
           ", check digit " + CheckDigitWord(known->checkDigit);
}

std::vector<ConfirmedNumber> ReadReport::Confirmed() const {
    std::vector<ConfirmedNumber> list = confirmed_;
    for (ConfirmedNumber& number : list) {
        const auto stats = bestReadings_.find(number.text);
        if (stats != bestReadings_.end()) {
            number.bestReadingFrames = stats->second.bestReadingFrames;
            number.bestScore = stats->second.bestScore;
        }
    }
    return list;
}

std::string ReadReport::Summary() const {
    const std::vector<ConfirmedNumber> list = Confirmed();
    std::string text;
    if (interrupted_) {
        text += "Interrupted after frame " + std::to_string(framesRead_) + ".\n";
    }
    text += "Summary: " + std::to_string(framesRead_) + (framesRead_ == 1 ? " frame" : " frames") +
            " read, a reading in " + std::to_string(framesWithReading_) + ", ";
    if (list.empty()) {
        text += "no number confirmed.\n";
        return text;
    }
    text += std::to_string(list.size()) + (list.size() == 1 ? " number" : " numbers") +
            " confirmed:\n";
    for (const ConfirmedNumber& n : list) {
        char score[32];
        std::snprintf(score, sizeof score, "%.3f", static_cast<double>(n.bestScore));
        text += "  " + n.text + "  confirmed in frames " + std::to_string(n.firstConfirmedFrame) +
                "-" + std::to_string(n.lastConfirmedFrame) + ", best reading in " +
                std::to_string(n.bestReadingFrames) +
                (n.bestReadingFrames == 1 ? " frame" : " frames") + ", best score " + score +
                ", check digit " + CheckDigitWord(n.checkDigit) + "\n";
    }
    return text;
}

}  // namespace kalvero
