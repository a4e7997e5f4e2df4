#pragma once
#include <vector>

#include <opencv2/core.hpp>

#include "line_reader/DigitBlobs.h"
#include "line_reader/LineCrop.h"

namespace kalvero {

// A row of digit-like blobs: the blobs (left to right), the line through
// them and the axis-aligned box around them, in zone pixels.
struct BlobRow {
    std::vector<DigitBlob> blobs;
    LineBox line;
    cv::Rect box;
};

// Most a row may tilt, in degrees; a steeper fit is clamped to it. A camera
// rolled 8 degrees and yawed off the carriage side tilts rows by up to
// about 11.
constexpr float kMaxRowTiltDegrees = 12.0f;

// Groups left-to-right blobs into rows of at least `minBlobs`. Two blobs
// are neighbours in a row when their heights differ by at most a third,
// the gap from one's right edge to the next one's left edge is below
// 1.2 times their height (a slight overlap allowed), and their centres line
// up within a quarter height plus what a 12-degree tilt makes of the
// distance between them. Each blob joins the row of its nearest fitting
// left neighbour; a blob that several would take goes to the nearest.
// Rows come out in order of their first blob.
std::vector<BlobRow> GroupBlobRows(const std::vector<DigitBlob>& blobs, int minBlobs);

// The line of a row of blobs: the tilt of the least-squares line through
// the blob centres (clamped to +-kMaxRowTiltDegrees), the length along it
// from the first blob's left edge to the last blob's right edge, the
// median blob height corrected for the tilt, and the midpoint on the line.
// An empty list gives a default LineBox.
LineBox FitRowLine(const std::vector<DigitBlob>& blobs);

}  // namespace kalvero
