#include <gtest/gtest.h>

#include "line_reader/ShortenedRows.h"

namespace kalvero {
namespace {

TEST(IsBrokenSubsequence, OnlyPiecesWithDigitsLeftOutInside) {
    EXPECT_TRUE(IsBrokenSubsequence("28372811", "283072811"));
    EXPECT_TRUE(IsBrokenSubsequence("13", "123"));
    // Unbroken pieces: the number beside a stray digit.
    EXPECT_FALSE(IsBrokenSubsequence("83072811", "283072811"));
    EXPECT_FALSE(IsBrokenSubsequence("28307281", "283072811"));
    // Not in it at all, the same length, or longer.
    EXPECT_FALSE(IsBrokenSubsequence("99999999", "283072811"));
    EXPECT_FALSE(IsBrokenSubsequence("283072811", "283072811"));
    EXPECT_FALSE(IsBrokenSubsequence("2830728111", "283072811"));
    EXPECT_FALSE(IsBrokenSubsequence("", ""));
}

LineReading At(const std::string& text, cv::Rect box) {
    LineReading reading;
    reading.text = text;
    reading.box = box;
    return reading;
}

TEST(DropShortenedRows, DropsOnlyShortenedReadingsOverTheLongerRow) {
    const std::vector<LongerLine> longer = {{"283072811", cv::Rect(100, 50, 200, 30)}};
    std::vector<LineReading> readings = {
        At("28372811", cv::Rect(90, 50, 220, 30)),   // the row with a digit lost: dropped
        At("83072811", cv::Rect(120, 50, 180, 30)),  // an unbroken piece: kept
        At("28372811", cv::Rect(400, 50, 200, 30)),  // elsewhere in the zone: kept
        At("28372811", cv::Rect(250, 50, 200, 30)),  // a quarter over the row: kept
    };
    DropShortenedRows(readings, longer);
    ASSERT_EQ(readings.size(), 3u);
    EXPECT_EQ(readings[0].text, "83072811");
    EXPECT_EQ(readings[1].box.x, 400);
    EXPECT_EQ(readings[2].box.x, 250);
    // No longer rows: nothing changes.
    DropShortenedRows(readings, {});
    EXPECT_EQ(readings.size(), 3u);
}

}  // namespace
}  // namespace kalvero
