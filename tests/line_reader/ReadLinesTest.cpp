#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <tuple>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "DrawnLines.h"
#include "line_reader/Interlacing.h"
#include "line_reader/LineProposals.h"
#include "line_reader/ReadLines.h"
#include "tools/NumberPainter.h"
#include "tools/SampleVideo.h"

namespace kalvero {
namespace {

using testing::DrawLinePanel;
using testing::DrawTightZone;
using testing::DrawnLineStyle;

class ReadLinesTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        reader_ = LineReader::Create(error);
        ASSERT_NE(reader_, nullptr) << error;
    }

    std::vector<LineReading> Read(const cv::Mat& zone, int digitHeight = 29, bool glyphRegions = false) {
        LineReaderSettings settings;
        settings.digitHeight = digitHeight;
        settings.useGlyphRegions = glyphRegions;
        return ReadLineReadings(zone, settings, *reader_);
    }

    // The height given and only numbers whose check digit holds, as the reader runs.
    std::vector<LineReading> ReadChecked(const cv::Mat& zone, int digitHeight) {
        LineReaderSettings settings;
        settings.digitHeight = digitHeight;
        settings.requireCheckDigit = true;
        return ReadLineReadings(zone, settings, *reader_);
    }

    std::unique_ptr<LineReader> reader_;
};

struct ReadCase {
    const char* name;
    DrawnLineStyle style;
    cv::Size zone;
};

TEST_F(ReadLinesTest, ReadsNumbersInFontsTheModelNeverSaw) {
    std::vector<ReadCase> cases;
    DrawnLineStyle lato;
    cases.push_back({"Lato, light", lato, {390, 90}});
    DrawnLineStyle cantarell;
    cantarell.font = testing::kCantarellBold;
    cantarell.lightDigits = false;
    cantarell.text = "52473068";
    cases.push_back({"Cantarell, dark", cantarell, {390, 90}});
    DrawnLineStyle ones = lato;
    ones.text = "17342061";
    cases.push_back({"starting and ending with 1", ones, {390, 90}});
    DrawnLineStyle onesDark = cantarell;
    onesDark.text = "11111111";
    onesDark.digitHeight = 24;
    cases.push_back({"all ones", onesDark, {390, 90}});
    DrawnLineStyle tilted = lato;
    tilted.angleDegrees = 3.0;
    tilted.text = "90865731";
    cases.push_back({"tilted 3 degrees", tilted, {390, 90}});
    DrawnLineStyle large = cantarell;
    large.digitHeight = 40;
    large.text = "30295846";
    cases.push_back({"in a large zone", large, {640, 360}});

    for (const ReadCase& c : cases) {
        SCOPED_TRACE(c.name);
        cv::Rect ink;
        const cv::Mat zone = DrawLinePanel(c.zone, cv::Point2f(c.zone.width * 0.5f, c.zone.height * 0.5f), c.style, &ink);
        const std::vector<LineReading> readings = Read(zone, c.style.digitHeight);
        ASSERT_FALSE(readings.empty());
        const LineReading& best = readings.front();
        EXPECT_EQ(best.text, c.style.text);
        EXPECT_GE(BoxIou(best.box, ink), 0.5) << best.box << " " << ink;
        EXPECT_GT(best.score, 0.5f);
        EXPECT_LE(best.score, 1.0f);
        float product = 1.0f;
        for (float p : best.digitScores) {
            EXPECT_GT(p, 0.0f);
            EXPECT_LE(p, 1.0f);
            product *= p;
        }
        EXPECT_NEAR(best.score, product, 1e-5f);
        EXPECT_NEAR(best.angleDegrees, c.style.angleDegrees, 1.0f);
        for (const LineReading& reading : readings) EXPECT_EQ(reading.text.size(), 8u);
    }
}

// Digits 29 pixels tall read with the digit height set to each value.
class OffDigitHeight : public ReadLinesTest, public ::testing::WithParamInterface<int> {};

TEST_P(OffDigitHeight, ReadsWithAnOffDigitHeightAndAGreyZone) {
    const int given = GetParam();
    DrawnLineStyle style;
    style.text = "64019257";
    cv::Mat grey;
    cv::cvtColor(DrawTightZone(style), grey, cv::COLOR_BGR2GRAY);
    const std::vector<LineReading> readings = Read(grey, given);
    ASSERT_FALSE(readings.empty()) << "digit height set to " << given;
    EXPECT_EQ(readings.front().text, style.text) << "digit height set to " << given;
}

