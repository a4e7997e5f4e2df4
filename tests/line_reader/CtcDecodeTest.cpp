#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "line_reader/CtcDecode.h"

namespace kalvero {
namespace {

constexpr int kClasses = 11;
constexpr int kBlank = 0;

// Logits whose column t has `peak` on class classes[t] and 0 elsewhere, so
// that the column's winner has probability e^peak / (e^peak + 10).
cv::Mat Logits(const std::vector<int>& classes, const std::vector<float>& peaks) {
    cv::Mat logits(kClasses, static_cast<int>(classes.size()), CV_32F, cv::Scalar(0));
    for (std::size_t t = 0; t < classes.size(); ++t) {
        logits.at<float>(classes[t], static_cast<int>(t)) = peaks[t];
    }
    return logits;
}

float WinnerProbability(float peak) { return std::exp(peak) / (std::exp(peak) + 10.0f); }

int Digit(int d) { return d + 1; }

TEST(DecodeCtc, CollapsesRunsDropsBlanksAndKeepsRepeatsSplitByABlank) {
    // 5 5 _ 5 2 2 _ _ 0 : "5520"
    const std::vector<int> classes = {Digit(5), Digit(5), kBlank,  Digit(5), Digit(2),
                                      Digit(2), kBlank,  kBlank,  Digit(0)};
    const std::vector<float> peaks = {2.0f, 4.0f, 5.0f, 3.0f, 1.0f, 6.0f, 5.0f, 5.0f, 7.0f};
    const CtcReading reading = DecodeCtc(Logits(classes, peaks));
    EXPECT_EQ(reading.text, "5520");
    ASSERT_EQ(reading.digitScores.size(), 4u);
    // Each digit scores the peak of its own run, not of the repeat.
    EXPECT_NEAR(reading.digitScores[0], WinnerProbability(4.0f), 1e-6);
    EXPECT_NEAR(reading.digitScores[1], WinnerProbability(3.0f), 1e-6);
    EXPECT_NEAR(reading.digitScores[2], WinnerProbability(6.0f), 1e-6);
    // Where each digit was seen: the columns of its own run.
    EXPECT_EQ(reading.digitColumns,
              (std::vector<std::pair<int, int>>{{0, 1}, {3, 3}, {4, 5}, {8, 8}}));
    EXPECT_NEAR(reading.digitScores[3], WinnerProbability(7.0f), 1e-6);
    const float product = WinnerProbability(4.0f) * WinnerProbability(3.0f) * WinnerProbability(6.0f) *
                          WinnerProbability(7.0f);
    EXPECT_NEAR(reading.score, product, 1e-6);
}

TEST(DecodeCtc, EachDigitsChoicesAreTheDigitsChancesWhereItPeaked) {
    // 3 3 _ 8: the first 3 peaks in its second column, where 8 is its rival.
    cv::Mat logits(kClasses, 4, CV_32F, cv::Scalar(0));
    logits.at<float>(Digit(3), 0) = 2.0f;
    logits.at<float>(Digit(3), 1) = 4.0f;
    logits.at<float>(Digit(8), 1) = 3.0f;
    logits.at<float>(kBlank, 1) = 1.0f;
    logits.at<float>(kBlank, 2) = 5.0f;
    logits.at<float>(Digit(8), 3) = 6.0f;
    const CtcReading reading = DecodeCtc(logits);
    ASSERT_EQ(reading.text, "38");
    ASSERT_EQ(reading.digitChoices.size(), 2u);
    // Column 1 without its blank: e^4, e^3 and eight e^0 among the digits.
    const float digits = std::exp(4.0f) + std::exp(3.0f) + 8.0f;
    EXPECT_NEAR(reading.digitChoices[0][3], std::exp(4.0f) / digits, 1e-6);
    EXPECT_NEAR(reading.digitChoices[0][8], std::exp(3.0f) / digits, 1e-6);
    EXPECT_NEAR(reading.digitChoices[0][0], 1.0f / digits, 1e-6);
    float sum = 0.0f;
    for (float c : reading.digitChoices[1]) sum += c;
    EXPECT_NEAR(sum, 1.0f, 1e-5);
    EXPECT_NEAR(reading.digitChoices[1][8], std::exp(6.0f) / (std::exp(6.0f) + 9.0f), 1e-6);
}

TEST(DecodeCtc, AllDigitsAndTheirOrder) {
    std::vector<int> classes;
    std::vector<float> peaks;
    for (int d = 9; d >= 0; --d) {
        classes.push_back(Digit(d));
        classes.push_back(kBlank);
        peaks.push_back(8.0f);
        peaks.push_back(8.0f);
    }
    EXPECT_EQ(DecodeCtc(Logits(classes, peaks)).text, "9876543210");
}

TEST(DecodeCtc, ScoresStayProbabilitiesForLargeLogits) {
    // Logits of a few hundred would overflow a plain exp.
    const CtcReading reading = DecodeCtc(Logits({Digit(7), kBlank, Digit(3)}, {500.0f, 400.0f, 300.0f}));
    EXPECT_EQ(reading.text, "73");
    EXPECT_NEAR(reading.score, 1.0f, 1e-6);
    const CtcReading unsure = DecodeCtc(Logits({Digit(7)}, {0.0f}));
    // All eleven classes equal: the lowest class (blank) wins the tie.
    EXPECT_EQ(unsure.text, "");
}

TEST(DecodeCtc, NothingToReadGivesAnEmptyText) {
    const CtcReading blanks = DecodeCtc(Logits({kBlank, kBlank, kBlank}, {3.0f, 3.0f, 3.0f}));
    EXPECT_EQ(blanks.text, "");
    EXPECT_TRUE(blanks.digitScores.empty());
    EXPECT_FLOAT_EQ(blanks.score, 1.0f);

    for (const cv::Mat& bad : {cv::Mat(), cv::Mat(10, 40, CV_32F, cv::Scalar(0)),
                               cv::Mat(11, 40, CV_64F, cv::Scalar(0)), cv::Mat(11, 40, CV_8U, cv::Scalar(0))}) {
        const CtcReading reading = DecodeCtc(bad);
        EXPECT_EQ(reading.text, "");
        EXPECT_EQ(reading.score, 0.0f);
    }
    cv::Mat broken = Logits({Digit(1), Digit(2)}, {5.0f, 5.0f});
    broken.at<float>(3, 1) = std::numeric_limits<float>::quiet_NaN();
    broken.at<float>(4, 0) = std::numeric_limits<float>::infinity();
    EXPECT_EQ(DecodeCtc(broken).score, 0.0f);
}

}  // namespace
}  // namespace kalvero
