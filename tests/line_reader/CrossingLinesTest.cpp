#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

#include "line_reader/CrossingLines.h"
#include "line_reader/LineCrop.h"

namespace kalvero {
namespace {

constexpr int kGround = 80;
constexpr int kInk = 200;

// A crop of eight upright bars (digit strokes) between the end margins.
cv::Mat BarsCrop() {
    cv::Mat crop(kLineInputHeight, kLineInputWidth, CV_8UC1, cv::Scalar(kGround));
    for (int i = 0; i < 8; ++i) {
        crop(cv::Rect(14 + i * 17, 5, 4, 22)).setTo(kInk);
    }
    return crop;
}

TEST(EraseCrossingLines, PaintsOverARailAndKeepsTheStrokesCrossingIt) {
    for (const int thickness : {1, 2, 3}) {
        for (const bool light : {true, false}) {
            SCOPED_TRACE(::testing::Message() << thickness << " rows, " << (light ? "light" : "dark"));
            cv::Mat crop = BarsCrop();
            const cv::Mat bars = crop.clone();
            const cv::Rect rail(0, 15, kLineInputWidth, thickness);
            crop(rail).setTo(light ? 255 : 0);
            EXPECT_EQ(EraseCrossingLines(crop), 1);
            // The ground closes over the rail and the strokes go on through
            // it: the crop is the bars alone again.
            EXPECT_EQ(cv::norm(crop, bars, cv::NORM_INF), 0.0);
        }
    }
}

TEST(EraseCrossingLines, LeavesDigitStrokesAlone) {
    // Horizontal strokes of every digit (the tops of a row of sevens) cover
    // most of the width but not the end margins.
    cv::Mat sevens(kLineInputHeight, kLineInputWidth, CV_8UC1, cv::Scalar(kGround));
    for (int i = 0; i < 8; ++i) sevens(cv::Rect(10 + i * 18, 5, 16, 3)).setTo(kInk);
    const cv::Mat before = sevens.clone();
    EXPECT_EQ(EraseCrossingLines(sevens), 0);
    EXPECT_EQ(cv::norm(sevens, before, cv::NORM_INF), 0.0);
    // A thick band across everything is a stripe of paint, not a line.
    cv::Mat stripe = BarsCrop();
    stripe(cv::Rect(0, 10, kLineInputWidth, 8)).setTo(kInk);
    const cv::Mat striped = stripe.clone();
    EXPECT_EQ(EraseCrossingLines(stripe), 0);
    EXPECT_EQ(cv::norm(stripe, striped, cv::NORM_INF), 0.0);
    // Not a crop: left alone.
    cv::Mat other(40, 160, CV_8UC1, cv::Scalar(0));
    other.row(20).setTo(255);
    EXPECT_EQ(EraseCrossingLines(other), 0);
    cv::Mat empty;
    EXPECT_EQ(EraseCrossingLines(empty), 0);
}

// Lines that reach some of the end columns and some share of the width,
// around the least of each a line must cover, over bars and noise: the
// fast search (ends first) paints over exactly what the plain one does.
TEST(EraseCrossingLines, PaintsOverWhatThePlainSearchPaintsOver) {
    cv::RNG rng(5);
    int erasedSome = 0, keptSome = 0;
    for (int trial = 0; trial < 300; ++trial) {
        cv::Mat crop = BarsCrop();
        cv::Mat noise(crop.size(), CV_8UC1);
        rng.fill(noise, cv::RNG::UNIFORM, 0, 30);
        crop += noise;
        const int lines = rng.uniform(1, 4);
        for (int k = 0; k < lines; ++k) {
            const int y = rng.uniform(1, kLineInputHeight - 5);
            const int thickness = rng.uniform(1, 5);
            const uchar value = rng.uniform(0, 2) != 0 ? 255 : 0;
            // A line over a random number of the columns at each end and a
            // random run in between.
            const int left = rng.uniform(3, 8), right = rng.uniform(3, 8);
            crop(cv::Rect(0, y, left, thickness)).setTo(value);
            crop(cv::Rect(kLineInputWidth - right, y, right, thickness)).setTo(value);
            const int from = rng.uniform(6, 40), length = rng.uniform(30, 130);
            crop(cv::Rect(from, y, std::min(length, kLineInputWidth - 6 - from), thickness)).setTo(value);
        }
        cv::Mat plain = crop.clone();
        const int fast = EraseCrossingLines(crop);
        ASSERT_EQ(fast, EraseCrossingLinesReference(plain)) << "trial " << trial;
        ASSERT_EQ(cv::norm(crop, plain, cv::NORM_INF), 0.0) << "trial " << trial;
        (fast > 0 ? erasedSome : keptSome)++;
    }
    // Both outcomes were met often.
    EXPECT_GT(erasedSome, 30);
    EXPECT_GT(keptSome, 30);
}

}  // namespace
}  // namespace kalvero
