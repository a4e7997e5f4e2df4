#pragma once
#include <cmath>
#include <cstdint>

#include <opencv2/core.hpp>

namespace kalvero {

// Normalised cross-correlation of an 8-bit image with an 8-bit template
// (the measure OpenCV calls TM_CCORR_NORMED), computed from exact integer
// sums: for the window at (x, y)
//     R(x, y) = sum(I * T) / sqrt(sum(I^2) * sum(T^2))
// over the template's pixels. Every sum is an exact integer, so a value
// depends only on the window's pixels and never on the size of the image it
// was cut from or on the order in which windows are visited; the fast
// window search and the plain map below give bit-identical values. (OpenCV's
// own matchTemplate works in single precision through blocked Fourier
// transforms, whose last bits do depend on the image size.)

// sum(T^2) of a template.
std::int64_t TemplateEnergy(const cv::Mat& glyphTemplate);

// The correlation from the three sums, with OpenCV's treatment of the
// corner cases: an empty window (sum(I^2) = 0) gives 0, and a quotient that
// rounding pushes to 1 or slightly above is reported as exactly 1.
inline float NormalisedCorrelation(std::int64_t crossSum, std::int64_t windowEnergy,
                                   std::int64_t templateEnergy) {
    const double denominator =
        windowEnergy > 0 ? std::sqrt(static_cast<double>(windowEnergy)) *
                               std::sqrt(static_cast<double>(templateEnergy))
                         : 0.0;
    double value = static_cast<double>(crossSum);
    if (std::fabs(value) < denominator) {
        value /= denominator;
    } else if (std::fabs(value) < denominator * 1.125) {
        value = value > 0.0 ? 1.0 : -1.0;
    } else {
        value = 0.0;
    }
    return static_cast<float>(value);
}

// The whole correlation map of a single-channel 8-bit image and a template
// no larger than the image: (cols - tw + 1) x (rows - th + 1) values of type
// CV_32FC1, each summed window by window.
cv::Mat CorrelationMap(const cv::Mat& image, const cv::Mat& glyphTemplate);

}  // namespace kalvero
