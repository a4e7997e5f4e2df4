#pragma once
#include <vector>

#include <opencv2/core.hpp>

namespace kalvero {

// Number of binarisation modes of a carriage-number strip: 1 and 2 read
// digits brighter than their surroundings, 3 and 4 darker ones; modes 1 and
// 3 cut the region itself, modes 2 and 4 the region widened sideways.
constexpr int kStripModeCount = 4;

// The box of mode m (1..4) for a region box, given the glyph width W and the
// width Z of the grey image. The widened box keeps the rows of the region
// and always lies inside columns 1 .. Z - 3.
cv::Rect StripBox(int mode, const cv::Rect& region, int glyphWidth, int imageWidth);

// The eight two-level images of a region: per mode one for digit matching
// and one for the column profile, appended in mode order. `region` must lie
// inside `grey`.
void BinarizeStrip(const cv::Mat& grey, const cv::Rect& region, int glyphWidth,
                   std::vector<cv::Mat>& matchImages, std::vector<cv::Mat>& profileImages);

// The two images of mode m (1..4) alone (both empty when the mode's box is).
void BinarizeStripMode(const cv::Mat& grey, const cv::Rect& region, int glyphWidth, int mode,
                       cv::Mat& matchImage, cv::Mat& profileImage);

// Removes from the foreground of `mask` (pixels equal to 255) every pixel
// whose grey level lies more than 80 levels from the mean foreground level,
// on the side away from the background.
void CleanForeground(const cv::Mat& grey, cv::Mat& mask);

}  // namespace kalvero
