#pragma once
#include <opencv2/core.hpp>

namespace kalvero {

// Light at night: a dim ambient level in the colour of the lamps (sodium
// orange or cold white LED) and one lamp in or just outside the picture
// that lights what is near it and glares.
struct NightLight {
    cv::Vec3d cast{1.0, 1.0, 1.0};  // B, G, R multipliers of the light's colour
    double ambient = 0.2;           // share of daylight far from the lamp
    cv::Point2d lamp;               // lamp position in picture pixels (may lie outside)
    double reach = 300.0;           // distance in pixels at which the lamp's light halves
    double strength = 1.0;          // lamp light at the lamp, on top of the ambient
    double glareRadius = 10.0;      // radius of the lamp's bright core in pixels
};

// A night light for a picture of `size`: sodium or LED drawn evenly, the
// lamp at a random place along the top of the picture or just above it.
NightLight RandomNightLight(cv::Size size, cv::RNG& rng);

// The light falling on each pixel (32-bit float, `channels` 1 or 3; one
// channel takes the cast's mean) and the glare the lamp adds on top of the
// picture, in grey levels.
cv::Mat NightLightField(cv::Size size, const NightLight& light, int channels);
cv::Mat NightGlare(cv::Size size, const NightLight& light, int channels);

// Bloom: what stands brighter than `threshold` (32-bit float picture)
// spreads over its surroundings, blurred with `sigma` pixels and added at
// `strength`.
void AddBloom(cv::Mat& image, double threshold, double sigma, double strength);

// Near-infrared: paints reflect differently than in visible light, so the
// painted side's grey becomes offset + slope * grey (the slope may be
// negative: dark paint can look light), foliage turns bright, and the
// picture is grey and flat.
struct InfraredLook {
    double slope = 0.6;
    double offset = 60.0;
    double foliage = 200.0;   // grey of vegetation and ground
    double flatten = 0.75;    // contrast kept around the mean
};

// A look whose slope is 0.55..0.85 in size, either sign, and whose
// flattening keeps 75-90 % of the contrast, so painted digits keep at
// least 20 grey levels on a 45-level paint.
InfraredLook RandomInfraredLook(cv::RNG& rng);

// The painted side (32-bit float grey) as the IR camera sees it.
void ApplyInfraredPaint(cv::Mat& grey, const InfraredLook& look);

}  // namespace kalvero
