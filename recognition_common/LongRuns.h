#pragma once
#include <vector>

#include <opencv2/core.hpp>

namespace kalvero {

// Which pixels of a mask are ink for ClearLongRuns.
enum class InkPixels {
    FullValue,  // only 255 (the glyph engine's scans hold 0 and 255 alone)
    NonZero,    // any value but 0 (the learned engine's masks)
};

// The longest runs ClearLongRuns keeps, in pixels: a run longer than this
// is cleared. Below 0 counts as 0 (every run of ink is cleared).
struct LongRunLimits {
    int keptAcross = 0;
    int keptDown = 0;
    InkPixels ink = InkPixels::FullValue;
};

// Clears, in an 8-bit one-channel mask, every ink pixel on a horizontal
// run longer than limits.keptAcross or on a vertical run longer than
// limits.keptDown. Runs are measured in the mask as given, not after the
// other direction's clearing, and end at the image border: a pixel on a
// long row and a long column is cleared once, and the column's run is still
// seen in full. When `verticalRuns` is given, each cleared vertical run of
// k pixels is appended to it as (x, first row, 1, k - 1), column by column
// and in a column top to bottom. A mask that is empty or not 8-bit
// one-channel is left as it is.
//
// Rails, panel edges, poles and underlines run far longer than any digit
// stroke; both engines clear them so that they do not join the digits they
// cross.
void ClearLongRuns(cv::Mat& mask, const LongRunLimits& limits, std::vector<cv::Rect>* verticalRuns = nullptr);

}  // namespace kalvero
