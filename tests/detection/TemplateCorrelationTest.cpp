#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <tuple>

#include <opencv2/imgproc.hpp>

#include "detection/GlyphTemplateBank.h"
#include "detection/TemplateCorrelation.h"

namespace kalvero {
namespace {

cv::Mat RandomGrey(cv::Size size, cv::RNG& rng) {
    cv::Mat image(size, CV_8UC1);
    rng.fill(image, cv::RNG::UNIFORM, 0, 256);
    return image;
}

bool BitIdentical(const cv::Mat& a, const cv::Mat& b) {
    if (a.size() != b.size() || a.type() != b.type()) {
        return false;
    }
    for (int r = 0; r < a.rows; ++r) {
        if (std::memcmp(a.ptr(r), b.ptr(r), a.cols * a.elemSize()) != 0) {
            return false;
        }
    }
    return true;
}

TEST(NormalisedCorrelation, FollowsOpenCVInTheCornerCases) {
    // An empty window correlates 0 with anything.
    EXPECT_EQ(NormalisedCorrelation(0, 0, 1000), 0.0f);
    // A window equal to the template: sum(I*T) = sum(I^2) = sum(T^2).
    EXPECT_EQ(NormalisedCorrelation(4225, 4225, 4225), 1.0f);
    // A quarter of the template's energy under a window of the same energy.
    EXPECT_FLOAT_EQ(NormalisedCorrelation(250, 1000, 1000), 0.25f);
    // A blank template gives 0 rather than a division by zero.
    EXPECT_EQ(NormalisedCorrelation(0, 500, 0), 0.0f);
}

// Digit heights and glyphs (a round one, the 4, the 8) on random images.
class CorrelationOfGlyph : public ::testing::TestWithParam<std::tuple<int, int>> {};

TEST_P(CorrelationOfGlyph, MatchesOpenCVUpToSinglePrecisionRounding) {
    const auto [h, g] = GetParam();
    cv::RNG rng(static_cast<std::uint64_t>(1100 + 10 * h + g));
    GlyphTemplateBank bank(cv::Mat(4, 4, CV_8UC1, cv::Scalar(0)));
    bank.ScaleTemplates(h);
    const cv::Mat& glyph = bank.scaledTemplates[static_cast<std::size_t>(g)];
    const cv::Mat image = RandomGrey(cv::Size(glyph.cols * 4 + 3, glyph.rows * 2 + 5), rng);
    cv::Mat expected;
    cv::matchTemplate(image, glyph, expected, cv::TM_CCORR_NORMED);
    const cv::Mat map = CorrelationMap(image, glyph);
    ASSERT_EQ(map.size(), expected.size());
    EXPECT_LT(cv::norm(map, expected, cv::NORM_INF), 1e-5) << "h " << h << ", glyph " << g;
}

INSTANTIATE_TEST_SUITE_P(CorrelationMap, CorrelationOfGlyph,
                         ::testing::Combine(::testing::Values(10, 20, 29, 41),
                                            ::testing::Values(0, 4, 8)));

// The map of a part of an image is, bit for bit, the matching part of the
// whole image's map: values do not depend on the image size.
class ImagePart : public ::testing::TestWithParam<cv::Rect> {};

TEST_P(ImagePart, AValueDependsOnlyOnItsWindow) {
    const cv::Rect part = GetParam();
    cv::RNG rng(12);
    GlyphTemplateBank bank(cv::Mat(4, 4, CV_8UC1, cv::Scalar(0)));
    bank.ScaleTemplates(24);
    const cv::Mat& glyph = bank.scaledTemplates[5];
    cv::Mat image = RandomGrey(cv::Size(300, 90), rng);
    cv::threshold(image, image, 170, 255, cv::THRESH_BINARY);
    const cv::Mat whole = CorrelationMap(image, glyph);
    const cv::Mat map = CorrelationMap(image(part), glyph);
    const cv::Rect range(part.x, part.y, map.cols, map.rows);
    EXPECT_TRUE(BitIdentical(map, whole(range))) << part;
}

INSTANTIATE_TEST_SUITE_P(CorrelationMap, ImagePart,
                         ::testing::Values(cv::Rect(0, 0, 40, 30), cv::Rect(37, 11, 101, 60),
                                           cv::Rect(200, 40, 100, 50)));

TEST(CorrelationMap, ExactMatchScoresOne) {
    GlyphTemplateBank bank(cv::Mat(4, 4, CV_8UC1, cv::Scalar(0)));
    bank.ScaleTemplates(20);
    const cv::Mat& glyph = bank.scaledTemplates[3];
    cv::Mat image(60, 60, CV_8UC1, cv::Scalar(0));
    glyph.copyTo(image(cv::Rect(17, 9, glyph.cols, glyph.rows)));
    const cv::Mat map = CorrelationMap(image, glyph);
    double best = 0.0;
    cv::Point at;
    cv::minMaxLoc(map, nullptr, &best, nullptr, &at);
    EXPECT_EQ(best, 1.0);
    EXPECT_EQ(at, cv::Point(17, 9));
    EXPECT_EQ(TemplateEnergy(glyph), static_cast<std::int64_t>(cv::norm(glyph, cv::NORM_L2SQR)));
}

}  // namespace
}  // namespace kalvero
