#pragma once
#include <cstdint>
#include <vector>

#include <opencv2/core.hpp>

namespace kalvero {

// Columns of a binarised strip around which a digit-like band of ink
// stands: peaks of the smoothed column profile, each confirmed by a band
// test. `limit` caps the number of peaks looked at, `size` (the digit height
// plus 5) scales the thresholds. Ascending column indexes.
std::vector<std::int32_t> FindDigitPositions(const cv::Mat& image, int limit, int size);

// The first `n` counts smoothed with the 3-tap kernel (1/4, 1/2, 1/4), the
// end values replicated.
std::vector<float> SmoothProfile(const std::vector<int>& counts, int n);

// Peaks of v[0 .. n-1]: first the index of the largest value, then up to
// capacity - 1 local maxima above f times that value, strongest first; of
// two peaks less than 4 apart only the earlier in the list stays.
std::vector<int> FindProfilePeaks(const std::vector<float>& v, int n, double f, int capacity);

// True when the band (x, 0, width, image height) holds a long enough run of
// inked rows, without ink in every row and without more than one ink pixel
// in both its top and its bottom row. The band covers columns x .. x + width.
bool IsDigitBand(const cv::Mat& image, const cv::Rect& band);

}  // namespace kalvero
