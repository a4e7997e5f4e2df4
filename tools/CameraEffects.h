#pragma once
#include <vector>

#include <opencv2/core.hpp>

#include "tools/NoiseTile.h"

namespace kalvero {

// What the camera and the light do to a picture of a carriage side.
struct CameraLook {
    double tiltDegrees = 0.0;   // row tilt, positive turns clockwise on screen
    double perspective = 0.0;   // largest corner shift, in shares of the picture size
    double motionBlur = 0.0;    // length of the horizontal smear in pixels; < 1: none
    double defocus = 0.0;       // Gaussian blur sigma in pixels; 0: none
    double noise = 0.0;         // Gaussian noise sigma in grey levels
    double gainSpread = 0.0;    // uneven light: gain varies about this much around 1
    int jpegQuality = 0;        // 1..100: encode and decode once; 0: never
};

// A varied camera for digits about `digitHeight` pixels high: tilt within
// +-3 degrees, a little perspective, sometimes motion or defocus blur,
// noise, uneven light and JPEG.
CameraLook RandomCameraLook(cv::RNG& rng, double digitHeight);

// The geometric part: a homography of a picture of `size` that turns it by
// the tilt about its centre and moves its corners by up to `perspective`
// of its size. `rng` picks the corner shifts.
cv::Matx33d CameraHomography(const CameraLook& look, cv::Size size, cv::RNG& rng);

// Points mapped through a homography.
std::vector<cv::Point2d> MapPoints(const cv::Matx33d& h, const std::vector<cv::Point2d>& points);

// The optical and electronic part, applied in place to an 8-bit grey or
// BGR picture: blur, uneven light, noise, then JPEG (ApplyLensBlur, then
// ApplySensor).
void ApplyOptics(cv::Mat& image, const CameraLook& look, const NoiseTile& noise, cv::RNG& rng);

// The lens's part: motion blur along the rows and defocus. It comes before
// the picture is taken apart into rows (an interlaced camera's two fields
// are each blurred on their own).
void ApplyLensBlur(cv::Mat& image, const CameraLook& look);

// The sensor's and encoder's part: uneven gain, noise, then JPEG.
void ApplySensor(cv::Mat& image, const CameraLook& look, const NoiseTile& noise, cv::RNG& rng);

}  // namespace kalvero
