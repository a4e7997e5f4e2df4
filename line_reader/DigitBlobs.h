#pragma once
#include <vector>

#include <opencv2/core.hpp>

namespace kalvero {

// Grey levels a pixel must stand out from the local mean to count as ink,
// at least: above sensor noise and paint texture, well below painted-digit
// contrast. A picture scaled down by averaging has less noise, and faded
// paint (10-30 levels, less once smoothed) still stands out there by the
// lower floor: 6 rather than 8 finds about a quarter more faded numbers on
// generated training-font scenes, at about 5 % more time a whole frame.
// The search for faint strokes, run only where nothing else read, goes
// lower still (kFaintInkContrast): thin strokes ten levels off a grainy
// ground break into specks at 6 and stay whole at 4.
constexpr int kInkContrast = 12;
constexpr int kAveragedInkContrast = 6;
constexpr int kFaintInkContrast = 4;

// Polarity of the digits against their ground.
enum class InkPolarity { Light, Dark };

// A connected patch of ink that may be one digit, in zone pixels.
struct DigitBlob {
    cv::Rect box;
    int area = 0;  // ink pixels
    float CentreX() const { return box.x + 0.5f * box.width; }
    float CentreY() const { return box.y + 0.5f * box.height; }
};

// The digit-like blobs of one polarity in an 8-bit grey image, left to
// right (by box.x, then box.y).
//
// Ink is what stands out, in the lightly smoothed image, from the local mean (a box window of about one
// and a half expected digit heights) in the given polarity by a small
// contrast or half the local deviation, whichever is larger; straight runs
// of ink longer than a digit stroke can be (rails, poles) are cleared. Its connected parts are kept as digits when their height lies
// within a tolerant band around `digitHeight` (the expected height may be
// off by 30 %), their width is at most their height and their fill is not
// that of a solid block; parts that overlap horizontally and nearly touch
// vertically (the pieces of a stencilled digit) are joined first, and a
// part of digit height but several digits wide (digits touching) is cut
// into digit-wide pieces at its columns of least ink (at the pitch of
// ordinary faces, or of narrower ones when that leaves pieces wider than
// tall). A thin
// bar (the digit 1) is a blob. An image that is not 8-bit grey, or a
// digit height below 4, gives none.
std::vector<DigitBlob> FindDigitBlobs(const cv::Mat& grey, int digitHeight, InkPolarity polarity);

// What FindDigitBlobs compares: the grey image lightly smoothed (so that
// grain does not join digits to their surroundings), its local mean and
// the contrast a pixel needs to count as ink there.
// Computed once for both polarities of the same image and digit height.
struct InkImages {
    cv::Mat smooth;
    cv::Mat mean;
    cv::Mat threshold;  // least ink contrast per pixel (8-bit)
};
InkImages PrepareInkImages(const cv::Mat& grey, int digitHeight, int inkContrast = kInkContrast);

// The two halves of PrepareInkImages, for a caller that searches one image
// for several digit heights: the light smoothing (a Gaussian of
// InkSmoothing(digitHeight), the same for every height up to 20 pixels),
// and the rest from the smoothed image. PrepareInkImagesFromSmooth with a
// `smooth` that SmoothForInk made for any height of the same InkSmoothing
// gives what PrepareInkImages gives for `digitHeight`; an empty or
// non-8-bit `smooth`, or a height below 4, gives empty images.
double InkSmoothing(int digitHeight);
cv::Mat SmoothForInk(const cv::Mat& grey, int digitHeight);
InkImages PrepareInkImagesFromSmooth(const cv::Mat& smooth, int digitHeight, int inkContrast = kInkContrast);

// The least ink contrast per pixel of `smooth` (InkImages::threshold) for a
// local-mean window of `window` pixels: the larger of `inkContrast` and
// half the local standard deviation. The deviation is measured on a copy
// shrunk by `shrink` (each of its pixels the mean of a whole `shrink` x
// `shrink` cell, the columns and rows past the last whole cell left out)
// over a window of max(3, window / shrink | 1) pixels there, and stretched
// back bilinearly over the cells, the columns and rows past them taking the
// values beside them. InkThresholdReference measures it
// pixel by pixel in double precision; the two differ by at most one grey
// level, where float and double arithmetic round apart.
cv::Mat InkThreshold(const cv::Mat& smooth, int window, int shrink, int inkContrast);
cv::Mat InkThresholdReference(const cv::Mat& smooth, int window, int shrink, int inkContrast);
// FindDigitBlobs with the prepared images.
std::vector<DigitBlob> FindDigitBlobs(const InkImages& images, int digitHeight, InkPolarity polarity);

}  // namespace kalvero
