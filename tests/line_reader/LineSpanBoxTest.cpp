// Mapping a part of a line crop back to the image: where the line model saw
// what it read.
#include <gtest/gtest.h>

#include <cmath>

#include "line_reader/LineCrop.h"

namespace kalvero {
namespace {

LineBox Line(float angleDegrees) {
    LineBox line;
    line.centre = cv::Point2f(200.0f, 100.0f);
    line.length = 160.0f;
    line.digitHeight = 20.0f;
    line.angleDegrees = angleDegrees;
    return line;
}

TEST(LineSpanBox, TheWholeCropIsTheLineWithItsMarginsAlong) {
    const LineBox line = Line(0.0f);
    const float span = line.length + 2.0f * kLineMarginAlong * line.digitHeight;  // 174
    const cv::Rect whole = LineSpanBox(line, 0.0f, 1.0f);
    EXPECT_EQ(whole, cv::Rect(static_cast<int>(std::floor(200.0f - span / 2)), 90,
                              static_cast<int>(std::ceil(200.0f + span / 2)) - static_cast<int>(std::floor(200.0f - span / 2)),
                              20));
    // A quarter of it, from its middle on.
    const cv::Rect quarter = LineSpanBox(line, 0.5f, 0.75f);
    EXPECT_EQ(quarter.x, 200);
    EXPECT_NEAR(quarter.width, span / 4.0f, 1.0f);
}

TEST(LineSpanBox, ATiltedLineGivesTheBoxAroundItsTurnedPart) {
    const LineBox line = Line(10.0f);
    const cv::Rect box = LineSpanBox(line, 0.0f, 1.0f);
    const float span = line.length + 2.0f * kLineMarginAlong * line.digitHeight;
    const double t = 10.0 * CV_PI / 180.0;
    EXPECT_NEAR(box.width, span * std::cos(t) + 20.0 * std::sin(t), 2.0);
    EXPECT_NEAR(box.height, span * std::sin(t) + 20.0 * std::cos(t), 2.0);
    EXPECT_TRUE(box.contains(cv::Point(200, 100)));
}

TEST(LineSpanBox, NothingForAnEmptyPartOrLine) {
    EXPECT_TRUE(LineSpanBox(Line(0.0f), 0.6f, 0.6f).empty());
    EXPECT_TRUE(LineSpanBox(Line(0.0f), 0.7f, 0.2f).empty());
    LineBox flat = Line(0.0f);
    flat.digitHeight = 0.0f;
    EXPECT_TRUE(LineSpanBox(flat, 0.0f, 1.0f).empty());
    LineBox empty = Line(0.0f);
    empty.length = 0.0f;
    EXPECT_TRUE(LineSpanBox(empty, 0.0f, 1.0f).empty());
}

TEST(LineSpan, APartOfTheCropFramedOnItsOwnCoversWhatLineSpanBoxGives) {
    for (const float angle : {0.0f, 10.0f, -25.0f}) {
        SCOPED_TRACE(angle);
        const LineBox line = Line(angle);
        const float spanAlong = line.length + 2.0f * kLineMarginAlong * line.digitHeight;
        const LineBox whole = LineSpan(line, 0.0f, 1.0f);
        EXPECT_NEAR(whole.length, spanAlong, 1e-3);
        EXPECT_NEAR(whole.centre.x, line.centre.x, 1e-3);
        EXPECT_NEAR(whole.centre.y, line.centre.y, 1e-3);
        // The part's own line box, without its margins, is the part.
        const LineBox part = LineSpan(line, 0.2f, 0.45f);
        EXPECT_NEAR(part.length, 0.25f * spanAlong, 1e-3);
        EXPECT_EQ(part.digitHeight, line.digitHeight);
        EXPECT_EQ(part.angleDegrees, line.angleDegrees);
        const float partSpan = part.length + 2.0f * kLineMarginAlong * part.digitHeight;
        const float margin = kLineMarginAlong * part.digitHeight / partSpan;
        const cv::Rect expected = LineSpanBox(line, 0.2f, 0.45f);
        const cv::Rect got = LineSpanBox(part, margin, 1.0f - margin);
        EXPECT_LE(std::abs(got.x - expected.x), 1);
        EXPECT_LE(std::abs(got.y - expected.y), 1);
        EXPECT_LE(std::abs(got.br().x - expected.br().x), 1);
        EXPECT_LE(std::abs(got.br().y - expected.br().y), 1);
    }
    EXPECT_EQ(LineSpan(Line(0.0f), 0.5f, 0.5f).length, 0.0f);
    LineBox flat = Line(0.0f);
    flat.digitHeight = 0.0f;
    EXPECT_EQ(LineSpan(flat, 0.0f, 1.0f).length, 0.0f);
}

}  // namespace
}  // namespace kalvero
