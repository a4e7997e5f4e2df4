#pragma once
#include <cstdint>
#include <string>

#include <opencv2/core.hpp>

namespace kalvero {

// Mask (0/255) of a built-in glyph drawn at digit height h: the glyph bitmap
// scaled to (W + 2) x (h + 2) like the recogniser's templates, then cut at
// half intensity so the strokes have hard edges.
cv::Mat RenderGlyphMask(int glyphIndex, int digitHeight);

// Horizontal distance from one digit's left edge to the next one's for a
// gap of gapFraction glyph widths between the digits' boxes.
int DigitAdvance(int digitHeight, double gapFraction);

// Draws a string of decimal digits with the built-in glyphs, each glyph box
// at `origin` + i * advance. Returns the box covering every drawn glyph box.
cv::Rect DrawDigits(cv::Mat& image, const std::string& digits, cv::Point origin, int digitHeight,
                    double gapFraction, const cv::Scalar& ink);

// Fills `image` (any type) with a smooth, low-contrast texture around `base`
// grey: large soft blotches plus fine grain, reproducible for a seed.
void FillTexture(cv::Mat& image, double base, double amplitude, std::uint64_t seed);

// Adds zero-mean Gaussian noise of the given sigma, reproducible for a seed.
void AddNoise(cv::Mat& image, double sigma, std::uint64_t seed);

// Description of a synthetic carriage panel carrying a number.
struct PanelStyle {
    std::string number = "52473068";
    int digitHeight = 29;
    double gapFraction = 0.25;   // gap between glyph boxes in glyph widths
    bool lightDigits = true;     // light digits on a dark panel, else dark on light
    double contrast = 120.0;     // grey distance between panel and digits
    double textureAmplitude = 12.0;
    double blurSigma = 0.0;      // 0: no blur
    double noiseSigma = 0.0;     // 0: no noise
    std::uint64_t seed = 1;
};

// A BGR image of `size` that is all textured panel, the number drawn with its
// left edge at `origin`. `numberBox` receives the box of the drawn glyphs.
cv::Mat MakeNumberPanel(cv::Size size, cv::Point origin, const PanelStyle& look,
                        cv::Rect* numberBox = nullptr);

}  // namespace kalvero