INSTANTIATE_TEST_SUITE_P(ReadLinesTest, OffDigitHeight, ::testing::Values(21, 29, 37));

// A faded still as kalvero-make-sample draws it: a narrow bold face 25
// pixels high, a few grey levels off its paint. The usual search reads
// nothing there; the search for faint thin strokes, which a zone that read
// nothing gets with the height given, reads the number.
// The still kalvero-make-sample draws of `number` in a narrow bold face
// `height` pixels high, faded, from `seed` (the middle of `frames`
// frames); empty when it could not be drawn (the test has failed then).
cv::Mat FadedStill(const std::string& number, int seed, int height, int frames) {
    const std::string path = std::string(KALVERO_BUILD_DIR) + "/read_lines_faded_" + std::to_string(seed) + ".png";
    std::ostringstream out, err;
    const int status = RunMakeSample({path, "--varied", "--number", number, "--frames", std::to_string(frames),
                                      "--font", "/usr/share/fonts/truetype/liberation/LiberationSansNarrow-Bold.ttf",
                                      "--condition", "faded", "--seed", std::to_string(seed), "--digit-height",
                                      std::to_string(height)},
                                     out, err);
    EXPECT_EQ(status, 0) << err.str();
    return status == 0 ? cv::imread(path) : cv::Mat();
}

TEST_F(ReadLinesTest, AFadedNumberOfThinStrokesIsReadWithTheHeightGiven) {
    const std::string number = "52473063";
    const cv::Mat still = FadedStill(number, 21, 25, 60);
    ASSERT_FALSE(still.empty());
    const std::vector<LineReading> readings = ReadChecked(still, 25);
    ASSERT_FALSE(readings.empty());
    EXPECT_EQ(readings.front().text, number);
    EXPECT_GE(readings.front().score, 0.5f);
}

// Faded paint on a mottled ground can pass the loose test for interlaced
// combing: the search for faint strokes then runs in one field and still
// reads the number, which the usual search misses.
TEST_F(ReadLinesTest, AFadedNumberOnAGroundThatLooksCombedIsReadWithTheHeightGiven) {
    const std::string number = "44731131";
    const cv::Mat still = FadedStill(number, 249, 22, 24);
    ASSERT_FALSE(still.empty());
    ASSERT_TRUE(MayBeInterlaced(still)) << "the drawn still no longer looks combed; draw another";
    const std::vector<LineReading> readings = ReadChecked(still, 22);
    ASSERT_FALSE(readings.empty());
    EXPECT_EQ(readings.front().text, number);
}

// A given height is also searched at coarser levels, whose wider crop of
// the same row can read as other digits with a low score: the number is
// read once, and that echo over it is not.
TEST_F(ReadLinesTest, ANumberIsReadOnceAndNotAgainFromAWiderCropOfItsRow) {
    for (const cv::Size size : {cv::Size(390, 90), cv::Size(640, 360)}) {
        PanelStyle panel;
        panel.number = "52473068";
        panel.digitHeight = 29;
        panel.gapFraction = 0.25;
        panel.lightDigits = true;
        panel.noiseSigma = 3.0;
        const cv::Mat zone = MakeNumberPanel(size, cv::Point(size.width / 2 - 90, size.height / 2 - 16), panel);
        const std::vector<LineReading> readings = Read(zone);
        ASSERT_EQ(readings.size(), 1u) << size << ": " << (readings.size() > 1 ? readings[1].text : "");
        EXPECT_EQ(readings[0].text, "52473068");
    }
}

TEST_F(ReadLinesTest, NoReadingWithoutEightDigits) {
    DrawnLineStyle blank;
    blank.text = "";
    EXPECT_TRUE(Read(DrawTightZone(blank)).empty());
    DrawnLineStyle seven;
    seven.text = "4120306";
    EXPECT_TRUE(Read(DrawTightZone(seven)).empty());
    EXPECT_TRUE(Read(DrawTightZone(seven), 29, true).empty());
    DrawnLineStyle nine;
    nine.text = "412030651";
    nine.letterSpacing = 0.15;
    for (const LineReading& reading : Read(DrawLinePanel(cv::Size(420, 90), cv::Point2f(210.0f, 45.0f), nine))) {
        // A run of eight of the nine digits may be read, never nine.
        EXPECT_NE(nine.text.find(reading.text), std::string::npos) << reading.text;
    }
}

