// The glyph search's candidate regions as plain boxes, the form in which the
// worker hands them to the learned engine.
#include <gtest/gtest.h>

#include "detection/GlyphRegionBoxes.h"
#include "tools/NumberPainter.h"

namespace kalvero {
namespace {

TEST(GlyphRegionBoxes, FindTheNumberWithinTheZoneAndRefuseWhatCannotBeSearched) {
    PanelStyle style;
    style.digitHeight = 29;
    cv::Rect number;
    const cv::Mat zone = MakeNumberPanel(cv::Size(640, 360), cv::Point(150, 140), style, &number);
    const std::vector<cv::Rect> boxes = GlyphRegionBoxes(zone, 29);
    ASSERT_FALSE(boxes.empty());
    const cv::Rect whole(0, 0, zone.cols, zone.rows);
    bool covered = false;
    for (const cv::Rect& box : boxes) {
        EXPECT_EQ(box & whole, box);
        covered = covered || (box & number).area() >= number.area() / 2;
    }
    EXPECT_TRUE(covered) << "no region over the number";

    EXPECT_TRUE(GlyphRegionBoxes(zone, 3).empty());
    EXPECT_TRUE(GlyphRegionBoxes(cv::Mat(), 29).empty());
    EXPECT_TRUE(GlyphRegionBoxes(zone(cv::Rect(0, 0, 12, 12)), 29).empty());
    cv::Mat floats;
    zone.convertTo(floats, CV_32FC3);
    EXPECT_TRUE(GlyphRegionBoxes(floats, 29).empty());
}

}  // namespace
}  // namespace kalvero
