#pragma once
#include <opencv2/core.hpp>

namespace kalvero {

// Paints out marks on the far side of the ground from the digits in a line
// crop: where the digits are darker than the paint around them, whatever is
// lighter than that paint (a light spray stroke, a splash, glare) becomes
// the paint's grey, and the other way round for light digits; the contrast
// is then stretched again (StretchContrast). Digit strokes a mark crossed
// are left with a gap of the ground's grey, which the line model reads past
// far better than a bright scrawl it was never shown that clearly.
//
// The ground's grey is the median of the crop's top and bottom margins
// (kLineMarginAcross: no digit reaches there). Which side the digits lie on
// is told by the middle rows: the side with more pixels clearly apart from
// the ground. `crop` is NormaliseLine's output (8-bit grey,
// kLineInputWidth x kLineInputHeight); anything else is left as it is.
// Returns true when the crop was changed: there were digits on one side
// and at least a few marks on the other.
bool EraseStrayMarks(cv::Mat& crop);

}  // namespace kalvero