TEST_F(ReadLinesTest, AStrayMarkBesideTheNumberDoesNotSpoilIt) {
    DrawnLineStyle style;
    style.text = "52473068";
    style.letterSpacing = 0.15;
    cv::Rect ink;
    cv::Mat zone = DrawLinePanel(cv::Size(420, 90), cv::Point2f(195.0f, 45.0f), style, &ink);
    // A bar of digit height (a handle, a seam end) 0.8 h after the last digit.
    const int h = style.digitHeight;
    cv::rectangle(zone, cv::Rect(ink.br().x + h * 8 / 10, ink.y, h / 5, ink.height), cv::Scalar::all(200), cv::FILLED);
    const std::vector<LineReading> readings = Read(zone);
    ASSERT_FALSE(readings.empty());
    EXPECT_EQ(readings.front().text, style.text);
    EXPECT_GE(BoxIou(readings.front().box, ink), 0.8);
}

TEST_F(ReadLinesTest, ReadsThroughARailDrawnAcrossTheDigits) {
    for (const bool light : {true, false}) {
        DrawnLineStyle style;
        style.text = "30581746";
        style.lightDigits = light;
        cv::Rect ink;
        cv::Mat zone = DrawTightZone(style, &ink);
        const int y = ink.y + ink.height * 2 / 5;
        cv::line(zone, cv::Point(0, y), cv::Point(389, y), cv::Scalar::all(light ? 200 : 60), 2);
        const std::vector<LineReading> readings = Read(zone);
        ASSERT_FALSE(readings.empty()) << (light ? "light" : "dark");
        EXPECT_EQ(readings.front().text, style.text) << (light ? "light" : "dark");
    }
}

TEST_F(ReadLinesTest, TwoNumbersInAZoneAreBothReadBestFirst) {
    DrawnLineStyle top;
    top.text = "52473068";
    DrawnLineStyle bottom = top;
    bottom.text = "80316245";
    const cv::Mat upper = DrawLinePanel(cv::Size(400, 200), cv::Point2f(200.0f, 50.0f), top);
    const cv::Mat lower = DrawLinePanel(cv::Size(400, 200), cv::Point2f(200.0f, 150.0f), bottom);
    const std::vector<LineReading> readings = Read(cv::max(upper, lower));
    ASSERT_EQ(readings.size(), 2u);
    EXPECT_GE(readings[0].score, readings[1].score);
    std::vector<std::string> texts = {readings[0].text, readings[1].text};
    std::sort(texts.begin(), texts.end());
    EXPECT_EQ(texts, (std::vector<std::string>{"52473068", "80316245"}));
}

TEST_F(ReadLinesTest, GlyphRegionsAsExtraProposalsKeepTheReading) {
    DrawnLineStyle style;
    style.text = "52473068";
    const cv::Mat zone = DrawTightZone(style);
    const std::vector<LineReading> withRegions = Read(zone, 29, true);
    ASSERT_FALSE(withRegions.empty());
    EXPECT_EQ(withRegions.front().text, style.text);
    // The same text from overlapping proposals is one reading.
    EXPECT_EQ(std::count_if(withRegions.begin(), withRegions.end(),
                            [&](const LineReading& r) { return r.text == style.text; }),
              1);
}

TEST_F(ReadLinesTest, ReadingsCarryTheLineReadingsInOrderWithDigitScores) {
    DrawnLineStyle style;
    const cv::Mat zone = DrawTightZone(style);
    LineReaderSettings settings;
    const std::vector<LineReading> lines = ReadLineReadings(zone, settings, *reader_);
    const std::vector<Reading> readings = ReadLines(zone, settings, *reader_);
    ASSERT_EQ(readings.size(), lines.size());
    ASSERT_FALSE(readings.empty());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(readings[i].text, lines[i].text);
        EXPECT_EQ(readings[i].box, lines[i].box);
        EXPECT_EQ(readings[i].score, lines[i].score);
        EXPECT_EQ(readings[i].engine, RecognitionEngine::Learned);
        EXPECT_EQ(readings[i].digitScores,
                  std::vector<float>(lines[i].digitScores.begin(), lines[i].digitScores.end()));
    }
}

