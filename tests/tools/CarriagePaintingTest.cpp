#include <gtest/gtest.h>

#include <opencv2/core.hpp>

#include "tools/CarriagePainting.h"

namespace kalvero {
namespace {

// A side whose lower half is one block of ink 20 levels darker than the
// paint, with heavy grime and nothing else: every column's ink, next to the
// paint just above it, must keep those 20 levels, since dirt darkens the
// digits as it darkens the paint around them.
TEST(CarriagePainting, GrimeDarkensTheInkAsItDarkensThePaintAroundIt) {
    PaintLook look;
    look.lightDigits = false;
    look.paint = 150.0;
    look.ink = 130.0;
    look.texture = 0.0;  // flat paint: only the dirt varies
    look.grime = 1.0;
    const cv::Size size(400, 120);
    PaintItem block;
    block.mask = cv::Mat(60, 400, CV_8U, cv::Scalar(255));
    block.at = {0, 60};
    const NoiseTile noise;
    int seedsWithDirt = 0;
    for (int seed = 1; seed <= 4; ++seed) {
        cv::RNG rng(seed);
        const cv::Mat side = PaintCarriageSide(size, look, {block}, 0.0, noise, rng);
        // Dirt shows as paint well below its grey somewhere above the block.
        double darkest = 0.0;
        cv::minMaxLoc(side.rowRange(40, 58), &darkest);
        seedsWithDirt += darkest < look.paint - 12.0 ? 1 : 0;
        double worst = 0.0;
        for (int x = 0; x < size.width; x += 8) {
            const double paint = cv::mean(side(cv::Rect(x, 57, 8, 3)))[0];
            const double ink = cv::mean(side(cv::Rect(x, 60, 8, 3)))[0];
            worst = std::max(worst, std::abs((paint - ink) - (look.paint - look.ink)));
        }
        EXPECT_LT(worst, 4.0) << "seed " << seed;
    }
    EXPECT_GE(seedsWithDirt, 2) << "the sides carried too little dirt to test anything";
}

// Faded paint keeps its few grey levels along the whole number: however
// mottled the look's paint was, the paint beside every stretch of digit
// stays on the same side of the ink, more than half the contrast away.
TEST(CarriagePainting, FadedDigitsKeepOverHalfTheirContrastAlongTheNumber) {
    const cv::Size size(400, 120);
    PaintItem block;
    block.mask = cv::Mat(60, 400, CV_8U, cv::Scalar(255));
    block.at = {0, 60};
    const NoiseTile noise;
    for (int seed = 1; seed <= 6; ++seed) {
        PaintLook look;
        look.lightDigits = seed % 2 == 0;
        look.paint = 128.0;
        look.texture = 18.0;  // the most RandomPaintLook gives
        FadePaint(look, 15.0);
        EXPECT_DOUBLE_EQ(look.ink, look.lightDigits ? 143.0 : 113.0);
        cv::RNG rng(seed);
        const cv::Mat side = PaintCarriageSide(size, look, {block}, 0.0, noise, rng);
        double weakest = 1e9;
        for (int x = 0; x < size.width; x += 8) {
            const double paint = cv::mean(side(cv::Rect(x, 57, 8, 3)))[0];
            const double ink = cv::mean(side(cv::Rect(x, 60, 8, 3)))[0];
            weakest = std::min(weakest, (look.lightDigits ? 1.0 : -1.0) * (ink - paint));
        }
        EXPECT_GT(weakest, 0.5 * 15.0) << "seed " << seed;
    }
    // Where the contrast would leave the grey range, the digits go the
    // other way from the paint.
    PaintLook bright;
    bright.lightDigits = true;
    bright.paint = 248.0;
    FadePaint(bright, 20.0);
    EXPECT_DOUBLE_EQ(bright.ink, 228.0);
    PaintLook panelled;
    panelled.lightDigits = false;
    panelled.panel = true;
    panelled.paint = 100.0;
    panelled.panelPaint = 10.0;
    FadePaint(panelled, 20.0);
    EXPECT_DOUBLE_EQ(panelled.ink, 30.0);
}

}  // namespace
}  // namespace kalvero
