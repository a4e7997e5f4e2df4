#pragma once
#include <opencv2/core.hpp>

namespace kalvero {

// Size of the picture the line model reads: one row of digits, grey,
// stretched to this many pixels whatever its own proportions.
constexpr int kLineInputHeight = 32;
constexpr int kLineInputWidth = 160;

// A line of digits in an image: the centre of the row, its length along the
// row, the digit height, and the row's tilt in degrees (positive turns the
// row clockwise on screen, as y grows downwards).
struct LineBox {
    cv::Point2f centre;
    float length = 0.0f;
    float digitHeight = 0.0f;
    float angleDegrees = 0.0f;
};

// Margins the crop adds around a line box, in digit heights: the model was
// trained on crops framed this way, so the engine and the data generator
// must both go through NormaliseLine.
constexpr float kLineMarginAcross = 0.2f;  // above and below the digits
constexpr float kLineMarginAlong = 0.35f;  // before the first and after the last digit

// The line straightened and scaled to kLineInputHeight x kLineInputWidth,
// 8-bit grey, its contrast stretched so that the darkest 2 % of pixels are 0
// and the brightest 2 % are 255. `image` is 8-bit grey or BGR; parts of the
// box outside the image are filled by replicating the border. An empty
// image or a box without length or height gives an empty result.
cv::Mat NormaliseLine(const cv::Mat& image, const LineBox& box);

// Stretches the contrast of an 8-bit grey image in place so that its darkest
// 2 % of pixels become 0 and its brightest 2 % become 255 (what
// NormaliseLine does to its crop). An image of one grey (nothing to
// stretch) becomes all 128; an empty image or one of another type is left
// as it is.
void StretchContrast(cv::Mat& line);

// The axis-aligned box, in image pixels, of the part of NormaliseLine's
// crop of `box` from `from` to `to` (shares of the crop's width, 0 its left
// edge, 1 its right), the digit height across: where the line model saw
// what it read. Empty when the box has no length or height or `to` is not
// past `from`.
cv::Rect LineSpanBox(const LineBox& box, float from, float to);

// The same part of the crop as a line box of its own: the row from `from`
// to `to` (shares of the crop's width) with the box's height and tilt, so
// that NormaliseLine frames just that part. A box with no length or height,
// or `to` not past `from`, gives a box of length 0.
LineBox LineSpan(const LineBox& box, float from, float to);

}  // namespace kalvero
