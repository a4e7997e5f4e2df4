#include "detection/RemoveLongRuns.h"

#include <opencv2/core.hpp>

#include "recognition_common/LongRuns.h"

namespace kalvero {

void RemoveLongRuns(cv::Mat& image, int horizontalLimit, int verticalLimit,
                    std::vector<cv::Rect>& verticalRuns) {
    CV_Assert(image.type() == CV_8UC1);
    // Only full-value pixels are ink: the scan images hold 0 and 255 alone.
    LongRunLimits limits;
    limits.keptAcross = horizontalLimit;
    limits.keptDown = verticalLimit;
    limits.ink = InkPixels::FullValue;
    ClearLongRuns(image, limits, &verticalRuns);
}

}  // namespace kalvero
