#include "detection/ReadingRanking.h"

#include <algorithm>
#include <cstring>

namespace kalvero {

namespace {

// Whether `later` covers more than half of `first`'s width and height.
bool OverlapsByHalf(const RecognitionResult& first, const RecognitionResult& later) {
    const int overlapWidth = std::min(first.x + first.width, later.x + later.width) -
                             std::max(first.x, later.x);
    const int overlapHeight = std::min(first.y + first.height, later.y + later.height) -
                              std::max(first.y, later.y);
    return overlapWidth > 0.5 * first.width && overlapHeight > 0.5 * first.height;
}

bool IsRepeat(const RecognitionResult& first, const RecognitionResult& later) {
    return first.typeCode == later.typeCode &&
           std::strncmp(first.text, later.text, kResultTextSize) == 0 &&
           OverlapsByHalf(first, later);
}

}  // namespace

void MergeRepeatedReadings(std::vector<RecognitionResult>& readings) {
    for (std::size_t i = 0; i + 1 < readings.size(); ++i) {
        for (std::size_t b = i + 1; b < readings.size(); ++b) {
            if (!IsRepeat(readings[i], readings[b])) {
                continue;
            }
            const bool laterWins = readings[b].rankValue > readings[i].rankValue;
            const std::size_t winner = laterWins ? b : i;
            const std::size_t loser = laterWins ? i : b;
            readings[winner].score += kRepeatBonus;
            readings.erase(readings.begin() + static_cast<std::ptrdiff_t>(loser));
            break;
        }
    }
}

void SortReadingsByScore(std::vector<RecognitionResult>& readings) {
    std::stable_sort(readings.begin(), readings.end(),
                     [](const RecognitionResult& a, const RecognitionResult& b) {
                         return a.score > b.score;
                     });
}

std::vector<RecognitionResult> BestReadings(const std::vector<RecognitionResult>& sorted,
                                            int maxResults) {
    const std::size_t count =
        maxResults < 1 ? 0 : std::min(sorted.size(), static_cast<std::size_t>(maxResults));
    return std::vector<RecognitionResult>(sorted.begin(),
                                          sorted.begin() + static_cast<std::ptrdiff_t>(count));
}

}  // namespace kalvero
