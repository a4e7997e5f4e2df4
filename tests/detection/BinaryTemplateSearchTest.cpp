#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <opencv2/imgproc.hpp>

#include "detection/BinaryTemplateSearch.h"
#include "detection/GlyphTemplateBank.h"
#include "detection/TemplateCorrelation.h"
#include "tools/NumberPainter.h"

namespace kalvero {
namespace {

// The first maximum of `map` over `positions` among values above the floor
// (or at least the floor), by a plain row-major scan.
WindowMaximum ScanMap(const cv::Mat& map, const cv::Rect& positions, double floor,
                      bool floorIncluded) {
    WindowMaximum best;
    for (int y = positions.y; y < positions.y + positions.height; ++y) {
        for (int x = positions.x; x < positions.x + positions.width; ++x) {
            const float v = map.at<float>(y, x);
            const bool counts = best.found ? v > best.value
                                           : (floorIncluded ? v >= floor : v > floor);
            if (counts) {
                best = {true, v, cv::Point(x, y)};
            }
        }
    }
    return best;
}

// Two-level images of several kinds: sparse speckle, dense speckle, solid
// rectangles (whose inner windows tie exactly), stripes (ties at every
// period) and drawn digits.
cv::Mat BinaryScene(int kind, cv::Size size, cv::RNG& rng, int digitHeight) {
    cv::Mat image(size, CV_8UC1, cv::Scalar(0));
    switch (kind % 5) {
    case 0:
    case 1: {
        cv::Mat noise(size, CV_8UC1);
        rng.fill(noise, cv::RNG::UNIFORM, 0, 100);
        image.setTo(255, noise < (kind % 5 == 0 ? 8 : 45));
        break;
    }
    case 2:
        for (int i = 0; i < 6; ++i) {
            const cv::Rect r(rng.uniform(0, size.width), rng.uniform(0, size.height),
                             rng.uniform(3, size.width / 2), rng.uniform(3, size.height));
            image(r & cv::Rect(cv::Point(), size)).setTo(255);
        }
        break;
    case 3: {
        const int period = rng.uniform(2, 9);
        for (int x = 0; x < size.width; x += period) {
            image.col(x).setTo(255);
        }
        break;
    }
    default:
        DrawDigits(image, "5204869", cv::Point(rng.uniform(0, 8), rng.uniform(0, 6)), digitHeight,
                   0.25, cv::Scalar(255));
        break;
    }
    return image;
}

// Templates of the glyph size: the digit glyphs, a blank one, a full one
// and a grey noise one.
std::vector<cv::Mat> TestTemplates(const GlyphTemplateBank& bank, cv::RNG& rng) {
    std::vector<cv::Mat> templates = {bank.scaledTemplates[0], bank.scaledTemplates[4],
                                      bank.scaledTemplates[8]};
    const cv::Size size = bank.scaledTemplates[0].size();
    templates.emplace_back(size, CV_8UC1, cv::Scalar(0));
    templates.emplace_back(size, CV_8UC1, cv::Scalar(255));
    cv::Mat grey(size, CV_8UC1);
    rng.fill(grey, cv::RNG::UNIFORM, 0, 256);
    templates.push_back(grey);
    return templates;
}

TEST(FindFirstMaximum, AgreesWithAScanOfTheFullMap) {
    cv::RNG rng(21);
    int compared = 0;
    int found = 0;
    for (int h : {8, 20, 29, 44}) {
        GlyphTemplateBank bank(cv::Mat(4, 4, CV_8UC1, cv::Scalar(0)));
        bank.ScaleTemplates(h);
        const cv::Size glyph = bank.scaledTemplates[0].size();
        for (int kind = 0; kind < 10; ++kind) {
            const cv::Size size(glyph.width * 5 + rng.uniform(0, 9), glyph.height * 2 + rng.uniform(0, 5));
            const cv::Mat image = BinaryScene(kind, size, rng, h);
            const BinaryImageIndex index(image, glyph);
            for (const cv::Mat& glyphTemplate : TestTemplates(bank, rng)) {
                const TemplateBounds bounds(glyphTemplate);
                const cv::Mat map = CorrelationMap(image, glyphTemplate);
                ASSERT_EQ(index.PositionCount(), map.size());
                for (int trial = 0; trial < 6; ++trial) {
                    const int x = rng.uniform(0, map.cols);
                    const int y = rng.uniform(0, map.rows);
                    const cv::Rect positions(x, y, rng.uniform(1, map.cols - x + 1),
                                             rng.uniform(1, map.rows - y + 1));
                    for (const auto& [floor, included] :
                         std::vector<std::pair<double, bool>>{{0.64, false}, {0.67, true}, {0.0, false}}) {
                        const WindowMaximum expected = ScanMap(map, positions, floor, included);
                        const WindowMaximum actual =
                            FindFirstMaximum(index, bounds, positions, floor, included);
                        const std::string what = "h " + std::to_string(h) + ", scene " +
                                                 std::to_string(kind) + ", floor " +
                                                 std::to_string(floor);
                        ASSERT_EQ(expected.found, actual.found) << what;
                        if (expected.found) {
                            EXPECT_EQ(expected.value, actual.value) << what;
                            EXPECT_EQ(expected.position, actual.position) << what;
                            ++found;
                        }
                        ++compared;
                    }
                }
            }
        }
    }
    // Both outcomes must have been exercised many times.
    EXPECT_GT(found, compared / 4);
    EXPECT_LT(found, compared);
}

TEST(FindFirstMaximum, FloorIsStrictOrInclusiveAsAsked) {
    GlyphTemplateBank bank(cv::Mat(4, 4, CV_8UC1, cv::Scalar(0)));
    bank.ScaleTemplates(20);
    const cv::Mat& glyph = bank.scaledTemplates[2];
    cv::Mat image(60, 80, CV_8UC1, cv::Scalar(0));
    DrawDigits(image, "3", cv::Point(30, 20), 20, 0.25, cv::Scalar(255));
    const cv::Mat map = CorrelationMap(image, glyph);
    const cv::Rect all(cv::Point(), map.size());
    const WindowMaximum top = ScanMap(map, all, 0.0, false);
    ASSERT_TRUE(top.found);
    const BinaryImageIndex index(image, glyph.size());
    const TemplateBounds bounds(glyph);
    const double floor = top.value;
    EXPECT_FALSE(FindFirstMaximum(index, bounds, all, floor, false).found);
    const WindowMaximum atFloor = FindFirstMaximum(index, bounds, all, floor, true);
    ASSERT_TRUE(atFloor.found);
    EXPECT_EQ(atFloor.position, top.position);
}

TEST(FindFirstMaximum, EqualValuesKeepTheEarliestWindow) {
    // A solid block larger than the template: every window inside it has
    // exactly the same value, and the first in row-major order must win.
    cv::Mat image(50, 60, CV_8UC1, cv::Scalar(0));
    image(cv::Rect(10, 5, 40, 40)).setTo(255);
    const cv::Mat glyph(12, 10, CV_8UC1, cv::Scalar(200));
    const BinaryImageIndex index(image, glyph.size());
    const WindowMaximum best = FindFirstMaximum(index, TemplateBounds(glyph),
                                                cv::Rect(cv::Point(), index.PositionCount()), 0.5, false);
    ASSERT_TRUE(best.found);
    EXPECT_EQ(best.value, 1.0f);
    EXPECT_EQ(best.position, cv::Point(10, 5));
}

TEST(BinaryImageIndex, EveryVectorPathGivesTheSameSums) {
    // The processor's widest path is compared with the narrower ones; on a
    // processor without AVX2 the widest is compared with itself.
    cv::RNG rng(22);
    for (int h : {12, 29, 50}) {
        GlyphTemplateBank bank(cv::Mat(4, 4, CV_8UC1, cv::Scalar(0)));
        bank.ScaleTemplates(h);
        const cv::Size glyph = bank.scaledTemplates[0].size();
        for (int kind = 0; kind < 5; ++kind) {
            const cv::Mat image = BinaryScene(kind, cv::Size(glyph.width * 3 + 17, glyph.height + 9), rng, h);
            const BinaryImageIndex widest(image, glyph);
            const BinaryImageIndex sse2(image, glyph, VectorPath::Sse2);
            const BinaryImageIndex portable(image, glyph, VectorPath::Portable);
            for (int g : {0, 6, 9}) {
                const TemplateBounds& bounds = bank.templateBounds[static_cast<std::size_t>(g)];
                const cv::Size positions = widest.PositionCount();
                for (int y = 0; y < positions.height; y += 3) {
                    for (int x = 0; x < positions.width; x += 2) {
                        const std::int64_t sum = portable.ForegroundSum(bounds, x, y);
                        ASSERT_EQ(widest.ForegroundSum(bounds, x, y), sum);
                        ASSERT_EQ(sse2.ForegroundSum(bounds, x, y), sum);
                    }
                    if (bounds.block == 0) {
                        continue;
                    }
                    // Row segments of every length up to past a whole step.
                    for (int count = 1; count <= std::min(positions.width, 37); count += 9) {
                        std::vector<std::int32_t> a(static_cast<std::size_t>(count));
                        std::vector<std::int32_t> b(a.size());
                        std::vector<std::int32_t> c(a.size());
                        const int x = positions.width - count;
                        portable.BlockBoundSums(bounds, x, y, count, a.data());
                        sse2.BlockBoundSums(bounds, x, y, count, b.data());
                        widest.BlockBoundSums(bounds, x, y, count, c.data());
                        ASSERT_EQ(a, b);
                        ASSERT_EQ(a, c);
                    }
                }
            }
        }
    }
}

TEST(BinaryImageIndex, CountsWindowsAndTiles) {
    cv::RNG rng(23);
    cv::Mat image = BinaryScene(1, cv::Size(53, 37), rng, 10);
    const cv::Size window(7, 9);
    const BinaryImageIndex index(image, window);
    ASSERT_EQ(index.PositionCount(), cv::Size(47, 29));
    for (int y = 0; y < 29; ++y) {
        for (int x = 0; x < 47; ++x) {
            ASSERT_EQ(index.WindowCount(x, y),
                      cv::countNonZero(image(cv::Rect(cv::Point(x, y), window))));
        }
    }
    // Whole tiles only: 47 / 7 = 6 across, 29 / 9 = 3 down.
    ASSERT_EQ(index.TileCount(), cv::Size(6, 3));
    int lowest = 0;
    int highest = 0;
    index.CountRange(cv::Rect(35, 18, 7, 9), lowest, highest);
    EXPECT_EQ(index.TileLowest(5, 2), lowest);
    EXPECT_EQ(index.TileHighest(5, 2), highest);
    EXPECT_LE(lowest, highest);
}

TEST(BinaryImageIndex, KnowsTwoLevelImages) {
    cv::Mat image(5, 40, CV_8UC1, cv::Scalar(0));
    image.col(3).setTo(255);
    EXPECT_TRUE(BinaryImageIndex::IsBinary(image));
}

class OneOddPixel : public ::testing::TestWithParam<int> {};

TEST_P(OneOddPixel, MakesTheImageNotTwoLevel) {
    cv::Mat image(5, 40, CV_8UC1, cv::Scalar(0));
    image.col(3).setTo(255);
    image.at<uchar>(4, 39) = static_cast<uchar>(GetParam());
    EXPECT_FALSE(BinaryImageIndex::IsBinary(image)) << GetParam();
}

INSTANTIATE_TEST_SUITE_P(BinaryImageIndex, OneOddPixel, ::testing::Values(1, 128, 254));

TEST(BoundBlockSize, TemplatesNarrowerThanABlockGoWithoutBlocks) {
    EXPECT_EQ(BoundBlockSize(2, 3), 0);  // digit height 1
}

class BoundBlockAtHeight : public ::testing::TestWithParam<int> {};

TEST_P(BoundBlockAtHeight, IsBetweenThreeAndSix) {
    const int h = GetParam();
    const int k = BoundBlockSize(GlyphWidthFor(h) + 2, h + 2);
    EXPECT_GE(k, 3) << h;
    EXPECT_LE(k, 6) << h;
}

INSTANTIATE_TEST_SUITE_P(BoundBlockSize, BoundBlockAtHeight,
                         ::testing::Values(8, 20, 29, 40, 60, 90));

}  // namespace
}  // namespace kalvero
