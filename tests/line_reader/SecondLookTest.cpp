// Looking again at a doubtfully read line: framed on the digits the model
// saw in it, or searched for around it at full resolution.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "line_reader/CtcDecode.h"
#include "line_reader/DrawnLines.h"
#include "line_reader/LineCrop.h"
#include "line_reader/LineReader.h"
#include "line_reader/ReadLines.h"
#include "line_reader/SecondLook.h"
#include "tools/NumberPainter.h"
#include "tools/SampleVideo.h"

namespace kalvero {
namespace {

constexpr int kColumns = 40;
const cv::Size kZone(640, 240);

LineBox Line(float angleDegrees) {
    LineBox line;
    line.centre = cv::Point2f(300.0f, 120.0f);
    line.length = 300.0f;
    line.digitHeight = 20.0f;
    line.angleDegrees = angleDegrees;
    return line;
}

// The image point at `share` of the width of `box`'s crop, on its middle row.
cv::Point2f AlongPoint(const LineBox& box, double share) {
    const double spanAlong = box.length + 2.0 * kLineMarginAlong * box.digitHeight;
    const double along = (share - 0.5) * spanAlong;
    const double theta = box.angleDegrees * CV_PI / 180.0;
    return cv::Point2f(static_cast<float>(box.centre.x + along * std::cos(theta)),
                       static_cast<float>(box.centre.y + along * std::sin(theta)));
}

// A decoded line of `count` digits, one column each, `pitch` columns apart
// from column `first`.
CtcReading DigitsAt(int count, int first, int pitch) {
    CtcReading decoded;
    for (int k = 0; k < count; ++k) {
        decoded.text += static_cast<char>('0' + k % 10);
        decoded.digitColumns.emplace_back(first + k * pitch, first + k * pitch);
    }
    return decoded;
}

TEST(SecondLook, EightDigitsAreFramedHalfAPitchBeyondTheOuterOnesWhereverTheLineTurns) {
    for (const float angle : {0.0f, 12.0f, -30.0f}) {
        SCOPED_TRACE(angle);
        const LineBox line = Line(angle);
        LineBox framed = line;
        ASSERT_TRUE(SecondLook(DigitsAt(8, 4, 2), kColumns, kZone, framed));
        // Digits at columns 4..18 (centres 4.5..18.5): the new box runs from
        // column 3.5 to 19.5 of the old crop, with the height and tilt kept.
        const double spanAlong = line.length + 2.0 * kLineMarginAlong * line.digitHeight;
        EXPECT_NEAR(framed.length, 16.0 / kColumns * spanAlong, 1e-3);
        const cv::Point2f middle = AlongPoint(line, 11.5 / kColumns);
        EXPECT_NEAR(framed.centre.x, middle.x, 1e-3);
        EXPECT_NEAR(framed.centre.y, middle.y, 1e-3);
        EXPECT_EQ(framed.digitHeight, line.digitHeight);
        EXPECT_EQ(framed.angleDegrees, line.angleDegrees);
        // The first digit's place in the image is where the new crop puts
        // the middle of its first pitch.
        const double margin = kLineMarginAlong * framed.digitHeight;
        const double firstShare = (margin + 0.5 / 8.0 * framed.length) / (framed.length + 2.0 * margin);
        const cv::Point2f before = AlongPoint(line, 4.5 / kColumns);
        const cv::Point2f after = AlongPoint(framed, firstShare);
        EXPECT_NEAR(cv::norm(before - after), 0.0, 1e-2);
    }
}

TEST(SecondLook, MissingDigitsWidenTheFrameOnBothSides) {
    const LineBox line = Line(0.0f);
    LineBox eight = line;
    LineBox six = line;
    ASSERT_TRUE(SecondLook(DigitsAt(8, 10, 2), kColumns, kZone, eight));
    // The same pitch, two digits fewer, same middle: one pitch more on each side.
    ASSERT_TRUE(SecondLook(DigitsAt(6, 12, 2), kColumns, kZone, six));
    EXPECT_NEAR(six.length, eight.length, 1e-3);
    EXPECT_NEAR(six.centre.x, eight.centre.x, 1e-3);
}

TEST(SecondLook, RefusesWhatCannotBeANumberOrWouldNotChangeOrReachesPastTheEdge) {
    const LineBox line = Line(0.0f);
    LineBox box = line;
    EXPECT_FALSE(SecondLook(DigitsAt(4, 10, 3), kColumns, kZone, box));
    EXPECT_FALSE(SecondLook(DigitsAt(9, 2, 4), kColumns, kZone, box));
    EXPECT_FALSE(SecondLook(CtcReading{}, kColumns, kZone, box));
    EXPECT_FALSE(SecondLook(DigitsAt(8, 4, 2), 0, kZone, box));
    // Digits spread over the crop as a well framed line has them (the
    // margins are 7 of 314 pixels, under one column).
    EXPECT_FALSE(SecondLook(DigitsAt(8, 2, 5), kColumns, kZone, box));
    // The same digits at the left of a line that starts near the zone's
    // left edge would be framed partly outside it.
    LineBox atEdge = line;
    atEdge.centre.x = 150.0f;
    EXPECT_FALSE(SecondLook(DigitsAt(6, 1, 2), kColumns, kZone, atEdge));
    EXPECT_EQ(box.centre, line.centre);
    EXPECT_EQ(box.length, line.length);
    EXPECT_EQ(atEdge.centre.x, 150.0f);
}

TEST(SecondLook, ABoxTwiceTooLongAndOffToOneSideReadsTheNumberOnceFramedAgain) {
    std::string error;
    const auto reader = LineReader::Create(error);
    ASSERT_TRUE(reader) << error;
    testing::DrawnLineStyle style;
    style.text = "52418396";
    style.digitHeight = 24;
    cv::Rect ink;
    const cv::Mat panel = testing::DrawLinePanel(cv::Size(640, 160), cv::Point2f(260.0f, 80.0f), style, &ink);
    cv::Mat grey;
    cv::cvtColor(panel, grey, cv::COLOR_BGR2GRAY);

    // A proposal that ran on past the number: twice its length, the
    // number in its left half.
    LineBox proposal;
    proposal.digitHeight = static_cast<float>(ink.height);
    proposal.length = 2.0f * static_cast<float>(ink.width);
    proposal.centre = cv::Point2f(static_cast<float>(ink.x) + 0.5f * proposal.length, ink.y + 0.5f * ink.height);
    const CtcReading first = DecodeCtc(reader->Run({NormaliseLine(grey, proposal)})[0]);
    ASSERT_GE(first.text.size(), kSecondLookMinDigits) << first.text;

    LineBox framed = proposal;
    ASSERT_TRUE(SecondLook(first, kColumns, grey.size(), framed)) << first.text;
    EXPECT_NEAR(framed.centre.x, ink.x + 0.5f * ink.width, 0.3f * ink.height);
    EXPECT_NEAR(framed.length, ink.width, 0.2f * ink.width);
    const CtcReading second = DecodeCtc(reader->Run({NormaliseLine(grey, framed)})[0]);
    EXPECT_EQ(second.text, style.text);
    EXPECT_GE(second.score, 0.8f);
    EXPECT_GT(second.score, first.text == style.text ? first.score : 0.0f);
}

// A row as the search over every height may give a tilted number from a
// scaled-down copy: level, a little off to one side, its height right.
LineProposal CoarseRow(const cv::Rect& ink) {
    LineProposal row;
    row.box = ink - cv::Point(ink.height, 0);
    row.line.centre = cv::Point2f(row.box.x + 0.5f * row.box.width, row.box.y + 0.5f * row.box.height);
    row.line.length = static_cast<float>(row.box.width);
    row.line.digitHeight = 26.0f;
    row.line.angleDegrees = 0.0f;
    row.blobCount = 8;
    return row;
}

TEST(ProposeLinesAround, FindsTheTiltedRowAroundACoarseOneInZonePixels) {
    testing::DrawnLineStyle style;
    style.text = "79281051";
    style.digitHeight = 26;
    style.angleDegrees = 9.0;
    cv::Rect ink;
    // The number away from the zone's corner, so that a box left in the
    // searched part's own pixels would be far off.
    const cv::Mat zone = testing::DrawLinePanel(cv::Size(640, 300), cv::Point2f(400.0f, 180.0f), style, &ink);
    const LineProposal row = CoarseRow(ink);
    const std::vector<LineProposal> found = ProposeLinesAround(zone, row, 2);
    ASSERT_FALSE(found.empty());
    const LineProposal& best = found.front();
    EXPECT_NEAR(best.line.angleDegrees, 9.0f, 2.0f);
    EXPECT_GT(BoxIou(best.box, ink), 0.6) << best.box << " " << ink;
    EXPECT_NEAR(best.line.centre.x, ink.x + 0.5f * ink.width, 0.5f * style.digitHeight);
    EXPECT_NEAR(best.line.centre.y, ink.y + 0.5f * ink.height, 0.5f * style.digitHeight);

    std::string error;
    const auto reader = LineReader::Create(error);
    ASSERT_TRUE(reader) << error;
    cv::Mat grey;
    cv::cvtColor(zone, grey, cv::COLOR_BGR2GRAY);
    EXPECT_EQ(DecodeCtc(reader->Run({NormaliseLine(grey, best.line)})[0]).text, style.text);
    // Grey and BGR zones give the same rows.
    const std::vector<LineProposal> fromGrey = ProposeLinesAround(grey, row, 2);
    ASSERT_EQ(fromGrey.size(), found.size());
    EXPECT_EQ(fromGrey.front().box, best.box);
}

TEST(ProposeLinesAround, LeavesOutTheRowItselfAndRefusesWhatItCannotSearch) {
    testing::DrawnLineStyle style;
    style.digitHeight = 26;
    cv::Rect ink;
    const cv::Mat zone = testing::DrawLinePanel(cv::Size(640, 300), cv::Point2f(400.0f, 180.0f), style, &ink);
    const std::vector<LineProposal> first = ProposeLinesAround(zone, CoarseRow(ink), 1);
    ASSERT_EQ(first.size(), 1u);
    // Searched around the row it found, the search finds that row again
    // and leaves it out.
    for (const LineProposal& again : ProposeLinesAround(zone, first.front(), 2)) {
        EXPECT_FALSE(BoxIou(again.box, first.front().box) > 0.9 &&
                     std::abs(again.line.angleDegrees - first.front().line.angleDegrees) < 1.0f);
    }

    LineProposal row = CoarseRow(ink);
    EXPECT_TRUE(ProposeLinesAround(cv::Mat(), row, 2).empty());
    cv::Mat floats;
    zone.convertTo(floats, CV_32FC3);
    EXPECT_TRUE(ProposeLinesAround(floats, row, 2).empty());
    row.line.digitHeight = 0.0f;
    EXPECT_TRUE(ProposeLinesAround(zone, row, 2).empty());
    row.line.digitHeight = 5000.0f;
    EXPECT_TRUE(ProposeLinesAround(zone, row, 2).empty());
    row = CoarseRow(ink);
    row.box = cv::Rect(5000, 5000, 100, 30);
    EXPECT_TRUE(ProposeLinesAround(zone, row, 2).empty());
    EXPECT_TRUE(ProposeLinesAround(zone, CoarseRow(ink), 0).empty());
}

// Scenes where the first crop of the number reads it badly or not at
// all, drawn as kalvero-make-sample draws them: oblique views (a 30-px
// number, a camera yawed 25-45 degrees) that the search over every height
// finds only as badly framed or tilted rows, and square-ended stencil
// digits whose pieces make a row of the wrong length, light digits whose
// gaps make a row of dark blobs, and a spray stroke over digits.
struct ScenePicture {
    const char* name;
    std::vector<std::string> drawing;  // kalvero-make-sample's options
    int givenHeight;                   // 0: none
    std::string number = "52473063";
};

void PrintTo(const ScenePicture& c, std::ostream* out) { *out << c.name; }

class ReadOnlyOnASecondLook : public ::testing::TestWithParam<ScenePicture> {};

TEST_P(ReadOnlyOnASecondLook, ReadsTheNumber) {
    const ScenePicture& c = GetParam();
    const std::string& number = c.number;
    const std::string path = std::string(KALVERO_BUILD_DIR) + "/second_look_" + c.name + ".png";
    std::vector<std::string> args = {path, "--varied", "--number", number};
    args.insert(args.end(), c.drawing.begin(), c.drawing.end());
    std::ostringstream out, err;
    ASSERT_EQ(RunMakeSample(args, out, err), 0) << err.str();
    const cv::Mat still = cv::imread(path);
    ASSERT_FALSE(still.empty());
    std::string error;
    const auto reader = LineReader::Create(error);
    ASSERT_TRUE(reader) << error;
    LineReaderSettings settings;
    settings.digitHeight = c.givenHeight;
    settings.requireCheckDigit = true;
    const std::vector<LineReading> readings = ReadLineReadings(still, settings, *reader);
    ASSERT_FALSE(readings.empty());
    EXPECT_EQ(readings.front().text, number);
}

INSTANTIATE_TEST_SUITE_P(
    Scenes, ReadOnlyOnASecondLook,
    ::testing::Values(
        ScenePicture{"oblique_5", {"--condition", "perspective", "--seed", "5", "--digit-height", "30"}, 0},
        ScenePicture{"oblique_15", {"--condition", "perspective", "--seed", "15", "--digit-height", "30"}, 0},
        ScenePicture{"oblique_28", {"--condition", "perspective", "--seed", "28", "--digit-height", "30"}, 0},
        ScenePicture{"block_stencil_12", {"--font", "block-stencil", "--seed", "12", "--digit-height", "26"}, 26},
        // Light digits on a panel: the search over every height first finds
        // the dark gaps between them as a row of eight dark blobs, which
        // reads as two digits.
        ScenePicture{"gaps_as_digits_44",
                     {"--size", "640x360", "--digit-height", "23", "--polarity", "light", "--seed", "44", "--font",
                      "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf", "--scene", "pass"},
                     0,
                     "54648688"},
        // A light spray stroke across two dark digits: the first crop
        // reads as eight digits whose check digit fails, the crop with the
        // stroke painted out as the number.
        ScenePicture{"spray_over_digits_161",
                     {"--size", "640x360", "--digit-height", "38", "--polarity", "light", "--seed", "161", "--font",
                      "/usr/share/fonts/truetype/liberation2/LiberationMono-Bold.ttf", "--scene", "pass",
                      "--condition", "graffiti"},
                     38,
                     "41363060"}),
    [](const ::testing::TestParamInfo<ScenePicture>& info) { return std::string(info.param.name); });

TEST(ReadOnASecondLook, DigitsReadSurelyWhoseCheckDigitFailsAreNotLookedAtAgain) {
    // The built-in glyphs nearly touching: "52473068" reads at 0.998, and
    // its check digit fails. Looked at again, its 5 read as a 3 gave
    // "32473068", whose check digit holds.
    PanelStyle look;
    look.number = "52473068";
    look.digitHeight = 28;
    look.gapFraction = 0.05;
    look.lightDigits = false;
    const cv::Mat zone = MakeNumberPanel(cv::Size(640, 360), cv::Point(150, 140), look);
    std::string error;
    const auto reader = LineReader::Create(error);
    ASSERT_TRUE(reader) << error;
    LineReaderSettings settings;
    settings.requireCheckDigit = true;
    for (const LineReading& reading : ReadLineReadings(zone, settings, *reader)) {
        ADD_FAILURE() << "read " << reading.text << " at " << reading.score;
    }
    // Without the rule the number itself is read.
    settings.requireCheckDigit = false;
    const std::vector<LineReading> all = ReadLineReadings(zone, settings, *reader);
    ASSERT_FALSE(all.empty());
    EXPECT_EQ(all.front().text, look.number);
}

}  // namespace
}  // namespace kalvero
