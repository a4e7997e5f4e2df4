#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

#include "line_reader/LineCrop.h"
#include "line_reader/StrayMarks.h"

namespace kalvero {
namespace {

// A crop of eight digit-like rings of `ink` on a ground of `ground`, inside
// the margins NormaliseLine leaves (rows 5 to 26 of 32).
cv::Mat RingsCrop(int ground, int ink) {
    cv::Mat crop(kLineInputHeight, kLineInputWidth, CV_8UC1, cv::Scalar(ground));
    for (int i = 0; i < 8; ++i) {
        cv::rectangle(crop, cv::Rect(14 + i * 17, 6, 12, 20), cv::Scalar(ink), 3);
    }
    return crop;
}

// A spray stroke of `grey`, three rows thick, across the middle of the
// fourth to sixth digits.
void Spray(cv::Mat& crop, int grey) {
    cv::line(crop, cv::Point(60, 14), cv::Point(110, 18), cv::Scalar(grey), 3);
}

TEST(EraseStrayMarks, PaintsAMarkOnTheFarSideOfTheGroundAsGround) {
    for (const bool darkDigits : {true, false}) {
        SCOPED_TRACE(darkDigits ? "dark digits, light mark" : "light digits, dark mark");
        const int ground = darkDigits ? 200 : 60;
        const int ink = darkDigits ? 30 : 230;
        cv::Mat crop = RingsCrop(ground, ink);
        Spray(crop, darkDigits ? 255 : 0);
        cv::Mat sprayed = crop.clone();
        // Where the stroke lies, the crop reads as the ground would.
        cv::Mat strokeMask(crop.size(), CV_8UC1, cv::Scalar(0));
        Spray(strokeMask, 255);
        ASSERT_TRUE(EraseStrayMarks(crop));
        // After the stretch the ground is at one end of the range and the
        // digits at the other; the stroke is gone into the ground, digit
        // strokes it crossed included.
        const int groundAfter = darkDigits ? 255 : 0;
        const int inkAfter = darkDigits ? 0 : 255;
        cv::Mat expected = RingsCrop(groundAfter, inkAfter);
        expected.setTo(groundAfter, strokeMask);
        EXPECT_EQ(cv::norm(crop, expected, cv::NORM_INF), 0.0);
        EXPECT_GT(cv::norm(sprayed, crop, cv::NORM_INF), 0.0);
    }
}

TEST(EraseStrayMarks, LeavesCropsWithoutAMarkOnTheFarSideAlone) {
    // Plain digits: nothing beyond the ground on the other side.
    cv::Mat plain = RingsCrop(200, 30);
    const cv::Mat before = plain.clone();
    EXPECT_FALSE(EraseStrayMarks(plain));
    EXPECT_EQ(cv::norm(plain, before, cv::NORM_INF), 0.0);
    // A mark on the digits' own side is no different from ink to this.
    cv::Mat sameSide = RingsCrop(200, 30);
    Spray(sameSide, 0);
    const cv::Mat sprayed = sameSide.clone();
    EXPECT_FALSE(EraseStrayMarks(sameSide));
    EXPECT_EQ(cv::norm(sameSide, sprayed, cv::NORM_INF), 0.0);
    // A few specks (a rivet's highlight) are too little to be a mark.
    cv::Mat specks = RingsCrop(200, 30);
    specks(cv::Rect(40, 2, 3, 3)).setTo(255);
    EXPECT_FALSE(EraseStrayMarks(specks));
    // No digits: a bare ground with a scrawl is not told apart.
    cv::Mat bare(kLineInputHeight, kLineInputWidth, CV_8UC1, cv::Scalar(120));
    Spray(bare, 255);
    EXPECT_FALSE(EraseStrayMarks(bare));
    // Not a crop: left alone.
    cv::Mat other = RingsCrop(200, 30);
    cv::resize(other, other, cv::Size(), 2.0, 2.0, cv::INTER_NEAREST);
    Spray(other, 255);
    const cv::Mat otherBefore = other.clone();
    EXPECT_FALSE(EraseStrayMarks(other));
    EXPECT_EQ(cv::norm(other, otherBefore, cv::NORM_INF), 0.0);
    cv::Mat empty;
    EXPECT_FALSE(EraseStrayMarks(empty));
}

TEST(StretchContrast, MapsTheTailsToTheEndsAndLeavesOtherImagesAlone) {
    cv::Mat ramp(kLineInputHeight, kLineInputWidth, CV_8UC1);
    for (int x = 0; x < ramp.cols; ++x) ramp.col(x).setTo(60 + x / 2);
    StretchContrast(ramp);
    double low = 0.0, high = 0.0;
    cv::minMaxLoc(ramp, &low, &high);
    EXPECT_EQ(low, 0.0);
    EXPECT_EQ(high, 255.0);
    cv::Mat flat(8, 8, CV_8UC1, cv::Scalar(17));
    StretchContrast(flat);
    EXPECT_EQ(cv::countNonZero(flat != 128), 0);
    cv::Mat colour(8, 8, CV_8UC3, cv::Scalar(1, 2, 3));
    StretchContrast(colour);
    EXPECT_EQ(colour.at<cv::Vec3b>(4, 4), cv::Vec3b(1, 2, 3));
}

}  // namespace
}  // namespace kalvero
