#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "detection/FrameReadings.h"
#include "detection/GlyphZoneReader.h"
#include "tools/NumberPainter.h"

namespace kalvero {
namespace {

Reading Make(const std::string& text, cv::Rect box, float score) {
    Reading reading;
    reading.text = text;
    reading.box = box;
    reading.score = score;
    return reading;
}

TEST(GlyphZoneReader, GivesTheFrameResultsReadingsInOrder) {
    for (bool light : {true, false}) {
        PanelStyle style;
        style.digitHeight = 29;
        style.lightDigits = light;
        const cv::Mat zone = MakeNumberPanel(cv::Size(640, 360), cv::Point(150, 140), style, nullptr);
        RecognitionSettings settings;
        settings.digitHeight = 29;
        const FrameResult result = RecognizeFrame(zone, settings);
        GlyphZoneReader reader;
        EXPECT_EQ(reader.engine(), RecognitionEngine::Glyph);
        const std::vector<Reading> readings = reader.Read(zone, settings.digitHeight);
        ASSERT_GE(result.count(), 1);
        ASSERT_EQ(readings.size(), result.entries.size());
        EXPECT_EQ(readings.front().text, "52473068");
        for (std::size_t i = 0; i < readings.size(); ++i) {
            const FrameResultEntry& entry = result.entries[i];
            EXPECT_EQ(readings[i].text, entry.name);
            EXPECT_EQ(readings[i].box, cv::Rect(entry.x, entry.y, entry.width, entry.height));
            EXPECT_EQ(readings[i].score, entry.score);
            EXPECT_EQ(readings[i].engine, RecognitionEngine::Glyph);
            EXPECT_TRUE(readings[i].digitScores.empty());
        }
    }
}

TEST(GlyphZoneReader, ABadZoneOrHeightReadsNothing) {
    PanelStyle style;
    const cv::Mat zone = MakeNumberPanel(cv::Size(640, 360), cv::Point(150, 140), style, nullptr);
    GlyphZoneReader reader;
    EXPECT_TRUE(reader.Read(cv::Mat(), 29).empty());
    EXPECT_TRUE(reader.Read(zone, 0).empty());
    EXPECT_TRUE(reader.Read(zone(cv::Rect(0, 0, 10, 10)), 29).empty());
    cv::Mat floats;
    zone.convertTo(floats, CV_32F);
    EXPECT_TRUE(reader.Read(floats, 29).empty());
}

TEST(FrameResultOf, KeepsOrderBoxAndScoreAndDropsTextsAnEntryCannotHold) {
    std::vector<Reading> readings = {Make("52473068", {10, 20, 180, 35}, 0.9f),
                                     Make(std::string(20, '7'), {1, 2, 3, 4}, 0.5f),
                                     Make(std::string(19, '3'), {5, 6, 7, 8}, 0.25f)};
    const FrameResult result = FrameResultOf(readings, RecognitionEngine::Learned);
    EXPECT_EQ(result.engine, RecognitionEngine::Learned);
    ASSERT_EQ(result.count(), 2);
    EXPECT_STREQ(result.entries[0].name, "52473068");
    EXPECT_EQ(result.entries[0].x, 10);
    EXPECT_EQ(result.entries[0].height, 35);
    EXPECT_EQ(result.entries[0].score, 0.9f);
    EXPECT_EQ(std::string(result.entries[1].name), std::string(19, '3'));
    EXPECT_EQ(result.entries[1].name[19], '\0');

    // And back: the record loses only what it has no field for.
    readings.erase(readings.begin() + 1);
    for (Reading& reading : readings) {
        reading.engine = RecognitionEngine::Learned;
    }
    EXPECT_EQ(ReadingsOf(result), readings);
}

}  // namespace
}  // namespace kalvero
