#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include <opencv2/imgcodecs.hpp>

#include "line_reader/LineReader.h"
#include "line_reader/ReadLines.h"
#include "line_reader/ShortenedRows.h"
#include "tools/SampleVideo.h"

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

LineReading At(const std::string& text, cv::Rect box, float score = 0.9f) {
    LineReading reading;
    reading.text = text;
    reading.box = box;
    reading.score = score;
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

// Block-stencil digits with their bridges: one crop read the eight digits
// at 0.98, a longer crop of the same place nine at 0.33 (a bridge read as
// a digit). The doubtful longer row must not drop the sure reading; a
// longer row read about as surely still does.
TEST(DropShortenedRows, ALongerRowReadFarLessSurelyDropsNothing) {
    const cv::Rect place(222, 122, 192, 38);
    std::vector<LineReading> readings = {At("99798951", place, 0.98f)};
    DropShortenedRows(readings, {{"997958951", cv::Rect(215, 126, 214, 30), 0.33f}});
    ASSERT_EQ(readings.size(), 1u);
    EXPECT_EQ(readings[0].text, "99798951");
    DropShortenedRows(readings, {{"997958951", cv::Rect(215, 126, 214, 30), 0.6f}});
    EXPECT_TRUE(readings.empty());
}

// The same on a whole still drawn as kalvero-make-sample draws it: 36-px
// block-stencil digits that one crop reads surely and a longer crop reads
// as nine digits, doubtfully. Read with and without the height.
TEST(DropShortenedRows, ABlockStencilStillIsReadDespiteADoubtfulLongerRow) {
    const std::string number = "52473063";
    const std::string path = std::string(KALVERO_BUILD_DIR) + "/shortened_rows_block_stencil_58.png";
    std::ostringstream out, err;
    ASSERT_EQ(RunMakeSample({path, "--varied", "--number", number, "--font", "block-stencil", "--seed", "58",
                             "--digit-height", "36"},
                            out, err),
              0)
        << err.str();
    const cv::Mat still = cv::imread(path);
    ASSERT_FALSE(still.empty());
    std::string error;
    const auto reader = LineReader::Create(error);
    ASSERT_TRUE(reader) << error;
    for (const int height : {0, 36}) {
        SCOPED_TRACE(height);
        LineReaderSettings settings;
        settings.digitHeight = height;
        settings.requireCheckDigit = true;
        const std::vector<LineReading> readings = ReadLineReadings(still, settings, *reader);
        ASSERT_FALSE(readings.empty());
        EXPECT_EQ(readings.front().text, number);
    }
}

}  // namespace
}  // namespace kalvero
