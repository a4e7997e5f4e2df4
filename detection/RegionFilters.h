#pragma once
#include <vector>

#include <opencv2/core.hpp>

namespace kalvero {

// The steps that turn the chain boxes of one scan mode into candidate boxes.
// Each works on the region table in place and keeps the table's order.

// Removes regions whose area (width x height) is below minArea or above
// maxArea.
void FilterRegionsByArea(std::vector<cv::Rect>& regions, double minArea, double maxArea);

// Repeated passes until a pass removes nothing. Each region Q in order is
// removed when narrower than 5 pixels; otherwise every other region R that is
// strictly narrower than Q and overlaps it is removed. When the overlap
// area reaches minArea, R's top lies within 0.2 Q.height of Q's and the
// overlap is narrower than 0.2 R.width, Q first takes in R's left edge, top
// and bottom (its right edge stays).
void CleanUpOverlaps(std::vector<cv::Rect>& regions, double minArea);

// Repeated passes until a pass merges nothing: a region P swallows every
// other region Q whose top is less than dy from P's and whose left edge is
// less than dx from P's right edge (P becomes the bounding box of both).
void MergeNeighbours(std::vector<cv::Rect>& regions, int dy, int dx);

// Keeps regions of 5 W to 14 W columns and 0.8 h to 3 h rows (inclusive).
void FilterRegionsByShape(std::vector<cv::Rect>& regions, int digitHeight, int glyphWidth);

// Grows a region by one pixel on every side, not past the left or top edge
// and ending at least one pixel before the right and bottom edges.
cv::Rect EnlargeRegion(const cv::Rect& region, cv::Size imageSize);

}  // namespace kalvero
