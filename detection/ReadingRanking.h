#pragma once
#include <vector>

#include "recognizers/RecognitionResult.h"

namespace kalvero {

// Score bonus of a reading that was found twice: the glyph reader's fixed
// reward for a number that two scan modes agree on, which makes it outrank a
// single reading of similar score.
constexpr float kRepeatBonus = 0.2f;

// Merges repeated readings in place. Each position i, first to last but
// one, absorbs at most one later record with the same type code and text
// whose box overlaps record i's by more than half its width and half its
// height: the record with the higher rankValue (record i on equal values)
// stays, its score raised by 0.2, and the other leaves the list.
void MergeRepeatedReadings(std::vector<RecognitionResult>& readings);

// Sorts by score, highest first; equal scores keep their order.
void SortReadingsByScore(std::vector<RecognitionResult>& readings);

// The first min(size, maxResults) records of a sorted list (none for a
// maxResults below 1).
std::vector<RecognitionResult> BestReadings(const std::vector<RecognitionResult>& sorted,
                                            int maxResults);

}  // namespace kalvero
