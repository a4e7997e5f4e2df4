#pragma once
#include <cstdint>
#include <vector>

#include <opencv2/core.hpp>

namespace kalvero {

// A horizontal run of ink in one row: columns [start, end).
struct InkRun {
    int y = 0;
    int start = 0;
    int end = 0;
    int component = 0;  // index into InkComponents::components
};

// One 8-connected patch of ink.
struct InkComponent {
    cv::Rect box;   // its bounding box
    int area = 0;   // its ink pixels
};

// The ink of one component in one column of a box: its pixels there and
// the first and last row holding any (top > bottom when none).
struct ColumnInkExtent {
    int ink = 0;
    int top = INT32_MAX;
    int bottom = -1;
};

// The 8-connected components of a sparse mask, found over its runs of ink
// rather than its pixels: the time goes with the ink, not the image, which
// on the masks of a whole camera frame (a few per cent ink) is several times
// less than labelling every pixel. The same components, boxes and areas as
// cv::connectedComponentsWithStats with 8-connectivity
// (LabelInkComponentsReference); their order is that of their first run
// in raster order.
struct InkComponents {
    std::vector<InkRun> runs;              // in raster order
    std::vector<int> rowStart;             // runs of row y: [rowStart[y], rowStart[y + 1])
    std::vector<InkComponent> components;

    // The ink of `component` per column of `box` (columns box.x .. box.x +
    // box.width - 1, rows within the box only), in one pass over the box's
    // rows: what the parts of the box between any columns hold follows
    // from it (InkWithinColumns) without going over the rows again.
    std::vector<ColumnInkExtent> ColumnExtents(int component, const cv::Rect& box) const;
    // The box and area of the ink of `component` within `box`; an empty
    // box and 0 when it has none there. The plain scan of the box's rows
    // that InkWithinColumns is compared with.
    InkComponent Within(int component, const cv::Rect& box) const;
};

// Within for columns [from, to) of the box whose ColumnExtents are
// `extents` (`left`, that box's first column), rows the box's own: the
// same box and area.
InkComponent InkWithinColumns(const std::vector<ColumnInkExtent>& extents, int left, int from, int to);

// The components of the non-zero pixels of an 8-bit one-channel mask. An
// empty mask, or one of another type, has none.
InkComponents LabelInkComponents(const cv::Mat& mask);

// The same through cv::connectedComponentsWithStats, for tests to compare
// with: components in label order.
std::vector<InkComponent> LabelInkComponentsReference(const cv::Mat& mask);

}  // namespace kalvero
