#include "line_reader/CtcDecode.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace kalvero {

namespace {

// The line model's output layout, fixed when it was trained: class 0 is the
// blank, classes 1 to 10 the digits 0 to 9.
constexpr int kClassCount = 11;
constexpr int kBlank = 0;

}  // namespace

CtcReading DecodeCtc(const cv::Mat& logits) {
    CtcReading reading;
    if (logits.empty() || logits.dims != 2 || logits.type() != CV_32F || logits.rows != kClassCount) {
        return reading;
    }
    int previous = kBlank;
    std::array<double, kClassCount> probability{};
    for (int t = 0; t < logits.cols; ++t) {
        // Softmax of the column, shifted by its largest logit so that exp
        // cannot overflow.
        int best = 0;
        float top = logits.at<float>(0, t);
        for (int c = 1; c < kClassCount; ++c) {
            const float value = logits.at<float>(c, t);
            if (value > top) {
                top = value;
                best = c;
            }
        }
        double sum = 0.0;
        for (int c = 0; c < kClassCount; ++c) {
            probability[c] = std::exp(static_cast<double>(logits.at<float>(c, t)) - top);
            sum += probability[c];
        }
        if (!std::isfinite(top) || !(sum > 0.0) || !std::isfinite(sum)) {
            return CtcReading{};
        }
        if (best != kBlank) {
            const float p = static_cast<float>(probability[best] / sum);
            const bool newDigit = best != previous;
            if (newDigit) {
                reading.text.push_back(static_cast<char>('0' + best - 1));
                reading.digitScores.push_back(p);
                reading.digitColumns.emplace_back(t, t);
                reading.digitChoices.emplace_back();
            } else {
                reading.digitColumns.back().second = t;
            }
            if (newDigit || p > reading.digitScores.back()) {
                reading.digitScores.back() = p;
                double digits = 0.0;
                for (int c = 1; c < kClassCount; ++c) digits += probability[c];
                for (int c = 1; c < kClassCount; ++c) {
                    reading.digitChoices.back()[static_cast<std::size_t>(c - 1)] =
                        static_cast<float>(probability[c] / digits);
                }
            }
        }
        previous = best;
    }
    double score = 1.0;
    for (float p : reading.digitScores) score *= p;
    reading.score = static_cast<float>(score);
    return reading;
}

}  // namespace kalvero