TEST_F(ReadLinesTest, BadZonesAndSettingsGiveNoReadingAndNoException) {
    DrawnLineStyle style;
    const cv::Mat zone = DrawTightZone(style);
    cv::Mat deep, floating, alpha;
    zone.convertTo(deep, CV_16UC3, 256.0);
    zone.convertTo(floating, CV_32FC3);
    cv::cvtColor(zone, alpha, cv::COLOR_BGR2BGRA);
    const int sizes[] = {4, 4, 4};
    const std::vector<cv::Mat> zones = {cv::Mat(), cv::Mat(1, 1, CV_8UC3, cv::Scalar::all(200)),
                                        cv::Mat(1, 1, CV_8UC1, cv::Scalar(0)), cv::Mat(3, 1000, CV_8UC1, cv::Scalar(7)),
                                        deep, floating, alpha, cv::Mat(3, sizes, CV_8UC1, cv::Scalar(0))};
    for (std::size_t i = 0; i < zones.size(); ++i) {
        for (bool glyphRegions : {false, true}) {
            std::vector<LineReading> readings;
            EXPECT_NO_THROW(readings = Read(zones[i], 29, glyphRegions)) << "zone " << i;
            EXPECT_TRUE(readings.empty()) << "zone " << i;
        }
        for (int height : {0, 29}) {
            LineReaderSettings settings;
            settings.digitHeight = height;
            std::vector<LineReading> faint;
            EXPECT_NO_THROW(faint = ReadFaintLineReadings(zones[i], settings, *reader_)) << "zone " << i;
            EXPECT_TRUE(faint.empty()) << "zone " << i;
        }
    }
    LineReaderSettings none;
    none.maxLines = 0;
    EXPECT_TRUE(ReadLineReadings(zone, none, *reader_).empty());
    EXPECT_TRUE(ReadFaintLineReadings(zone, none, *reader_).empty());
    for (int height : {-5, 2, 1 << 30}) {
        LineReaderSettings unusable;
        unusable.digitHeight = height;
        EXPECT_TRUE(ReadFaintLineReadings(zone, unusable, *reader_).empty()) << "height " << height;
    }
}

// Digit heights no zone can hold (0 is no height: every height searched),
// with and without the glyph regions.
class UnusableDigitHeight : public ReadLinesTest,
                            public ::testing::WithParamInterface<std::tuple<int, bool>> {};

TEST_P(UnusableDigitHeight, GivesNoReadingAndNoException) {
    const auto [height, glyphRegions] = GetParam();
    const cv::Mat zone = DrawTightZone(DrawnLineStyle{});
    std::vector<LineReading> readings;
    EXPECT_NO_THROW(readings = Read(zone, height, glyphRegions)) << "height " << height;
    EXPECT_TRUE(readings.empty()) << "height " << height;
}

INSTANTIATE_TEST_SUITE_P(ReadLinesTest, UnusableDigitHeight,
                         ::testing::Combine(::testing::Values(-5, 2, 3, 1000, 1 << 30),
                                            ::testing::Bool()));

TEST_F(ReadLinesTest, RandomZonesNeverThrowAndGiveWellFormedReadings) {
    cv::RNG rng(17);
    for (int trial = 0; trial < 150; ++trial) {
        const cv::Size size(rng.uniform(1, 260), rng.uniform(1, 160));
        cv::Mat zone(size, rng.uniform(0, 2) == 0 ? CV_8UC1 : CV_8UC3);
        switch (trial % 3) {
            case 0: rng.fill(zone, cv::RNG::UNIFORM, 0, 256); break;
            case 1: rng.fill(zone, cv::RNG::NORMAL, 128, rng.uniform(1, 60)); break;
            default: {
                // Bars of digit-like size on a plain ground.
                zone.setTo(cv::Scalar::all(rng.uniform(0, 256)));
                for (int i = 0; i < 12; ++i) {
                    const cv::Rect bar(rng.uniform(0, size.width), rng.uniform(0, size.height), rng.uniform(1, 20),
                                       rng.uniform(1, 40));
                    cv::rectangle(zone, bar, cv::Scalar::all(rng.uniform(0, 256)), cv::FILLED);
                }
            }
        }
        const int height = rng.uniform(-2, 120);
        const bool glyphRegions = rng.uniform(0, 4) == 0;
        std::vector<LineReading> readings;
        ASSERT_NO_THROW(readings = Read(zone, height, glyphRegions)) << "trial " << trial;
        for (const LineReading& reading : readings) {
            EXPECT_EQ(reading.text.size(), 8u);
            EXPECT_GE(reading.score, 0.0f);
            EXPECT_LE(reading.score, 1.0f);
            EXPECT_EQ(reading.box & cv::Rect(0, 0, size.width, size.height), reading.box) << "trial " << trial;
        }
    }
}

}  // namespace
}  // namespace kalvero
