#pragma once
#include <vector>

#include <opencv2/core.hpp>

namespace kalvero {

// A straight line in one of two forms: orientation 1 is
// y = slope * x + intercept, orientation 2 is x = slope * y + intercept.
struct StripLine {
    int orientation = 1;
    float slope = 0.0f;
    float intercept = 0.0f;
};

// The line through a and b, in the form that follows the longer extent:
// orientation 2 when |dy| > |dx|, else orientation 1. Two equal points give
// the horizontal line through them.
StripLine LineThroughPoints(cv::Point2f a, cv::Point2f b);

// trunc(v + 0.5) in single precision: the pixel coordinate of a line value.
inline int RoundToPixel(float v) { return static_cast<int>(v + 0.5f); }

// Foreground counts (non-zero pixels) along the lines between two opposite
// edges of a quadrilateral in an 8-bit single-channel image: edge 1 runs
// from p1 to p2, edge 2 from q1 to q2, both with the same orientation. Count
// i is taken on the pixel line from the i-th point of edge 1 to the
// proportional point of edge 2; the line stops at the first pixel outside
// the image.
std::vector<int> SampleStripProfile(const cv::Mat& image, cv::Point p1, cv::Point q1,
                                    cv::Point p2, cv::Point q2);

// Rectangle forms of the sampler.
// Counts of columns box.x .. box.x + width - 1 over rows y .. y + height - 1.
std::vector<int> BoxColumnCounts(const cv::Mat& image, const cv::Rect& box);
// Counts of every column of the image (one count per column).
std::vector<int> ImageColumnCounts(const cv::Mat& image);
// Counts of the columns x0 .. x0 + w0 over rows y0 .. y0 + h0, both ends
// included (w0 + 1 counts).
std::vector<int> InclusiveColumnCounts(const cv::Mat& image, const cv::Rect& box);
// Counts of the rows y0 .. y0 + h0 over columns x0 .. x0 + w0, both ends
// included (h0 + 1 counts).
std::vector<int> InclusiveRowCounts(const cv::Mat& image, const cv::Rect& box);

}  // namespace kalvero
