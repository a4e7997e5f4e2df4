#pragma once
#include <string>
#include <vector>

#include <opencv2/core.hpp>

#include "line_reader/ReadLines.h"

namespace kalvero {

// A row of more than eight digits read over some place of the zone, and
// the score it was read with.
struct LongerLine {
    std::string text;
    cv::Rect box;
    float score = 1.0f;
};

// A longer row read with less than this share of a reading's score is a
// misreading of the same digits (a crop too long, a gap read as a digit),
// not evidence of more digits: it drops nothing.
constexpr float kLongerRowShare = 0.5f;

// True when `shorter` can be had from `longer` by leaving out characters
// but is not one unbroken piece of it ("28372811" of "283072811", not
// "83072811").
bool IsBrokenSubsequence(const std::string& shorter, const std::string& longer);

// Drops every reading that a longer row read over the same place (its box
// covering at least half of the reading's, its score at least
// kLongerRowShare of the reading's) holds with digits left out: nine
// painted digits of which a wider or narrower crop lost one are not a
// number. A reading that is an unbroken piece of the longer row (a number
// with a stray digit beside it) stays. Order kept.
void DropShortenedRows(std::vector<LineReading>& readings, const std::vector<LongerLine>& longer);

}  // namespace kalvero
