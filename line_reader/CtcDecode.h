#pragma once
#include <array>
#include <string>
#include <utility>
#include <vector>

#include <opencv2/core.hpp>

namespace kalvero {

// What the greedy CTC decoder makes of one line's logits.
struct CtcReading {
    std::string text;                // the digits read, left to right
    std::vector<float> digitScores;  // per digit: its peak probability over its columns
    float score = 0.0f;              // product of digitScores; 1 for no digit
    // Per digit: the first and last column of its run, where the model saw it.
    std::vector<std::pair<int, int>> digitColumns;
    // Per digit: the chances of the ten digits in the column of its peak,
    // relative to their sum there (the blank left out).
    std::vector<std::array<float, 10>> digitChoices;
};

// Greedy CTC decoding of one line's logits (rows: class 0 = blank, class
// k + 1 = digit k; columns: positions along the line; CV_32F raw logits).
// Each column is turned into probabilities by a softmax over its classes
// and takes its most probable class (the lowest class on a tie); runs of the
// same class collapse into one symbol and blanks are dropped, so a digit
// repeated in the text needs a blank column between its two runs. A digit's
// score is the highest probability its class reached in the columns of its
// run; its choices are the ten digits' probabilities in that column. Logits that are empty, of another type or of a number of rows other
// than 11 give an empty reading with score 0.
CtcReading DecodeCtc(const cv::Mat& logits);

}  // namespace kalvero
