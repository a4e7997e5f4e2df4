#include "recognizers/TrafficSignRecognition.h"

#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

#include "detection/GlyphTemplateBank.h"
#include "recognizers/RecognitionContext.h"

namespace kalvero {
namespace {

using Sign = TrafficSignRecognition;

// ---------------------------------------------------------------- InsetRect

TEST(TrafficSignInsetRect, RemovesTheBorderFraction) {
    EXPECT_EQ(Sign::InsetRect(cv::Rect(10, 20, 100, 50), 0.1), cv::Rect(20, 25, 80, 40));
    // Offsets and sizes are truncated toward zero separately.
    EXPECT_EQ(Sign::InsetRect(cv::Rect(0, 0, 15, 7), 0.1), cv::Rect(1, 0, 12, 5));
    EXPECT_EQ(Sign::InsetRect(cv::Rect(-30, -9, 40, 19), 0.25), cv::Rect(-20, -5, 20, 9));
}

TEST(TrafficSignInsetRect, FractionsOutsideTheRangeLeaveTheRectangle) {
    const cv::Rect r(10, 20, 100, 50);
    EXPECT_EQ(Sign::InsetRect(r, 0.5), r);
    EXPECT_EQ(Sign::InsetRect(r, 0.005), r);
    EXPECT_EQ(Sign::InsetRect(r, -0.1), r);
    // Both limits are inside the range.
    EXPECT_EQ(Sign::InsetRect(cv::Rect(0, 0, 100, 100), 0.01), cv::Rect(1, 1, 98, 98));
    EXPECT_EQ(Sign::InsetRect(cv::Rect(0, 0, 100, 100), 0.49), cv::Rect(49, 49, 2, 2));
}

// ------------------------------------------------------------------ OtsuBin

TEST(TrafficSignOtsuBin, RefusesEmptyImagesAndBadBinCounts) {
    const cv::Mat grey(10, 10, CV_8UC1, cv::Scalar(90));
    EXPECT_EQ(Sign::OtsuBin(cv::Mat(), 64), -1);
    EXPECT_EQ(Sign::OtsuBin(grey, 7), -1);
    EXPECT_EQ(Sign::OtsuBin(grey, 257), -1);
    EXPECT_EQ(Sign::OtsuBin(cv::Mat(10, 10, CV_16UC1, cv::Scalar(90)), 64), -1);
    EXPECT_EQ(Sign::OtsuBin(cv::Mat(10, 10, CV_8UC3, cv::Scalar(90, 90, 90)), 64), -1);
    EXPECT_GE(Sign::OtsuBin(grey, 8), 0);
    EXPECT_GE(Sign::OtsuBin(grey, 256), 0);
}

class UniformImage : public ::testing::TestWithParam<int> {};

TEST_P(UniformImage, GivesBinZero) {
    EXPECT_EQ(Sign::OtsuBin(cv::Mat(12, 9, CV_8UC1, cv::Scalar(GetParam())), 64), 0) << GetParam();
}

INSTANTIATE_TEST_SUITE_P(TrafficSignOtsuBin, UniformImage, ::testing::Values(0, 77, 255));

TEST(TrafficSignOtsuBin, FirstBinOfTheBestSplitWins) {
    // Grey 40 and 200 fall in bins 10 and 50 of 64; every split between
    // them separates the classes equally well, the first one is taken.
    cv::Mat image(20, 20, CV_8UC1, cv::Scalar(40));
    image(cv::Rect(0, 0, 20, 7)).setTo(200);
    EXPECT_EQ(Sign::OtsuBin(image, 64), 10);
    EXPECT_EQ(Sign::OtsuBin(image, 256), 40);
}

TEST(TrafficSignOtsuBin, SplitsAtTheWiderGap) {
    // Three equal classes at 10, 100 and 250: the split between 100 and
    // 250 has the larger between-class variance.
    cv::Mat image(30, 10, CV_8UC1, cv::Scalar(10));
    image(cv::Rect(0, 10, 10, 10)).setTo(100);
    image(cv::Rect(0, 20, 10, 10)).setTo(250);
    EXPECT_EQ(Sign::OtsuBin(image, 256), 100);
    // A view of the image is measured on its own pixels only.
    EXPECT_EQ(Sign::OtsuBin(image(cv::Rect(0, 0, 10, 20)), 256), 10);
}

// ------------------------------------------------------------ ClassifyGlyph

TEST(TrafficSignClassifyGlyph, EachPrototypeIsItsOwnNearest) {
    for (int digit = 0; digit < 10; ++digit) {
        float distances[10];
        EXPECT_EQ(Sign::ClassifyGlyph(Sign::DigitPrototype(digit), distances), digit);
        EXPECT_EQ(distances[digit], 0.0f);
        for (int other = 0; other < 10; ++other) {
            if (other != digit) {
                EXPECT_GT(distances[other], 0.2f) << digit << " vs " << other;
            }
        }
    }
}

TEST(TrafficSignClassifyGlyph, DistanceIsTheMeanAbsoluteCellDifference) {
    ZoneGrid empty{};
    ZoneGrid full;
    full.fill(1.0f);
    float toEmpty[10];
    float toFull[10];
    Sign::ClassifyGlyph(empty, toEmpty);
    Sign::ClassifyGlyph(full, toFull);
    for (int digit = 0; digit < 10; ++digit) {
        // Ink of a prototype plus its missing ink covers every cell once.
        EXPECT_NEAR(toEmpty[digit] + toFull[digit], 1.0f, 1e-5f) << digit;
    }
    // Digit 0 has the least ink of all prototypes.
    EXPECT_EQ(Sign::ClassifyGlyph(empty, toEmpty), 0);
    EXPECT_NEAR(toEmpty[0], 0.448f, 1e-5f);
}

// ----------------------------------------------------------- FindDigitBlobs

// Counts the digit-like blobs of a 200 x 200 binary image holding one filled
// rectangle of the given size.
int CountSingleBlob(int width, int height) {
    cv::Mat binary(200, 200, CV_8UC1, cv::Scalar(0));
    binary(cv::Rect(5, 5, width, height)).setTo(255);
    cv::Rect boxes[2];
    return Sign::FindDigitBlobs(binary, boxes);
}

TEST(TrafficSignFindDigitBlobs, SizeBoundsAreInclusive) {
    EXPECT_EQ(CountSingleBlob(100, 100), 1);  // 0.5 of the width
    EXPECT_EQ(CountSingleBlob(101, 100), 0);
    EXPECT_EQ(CountSingleBlob(20, 100), 1);   // 0.1 of the width
    EXPECT_EQ(CountSingleBlob(19, 100), 0);
    EXPECT_EQ(CountSingleBlob(50, 180), 1);   // 0.9 of the height
    EXPECT_EQ(CountSingleBlob(50, 181), 0);
    EXPECT_EQ(CountSingleBlob(50, 80), 1);    // 0.4 of the height
    EXPECT_EQ(CountSingleBlob(50, 79), 0);
}

TEST(TrafficSignFindDigitBlobs, BoundsFollowTheImageSize) {
    cv::Mat binary(150, 300, CV_8UC1, cv::Scalar(0));
    binary(cv::Rect(10, 10, 150, 135)).setTo(255);  // 0.5 W, 0.9 H
    cv::Rect boxes[2];
    ASSERT_EQ(Sign::FindDigitBlobs(binary, boxes), 1);
    EXPECT_EQ(boxes[0], cv::Rect(10, 10, 150, 135));
    binary(cv::Rect(10, 145, 1, 1)).setTo(255);      // one row taller
    EXPECT_EQ(Sign::FindDigitBlobs(binary, boxes), 0);
}

TEST(TrafficSignFindDigitBlobs, OnlyOuterContoursCount) {
    // A hollow digit-sized frame with a digit-sized bar inside its hole:
    // the bar is nested and does not count.
    cv::Mat binary(200, 200, CV_8UC1, cv::Scalar(0));
    cv::rectangle(binary, cv::Rect(40, 15, 90, 160), cv::Scalar(255), 6);
    binary(cv::Rect(70, 40, 30, 100)).setTo(255);
    cv::Rect boxes[2];
    ASSERT_EQ(Sign::FindDigitBlobs(binary, boxes), 1);
    EXPECT_EQ(boxes[0], cv::Rect(37, 12, 96, 166));
}

TEST(TrafficSignFindDigitBlobs, CountStopsAtThreeAndKeepsTwoBoxes) {
    cv::Mat binary(200, 200, CV_8UC1, cv::Scalar(0));
    const cv::Rect bars[] = {cv::Rect(10, 20, 25, 100), cv::Rect(60, 50, 25, 100),
                             cv::Rect(110, 30, 25, 100), cv::Rect(160, 40, 25, 100)};
    cv::Rect boxes[2];
    for (int n = 0; n < 4; ++n) {
        binary(bars[n]).setTo(255);
        EXPECT_EQ(Sign::FindDigitBlobs(binary, boxes), std::min(n + 1, 3)) << n + 1 << " bars";
    }
    binary.setTo(0);
    binary(bars[0]).setTo(255);
    binary(bars[2]).setTo(255);
    // Small specks and flat strokes are not digits and do not stop the count.
    cv::rectangle(binary, cv::Rect(50, 170, 120, 8), cv::Scalar(255), cv::FILLED);
    cv::rectangle(binary, cv::Rect(50, 5, 6, 6), cv::Scalar(255), cv::FILLED);
    ASSERT_EQ(Sign::FindDigitBlobs(binary, boxes), 2);
    EXPECT_TRUE((boxes[0] == bars[0] && boxes[1] == bars[2]) ||
                (boxes[0] == bars[2] && boxes[1] == bars[0]));
}

// ----------------------------------------------------------- ReadSpeedValue

SpeedReading ReadDigits(std::initializer_list<int> digits) {
    std::vector<ZoneGrid> grids;
    for (int d : digits)
        grids.push_back(Sign::DigitPrototype(d));
    return Sign::ReadSpeedValue(grids.data(), static_cast<int>(grids.size()));
}

class SpeedValue : public ::testing::TestWithParam<int> {};

TEST_P(SpeedValue, IsReadFromItsDigits) {
    const int value = GetParam();
    const SpeedReading reading =
        value < 10 ? ReadDigits({value}) : ReadDigits({value / 10, value % 10});
    EXPECT_EQ(reading.value, value);
    EXPECT_EQ(reading.glyphScoreCount, value < 10 ? 1 : 2);
    EXPECT_EQ(reading.rankValue, 1.0f);
}

INSTANTIATE_TEST_SUITE_P(TrafficSignReadSpeedValue, SpeedValue,
                         ::testing::ValuesIn(Sign::kSpeedValues));

TEST(TrafficSignReadSpeedValue, AcceptsOnlySpeedValues) {
    EXPECT_EQ(ReadDigits({3, 5}).value, -1);
    EXPECT_EQ(ReadDigits({1, 5}).value, -1);
    EXPECT_EQ(ReadDigits({1, 1}).value, -1);
    EXPECT_EQ(ReadDigits({0}).value, -1);
    EXPECT_EQ(ReadDigits({7}).value, -1);
    EXPECT_EQ(ReadDigits({0, 0}).value, -1);
    EXPECT_EQ(ReadDigits({}).value, -1);
    EXPECT_EQ(ReadDigits({5, 0, 0}).value, -1);
}

TEST(TrafficSignReadSpeedValue, LeadingZeroReadsAsFiveWithTwoScores) {
    const SpeedReading reading = ReadDigits({0, 5});
    EXPECT_EQ(reading.value, 5);
    EXPECT_EQ(reading.glyphScoreCount, 2);
    EXPECT_EQ(reading.glyphScores[0], 1.0f);
    EXPECT_EQ(reading.glyphScores[1], 1.0f);
}

// Prototype 5 with its last 16 cells of value 0 or 1 flipped (distance
// 16 / 50 = 0.32), and optionally one more such cell moved by 0.5 (0.33).
ZoneGrid FiveAtDistance(bool beyondLimit) {
    ZoneGrid grid = Sign::DigitPrototype(5);
    int flipped = 0;
    for (int cell = 49; cell >= 0; --cell) {
        if (grid[cell] != 0.0f && grid[cell] != 1.0f)
            continue;
        if (flipped < 16) {
            grid[cell] = 1.0f - grid[cell];
            ++flipped;
        } else {
            if (beyondLimit)
                grid[cell] = 0.5f;
            break;
        }
    }
    return grid;
}

TEST(TrafficSignReadSpeedValue, DistanceLimitIsInclusive) {
    float distances[10];
    const ZoneGrid atLimit = FiveAtDistance(false);
    const ZoneGrid beyond = FiveAtDistance(true);
    ASSERT_EQ(Sign::ClassifyGlyph(atLimit, distances), 5);
    ASSERT_EQ(distances[5], 0.32f);
    ASSERT_EQ(Sign::ClassifyGlyph(beyond, distances), 5);
    ASSERT_EQ(distances[5], 0.33f);

    SpeedReading reading = Sign::ReadSpeedValue(&atLimit, 1);
    EXPECT_EQ(reading.value, 5);
    EXPECT_EQ(reading.glyphScores[0], 1.0f - 0.32f);
    EXPECT_EQ(reading.rankValue, 1.0f - 0.32f);
    EXPECT_EQ(Sign::ReadSpeedValue(&beyond, 1).value, -1);

    // The limit applies to either digit of two.
    const ZoneGrid zero = Sign::DigitPrototype(0);
    const ZoneGrid fiveZero[] = {atLimit, zero};
    reading = Sign::ReadSpeedValue(fiveZero, 2);
    EXPECT_EQ(reading.value, 50);
    EXPECT_EQ(reading.rankValue, (1.0f - 0.32f + 1.0f) * 0.5f);
    const ZoneGrid farFirst[] = {beyond, zero};
    EXPECT_EQ(Sign::ReadSpeedValue(farFirst, 2).value, -1);
    const ZoneGrid farSecond[] = {zero, beyond};
    EXPECT_EQ(Sign::ReadSpeedValue(farSecond, 2).value, -1);
}

// --------------------------------------------------- construction, admission

TEST(TrafficSignAdmission, KeepsTheSignCodesOfTheList) {
    const std::int32_t codes[] = {300, 100, 7, 100, 101};
    TrafficSignRecognition sign(5, codes);
    EXPECT_EQ(sign.signCodes, (std::vector<std::int32_t>{100, 100}));
    EXPECT_EQ(sign.codeCount, 5);
    EXPECT_EQ(sign.status, -1);

    TrafficSignRecognition none(0, nullptr);
    EXPECT_TRUE(none.signCodes.empty());
}

TEST(TrafficSignAdmission, OnlySignRegionsForTheSignCode) {
    CandidateRegion region;
    region.typeCode = 100;
    EXPECT_TRUE(Sign::AdmitsRegion(100, region));
    EXPECT_FALSE(Sign::AdmitsRegion(300, region));
}

class NonSignRegion : public ::testing::TestWithParam<std::int32_t> {};

TEST_P(NonSignRegion, IsNotAdmittedForTheSignCode) {
    CandidateRegion region;
    region.typeCode = GetParam();
    EXPECT_FALSE(Sign::AdmitsRegion(100, region)) << GetParam();
}

INSTANTIATE_TEST_SUITE_P(TrafficSignAdmission, NonSignRegion,
                         ::testing::Values(0, 1, 99, 101, 301));

TEST(TrafficSignAdmission, NotAdmittedLeavesTheConstructionValues) {
    // A readable "5" (prototype drawn as a solid grid of cells).
    cv::Mat grey(250, 250, CV_8UC1, cv::Scalar(255));
    const ZoneGrid& five = Sign::DigitPrototype(5);
    for (int cell = 0; cell < 50; ++cell) {
        const cv::Rect box(95 + (cell % 5) * 12, 65 + (cell / 5) * 12, 12, 12);
        grey(box).setTo(five[cell] >= 0.5f ? 0 : 255);
    }
    GlyphTemplateBank bank(grey);
    CandidateRegion region{0, 0, 250, 250, 100};

    const std::int32_t numberCodes[] = {301};
    TrafficSignRecognition withoutSignCode(1, numberCodes);
    EXPECT_FALSE(withoutSignCode.Recognize(bank, region));
    EXPECT_EQ(withoutSignCode.status, -1);
    EXPECT_EQ(withoutSignCode.GetText(), "");
    EXPECT_EQ(withoutSignCode.glyphScoreCount, 0);
    EXPECT_EQ(withoutSignCode.rankValue, 0.0f);

    const std::int32_t signCodes[] = {100};
    TrafficSignRecognition admitted(1, signCodes);
    region.typeCode = 0;
    EXPECT_FALSE(admitted.Recognize(bank, region));
    EXPECT_EQ(admitted.glyphScoreCount, 0);
    region.typeCode = 100;
    ASSERT_TRUE(admitted.Recognize(bank, region));
    EXPECT_EQ(admitted.status, 5);
    EXPECT_EQ(admitted.GetText(), "5");
    EXPECT_EQ(admitted.score, 0.0f);
}

}  // namespace
}  // namespace kalvero
