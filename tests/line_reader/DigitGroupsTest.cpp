// Joining digit groups painted apart ("5241 8396") into one row.
#include <gtest/gtest.h>

#include <sstream>

#include <opencv2/imgproc.hpp>

#include "DrawnLines.h"
#include "line_reader/DigitGroups.h"
#include "line_reader/LineProposals.h"

namespace kalvero {
namespace {

// A group of `count` blobs `h` high, 0.6 h wide, 0.15 h apart, from `x` on
// the baseline `y` (top of the blobs).
BlobRow Group(int count, int x, int y, int h = 30) {
    std::vector<DigitBlob> blobs;
    const int width = h * 6 / 10;
    for (int i = 0; i < count; ++i) {
        blobs.push_back(DigitBlob{cv::Rect(x + i * (width + h * 15 / 100), y, width, h), width * h / 2});
    }
    BlobRow row;
    row.blobs = blobs;
    row.line = FitRowLine(blobs);
    row.box = blobs.front().box;
    for (const DigitBlob& b : blobs) row.box |= b.box;
    return row;
}

int RightOf(const BlobRow& row) { return row.box.x + row.box.width; }

TEST(JoinDigitGroups, JoinsGroupsAFewDigitWidthsApartOnOneLine) {
    const BlobRow left = Group(4, 10, 50);
    const BlobRow right = Group(4, RightOf(left) + 95, 50);  // 3.2 heights: 5 digit widths from edge to edge
    const std::vector<BlobRow> joined = JoinDigitGroups({left, right}, 5, 10);
    ASSERT_EQ(joined.size(), 1u);
    EXPECT_EQ(joined[0].blobs.size(), 8u);
    EXPECT_EQ(joined[0].box, left.box | right.box);
    EXPECT_NEAR(joined[0].line.angleDegrees, 0.0f, 0.1f);
}

TEST(JoinDigitGroups, ThreeGroupsChainAndEveryLongEnoughChainIsARow) {
    const BlobRow a = Group(2, 10, 50);
    const BlobRow b = Group(4, RightOf(a) + 45, 50);
    const BlobRow c = Group(2, RightOf(b) + 45, 51);
    const std::vector<BlobRow> joined = JoinDigitGroups({a, b, c}, 5, 10);
    // a+b+c (8), b+c (6); a+b (6) too.
    std::vector<std::size_t> sizes;
    for (const BlobRow& row : joined) sizes.push_back(row.blobs.size());
    EXPECT_EQ(sizes, (std::vector<std::size_t>{6, 8, 6}));
}

struct Apart {
    const char* what;
    BlobRow right;
};

TEST(JoinDigitGroups, KeepsApartWhatCannotBeOneNumber) {
    const BlobRow left = Group(4, 10, 50);
    const int next = RightOf(left);
    const std::vector<Apart> cases = {
        {"too far", Group(4, next + 110, 50)},            // 3.7 heights
        {"smaller digits", Group(4, next + 30, 58, 20)},  // heights 30 and 20
        {"another line", Group(4, next + 30, 65)},        // half a height lower
        {"to the left", Group(4, 10 - 150, 50)},
    };
    for (const Apart& c : cases) {
        EXPECT_TRUE(JoinDigitGroups({left, c.right}, 5, 10).empty()) << c.what;
    }
    // More blobs than allowed, or fewer than needed.
    EXPECT_TRUE(JoinDigitGroups({left, Group(7, next + 40, 50)}, 5, 10).empty());
    EXPECT_TRUE(JoinDigitGroups({Group(2, 10, 50), Group(2, 10 + 150, 50)}, 5, 10).empty());
    EXPECT_TRUE(JoinDigitGroups({}, 5, 10).empty());
}

TEST(ProposeLines, GroupsPaintedApartAreProposedAsOneRow) {
    testing::DrawnLineStyle style;
    style.noiseSigma = 0.0;
    const cv::Size size(520, 100);
    style.text = "5241";
    cv::Rect leftInk, rightInk;
    const cv::Mat left = testing::DrawLinePanel(size, cv::Point2f(130.0f, 50.0f), style, &leftInk);
    style.text = "8396";
    const cv::Mat right = testing::DrawLinePanel(size, cv::Point2f(290.0f, 50.0f), style, &rightInk);
    // About 3.5 digit widths apart: wider than any gap inside a group.
    const int gap = rightInk.x - leftInk.br().x;
    ASSERT_GT(gap, 1.5 * style.digitHeight);
    ASSERT_LT(gap, 2.2 * style.digitHeight);
    cv::Mat panel, grey;
    cv::max(left, right, panel);
    cv::cvtColor(panel, grey, cv::COLOR_BGR2GRAY);
    const std::vector<LineProposal> proposals = ProposeLines(grey, style.digitHeight, 6);
    const cv::Rect both = leftInk | rightInk;
    ASSERT_FALSE(proposals.empty());
    const auto covering = std::find_if(proposals.begin(), proposals.end(),
                                       [&](const LineProposal& p) { return BoxIou(p.box, both) > 0.8; });
    ASSERT_NE(covering, proposals.end()) << [&] {
        std::ostringstream out;
        out << "ink " << leftInk << " and " << rightInk << "; proposals:";
        for (const LineProposal& p : proposals) out << " " << p.box << " (" << p.blobCount << ")";
        return out.str();
    }();
    EXPECT_EQ(covering->blobCount, 8);
}

}  // namespace
}  // namespace kalvero
