#pragma once
#include <cstdint>
#include <vector>

#include <opencv2/core.hpp>

#include "tools/SceneOptions.h"

namespace kalvero {

// What a line crop shows of the scene conditions (SceneCondition) when it is
// drawn under them: the same camera, light, weather, paint and sensor
// effects as they look inside one line, plus the fonts, digit sizes and
// hard negatives that real cameras add. All values are drawn once per crop.
struct CropConditions {
    bool any = false;                 // false: the crop is drawn as without conditions
    enum class Font { FromList, Hand, BlockStencil } font = Font::FromList;
    double digitHeight = 0.0;         // > 0: digits this high before normalising (10..250)
    SceneNegative hardNegative = SceneNegative::None;  // phone, date, 9, 10, 7+1 digits, ladder, grille, rivets

    bool perspective = false;
    double yawDegrees = 0.0;          // either sign, 25..45 in size
    double rollDegrees = 0.0;         // -8..8
    double distance = 3.0;            // camera distance in widths of the painted side shown (1.2..3)
    bool night = false;
    bool infrared = false;
    double interlaceShift = 0.0;      // odd rows moved this many digit heights; 0: none
    double rollingShear = 0.0;        // x shift per row, in pixels per pixel; 0: none
    int codecBlock = 0;               // 8 or 16: block codec artefacts; 0: none
    double codecStep = 0.0;           // their quantiser step in grey levels
    int jpegQuality = 0;              // 15..60; 0: as the camera draws it
    bool rain = false;
    bool snow = false;
    double haze = 0.0;
    bool dirt = false;
    bool graffiti = false;
    double fadedContrast = 0.0;       // 15..30 grey levels; 0: the paint's own
    double motionBlurShare = 0.0;     // of a third of the digit width; 0: none
    double poleAt = -1.0;             // 0..1 along the line; negative: no pole
    double poleWidthShare = 0.0;      // of a digit width
    std::vector<int> groups;          // 8-digit groups split like this; empty: one group
    double groupGap = 0.0;            // in digit widths, 1.5..3.5
};

// A random mix for one crop: each effect with its own chance (about one in
// four), at least one of them (faded paint never at night or in infrared), the hand or block-stencil font for about a
// third of the crops, digit heights spread over 10..250 pixels (more of
// them small), and a hard negative for about one crop in five.
CropConditions RandomCropConditions(cv::RNG& rng);

}  // namespace kalvero
