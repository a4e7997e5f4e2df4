#pragma once
#include <opencv2/core.hpp>

namespace kalvero {

// What a low-bitrate block codec (H.264, MPEG-4 part 2) leaves in an 8-bit
// grey picture, done in place: every `block` x `block` tile (8 or 16) goes
// through a DCT whose coefficients are rounded to steps of `step` grey
// levels, coarser for higher frequencies, so tiles lose detail, ring at
// edges and show their borders. A step of 0 leaves the picture alone.
void AddBlockCodecArtefacts(cv::Mat& grey, int block, double step);

}  // namespace kalvero
