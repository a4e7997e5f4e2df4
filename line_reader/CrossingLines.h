#pragma once
#include <opencv2/core.hpp>

namespace kalvero {

// Paints over thin straight lines that cross a whole line crop (a rail, a
// wire, the edge of a stripe drawn through the digits), which the line
// model was not trained to see past. A line is a band of one to a few rows,
// lighter (or darker) than the rows just above and below it by a clear
// contrast, over both end margins of the crop (where a digit never reaches)
// and over a good part of the digits between. Each such band is replaced by
// the blend of the rows just outside it, so that digit strokes crossing it
// go on through and the ground closes over it; a digit's own stroke lying
// exactly along the line is lost with it. `crop` is NormaliseLine's
// output (8-bit grey, kLineInputWidth x kLineInputHeight); anything else is
// left as it is. Returns the number of bands painted over.
int EraseCrossingLines(cv::Mat& crop);

// The same, looking at every column of every band tried: slow, plain, for
// tests to compare with.
int EraseCrossingLinesReference(cv::Mat& crop);

}  // namespace kalvero
