#include "tools/CropConditions.h"

#include <cmath>

namespace kalvero {

namespace {

bool Chance(cv::RNG& rng, double p) { return rng.uniform(0.0, 1.0) < p; }

}  // namespace

CropConditions RandomCropConditions(cv::RNG& rng) {
    CropConditions c;
    c.any = true;
    // A fifth hand-painted, a fifth block stencil: these crops are the only
    // place the reader meets either, and the block stencil's 1 and 7 differ
    // only in how far the top bar reaches, which blur soon hides.
    const double f = rng.uniform(0.0, 1.0);
    c.font = f < 0.2 ? CropConditions::Font::Hand : (f < 0.4 ? CropConditions::Font::BlockStencil : CropConditions::Font::FromList);
    // 10..250 pixels, log-spread and leaning small: small digits are common and hard.
    c.digitHeight = 10.0 * std::pow(25.0, std::pow(rng.uniform(0.0, 1.0), 1.3));
    if (Chance(rng, 0.2)) {
        const SceneNegative kinds[] = {SceneNegative::PhoneNumber, SceneNegative::Date,        SceneNegative::NineDigits,
                                       SceneNegative::TenDigits,   SceneNegative::SevenPlusOne, SceneNegative::Ladder,
                                       SceneNegative::Grille,      SceneNegative::Rivets};
        c.hardNegative = kinds[rng.uniform(0, 8)];
    }
    bool some = false;
    for (int attempt = 0; attempt < 4 && !some; ++attempt) {
        if (Chance(rng, 0.25)) {
            c.perspective = true;
            c.yawDegrees = rng.uniform(25.0, 45.0) * (Chance(rng, 0.5) ? -1.0 : 1.0);
            c.rollDegrees = rng.uniform(-8.0, 8.0);
            c.distance = rng.uniform(1.2, 3.0);
        }
        const double light = rng.uniform(0.0, 1.0);
        c.night = light < 0.15;
        c.infrared = light >= 0.15 && light < 0.27;
        if (Chance(rng, 0.12)) {
            c.interlaceShift = rng.uniform(0.04, 0.2) * (Chance(rng, 0.5) ? -1.0 : 1.0);
        }
        if (Chance(rng, 0.12)) {
            c.rollingShear = rng.uniform(0.03, 0.15) * (Chance(rng, 0.5) ? -1.0 : 1.0);
        }
        if (Chance(rng, 0.25)) {
            c.codecBlock = Chance(rng, 0.5) ? 8 : 16;
            c.codecStep = rng.uniform(6.0, 30.0);
        }
        if (Chance(rng, 0.2)) {
            c.jpegQuality = rng.uniform(15, 61);
        }
        const double weather = rng.uniform(0.0, 1.0);
        c.rain = weather < 0.1;
        c.snow = weather >= 0.1 && weather < 0.18;
        c.haze = rng.uniform(0.1, 0.3);
        c.dirt = Chance(rng, 0.15);
        c.graffiti = Chance(rng, 0.12);
        // Faded paint in the dark or in infrared leaves a few grey levels
        // under heavy noise, which nobody reads: never together.
        if (Chance(rng, 0.15) && !c.night && !c.infrared) {
            c.fadedContrast = rng.uniform(15.0, 30.0);
        } else {
            c.fadedContrast = 0.0;
        }
        if (Chance(rng, 0.2)) {
            c.motionBlurShare = rng.uniform(0.3, 1.0);
        }
        if (Chance(rng, 0.1)) {
            c.poleAt = rng.uniform(0.0, 1.0);
            c.poleWidthShare = rng.uniform(0.15, 0.45);
        }
        if (Chance(rng, 0.15)) {
            c.groups = Chance(rng, 0.6) ? std::vector<int>{4, 4} : std::vector<int>{2, 4, 2};
            c.groupGap = rng.uniform(1.5, 3.5);
        }
        some = c.perspective || c.night || c.infrared || c.interlaceShift != 0.0 || c.rollingShear != 0.0 ||
               c.codecBlock > 0 || c.jpegQuality > 0 || c.rain || c.snow || c.dirt || c.graffiti ||
               c.fadedContrast > 0.0 || c.motionBlurShare > 0.0 || c.poleAt >= 0.0 || !c.groups.empty() ||
               c.font != CropConditions::Font::FromList || c.hardNegative != SceneNegative::None;
    }
    return c;
}

}  // namespace kalvero
