#include "worker/StreakConfirmation.h"

#include <algorithm>

#include "recognition_common/CheckDigit.h"

namespace kalvero {

StreakConfirmation::StreakConfirmation(int framesNeeded, bool checkDigitRule)
    : framesNeeded_(framesNeeded), checkDigitRule_(checkDigitRule) {}

std::string StreakConfirmation::Take(const std::vector<Reading>& readings) {
    // This frame's qualifying texts, once each, with their best score.
    std::vector<std::pair<std::string, float>> seen;
    for (const Reading& reading : readings) {
        if (reading.text.size() != kNumberLength) continue;
        if (checkDigitRule_ && !CheckDigitHolds(reading.text)) continue;
        // Under the rule, a doubt the check digit settles is no doubt.
        const float confidence = checkDigitRule_ ? std::max(reading.score, reading.checkedScore) : reading.score;
        if (confidence < kMinScore) continue;
        auto same = std::find_if(seen.begin(), seen.end(), [&](const auto& s) { return s.first == reading.text; });
        if (same == seen.end()) {
            seen.emplace_back(reading.text, reading.score);
        } else {
            same->second = std::max(same->second, reading.score);
        }
    }
    std::vector<Streak> next;
    next.reserve(seen.size());
    for (const auto& textAndScore : seen) {
        const std::string& text = textAndScore.first;
        auto before = std::find_if(streaks_.begin(), streaks_.end(), [&](const Streak& s) { return s.text == text; });
        next.push_back(Streak{text, before == streaks_.end() ? 1 : before->frames + 1});
    }
    streaks_ = std::move(next);
    if (framesNeeded_ < 1) return std::string();

    const Streak* best = nullptr;
    float bestScore = 0.0f;
    for (std::size_t i = 0; i < streaks_.size(); ++i) {
        const Streak& streak = streaks_[i];
        if (streak.frames < framesNeeded_) continue;
        const float score = seen[i].second;
        if (best == nullptr || streak.frames > best->frames || (streak.frames == best->frames && score > bestScore)) {
            best = &streak;
            bestScore = score;
        }
    }
    return best == nullptr ? std::string() : best->text;
}

}  // namespace kalvero
