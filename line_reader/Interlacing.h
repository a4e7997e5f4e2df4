#pragma once
#include <opencv2/core.hpp>

namespace kalvero {

// True when an 8-bit grey or BGR image may be two interlaced fields of a
// moving scene (analogue cameras, interlaced broadcasts): the edges of
// whatever moved are combed, rows standing out from the rows beside them
// alternately up and down. At least 10 % of the rows that stand out start
// three such alternations, and more of them than of the columns do (noise,
// gravel and fine texture alternate both ways alike). Loose on purpose: it
// only decides whether a frame is worth reading once more from one field
// (FirstField). An image with too little contrast to tell,
// or of another type, is not.
bool MayBeInterlaced(const cv::Mat& image);

// The even rows of an image (its first field) as they are, and each odd
// row the mean of the rows above and below it (the last, a copy of the one
// above): the digits of a moving carriage whole again, at half the
// vertical resolution; same size and type. An empty image gives an empty
// one.
cv::Mat FirstField(const cv::Mat& image);

}  // namespace kalvero
