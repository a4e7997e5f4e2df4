// The glyph search's regions reach the learned engine only through the
// function it is handed: read as upright lines, and asked for only when the
// option is on and a height is given.
#include <gtest/gtest.h>

#include "DrawnLines.h"
#include "line_reader/GlyphRegionLines.h"
#include "line_reader/ReadLines.h"

namespace kalvero {
namespace {

TEST(ProposeGlyphRegionLines, ReadsEachBoxWithinTheZoneAsOneUprightLine) {
    const cv::Mat zone(90, 390, CV_8UC1, cv::Scalar(0));
    int asked = 0;
    const RegionBoxSource source = [&](const cv::Mat& seen, int height) {
        ++asked;
        EXPECT_EQ(seen.size(), zone.size());
        EXPECT_EQ(height, 29);
        return std::vector<cv::Rect>{{10, 20, 200, 30}, {380, 80, 40, 30}, {500, 500, 10, 10}};
    };
    const std::vector<LineProposal> lines = ProposeGlyphRegionLines(zone, 29, source);
    EXPECT_EQ(asked, 1);
    ASSERT_EQ(lines.size(), 2u);  // the box wholly outside is dropped
    EXPECT_EQ(lines[0].box, cv::Rect(10, 20, 200, 30));
    EXPECT_EQ(lines[0].line.centre, cv::Point2f(110.0f, 35.0f));
    EXPECT_EQ(lines[0].line.length, 200.0f);
    EXPECT_EQ(lines[0].line.digitHeight, 30.0f);
    EXPECT_EQ(lines[0].rank, kGlyphRegionRank);
    EXPECT_EQ(lines[1].box, cv::Rect(380, 80, 10, 10));  // clipped to the zone

    EXPECT_TRUE(ProposeGlyphRegionLines(zone, 29, RegionBoxSource()).empty());
    EXPECT_TRUE(ProposeGlyphRegionLines(zone, 3, source).empty());
    EXPECT_TRUE(ProposeGlyphRegionLines(cv::Mat(), 29, source).empty());
    EXPECT_EQ(asked, 1);
}

TEST(ReadLinesGlyphRegions, TheSourceIsAskedOnlyWithTheOptionAndAHeight) {
    std::string error;
    const std::unique_ptr<LineReader> reader = LineReader::Create(error);
    ASSERT_NE(reader, nullptr) << error;
    testing::DrawnLineStyle style;
    style.text = "52473068";
    const cv::Mat zone = testing::DrawTightZone(style);
    struct Case {
        bool option;
        int height;
        int asks;  // at least this many (an interlaced-looking zone is read twice)
    };
    for (const Case& c : {Case{true, 29, 1}, Case{false, 29, 0}, Case{true, 0, 0}}) {
        int asked = 0;
        LineReaderSettings settings;
        settings.digitHeight = c.height;
        settings.useGlyphRegions = c.option;
        settings.glyphRegions = [&](const cv::Mat&, int) {
            ++asked;
            return std::vector<cv::Rect>{};
        };
        const std::vector<LineReading> readings = ReadLineReadings(zone, settings, *reader);
        ASSERT_FALSE(readings.empty());
        EXPECT_EQ(readings.front().text, style.text);
        if (c.asks == 0) {
            EXPECT_EQ(asked, 0) << c.option << " " << c.height;
        } else {
            EXPECT_GE(asked, c.asks);
        }
    }
}

}  // namespace
}  // namespace kalvero
