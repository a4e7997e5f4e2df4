#include "carriage_number/StripProfile.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace kalvero {

StripLine LineThroughPoints(cv::Point2f a, cv::Point2f b) {
    StripLine line;
    const float dx = b.x - a.x;
    const float dy = b.y - a.y;
    if (std::fabs(dy) > std::fabs(dx)) {
        line.orientation = 2;
        line.slope = dx / dy;
        line.intercept = a.x - line.slope * a.y;
    } else if (dx != 0.0f) {
        line.orientation = 1;
        line.slope = dy / dx;
        line.intercept = a.y - line.slope * a.x;
    } else {
        // A single point: the horizontal line through it, so that walking
        // from the point to itself visits exactly that pixel.
        line.orientation = 1;
        line.slope = 0.0f;
        line.intercept = a.y;
    }
    return line;
}

namespace {

// The other coordinate of a line at a value of its main coordinate.
inline int LinePixel(const StripLine& line, int main) {
    return RoundToPixel(line.slope * static_cast<float>(main) + line.intercept);
}

// Non-zero pixels on the pixel line from a to b, both ends included,
// stopping at the first pixel outside the image.
int CountAlongLine(const cv::Mat& image, cv::Point a, cv::Point b) {
    const StripLine line = LineThroughPoints(cv::Point2f(a), cv::Point2f(b));
    const bool alongX = line.orientation == 1;
    const int from = alongX ? a.x : a.y;
    const int to = alongX ? b.x : b.y;
    const int step = to >= from ? 1 : -1;
    int count = 0;
    for (int main = from;; main += step) {
        const int other = LinePixel(line, main);
        const int x = alongX ? main : other;
        const int y = alongX ? other : main;
        if (x < 0 || y < 0 || x >= image.cols || y >= image.rows) {
            break;
        }
        if (image.ptr<uchar>(y)[x] != 0) {
            ++count;
        }
        if (main == to) {
            break;
        }
    }
    return count;
}

inline int Direction(int from, int to) { return to > from ? 1 : -1; }

}  // namespace

std::vector<int> SampleStripProfile(const cv::Mat& image, cv::Point p1, cv::Point q1,
                                    cv::Point p2, cv::Point q2) {
    CV_Assert(image.type() == CV_8UC1);
    const StripLine edge1 = LineThroughPoints(cv::Point2f(p1), cv::Point2f(p2));
    const StripLine edge2 = LineThroughPoints(cv::Point2f(q1), cv::Point2f(q2));
    CV_Assert(edge1.orientation == edge2.orientation);
    const bool alongX = edge1.orientation == 1;

    // Main coordinates of the edge ends.
    const int pFrom = alongX ? p1.x : p1.y;
    const int pTo = alongX ? p2.x : p2.y;
    const int qFrom = alongX ? q1.x : q1.y;
    const int qTo = alongX ? q2.x : q2.y;
    const int pSpan = std::abs(pTo - pFrom);
    const int qSpan = std::abs(qTo - qFrom);
    const int pSign = Direction(pFrom, pTo);
    const int qSign = Direction(qFrom, qTo);

    const int n = pSpan + 1;
    std::vector<int> profile(static_cast<std::size_t>(n), 0);
    for (int i = 0; i < n; ++i) {
        const int main1 = pFrom + i * pSign;
        int offset2 = 0;
        if (pSpan != 0) {
            offset2 = static_cast<int>(static_cast<float>(qSpan) * static_cast<float>(qSign * i) /
                                       static_cast<float>(pSpan));
        }
        const int main2 = qFrom + offset2;
        const int other1 = LinePixel(edge1, main1);
        const int other2 = LinePixel(edge2, main2);
        const cv::Point a = alongX ? cv::Point(main1, other1) : cv::Point(other1, main1);
        const cv::Point b = alongX ? cv::Point(main2, other2) : cv::Point(other2, main2);
        profile[static_cast<std::size_t>(i)] = CountAlongLine(image, a, b);
    }
    return profile;
}

namespace {

// Counts of the columns x0 .. x0 + count - 1, each walked from row y0 down
// to row y1: what the line walker gives for these vertical lines when they
// start inside the image (x0, y0 >= 0, y0 below the last row): a column
// right of the image counts 0, and a walk stops at the bottom edge.
std::vector<int> DownwardColumnCounts(const cv::Mat& image, int x0, int count, int y0, int y1) {
    std::vector<int> counts(static_cast<std::size_t>(count), 0);
    const int inside = std::min(count, image.cols - x0);
    const int last = std::min(y1, image.rows - 1);
    for (int y = y0; y <= last; ++y) {
        const uchar* row = image.ptr<uchar>(y) + x0;
        for (int i = 0; i < inside; ++i) {
            counts[static_cast<std::size_t>(i)] += row[i] != 0 ? 1 : 0;
        }
    }
    return counts;
}

// Counts of the rows y0 .. y0 + count - 1, each walked from column x0 right
// to column x1, under the same conditions.
std::vector<int> RightwardRowCounts(const cv::Mat& image, int y0, int count, int x0, int x1) {
    std::vector<int> counts(static_cast<std::size_t>(count), 0);
    const int inside = std::min(count, image.rows - y0);
    const int last = std::min(x1, image.cols - 1);
    for (int i = 0; i < inside; ++i) {
        const uchar* row = image.ptr<uchar>(y0 + i);
        int n = 0;
        for (int x = x0; x <= last; ++x) {
            n += row[x] != 0 ? 1 : 0;
        }
        counts[static_cast<std::size_t>(i)] = n;
    }
    return counts;
}

// Whether walks from (x, y) start inside the image, where the direct counts
// above equal the line walker's.
bool StartsInside(const cv::Mat& image, int x, int y) {
    return x >= 0 && y >= 0 && x < image.cols && y < image.rows;
}

}  // namespace

std::vector<int> BoxColumnCounts(const cv::Mat& image, const cv::Rect& box) {
    if (box.width <= 0 || box.height <= 0) {
        return {};
    }
    const int right = box.x + box.width - 1;
    const int bottom = box.y + box.height - 1;
    if (image.type() == CV_8UC1 && StartsInside(image, box.x, box.y)) {
        return DownwardColumnCounts(image, box.x, box.width, box.y, bottom);
    }
    return SampleStripProfile(image, cv::Point(box.x, box.y), cv::Point(box.x, bottom),
                              cv::Point(right, box.y), cv::Point(right, bottom));
}

std::vector<int> ImageColumnCounts(const cv::Mat& image) {
    if (image.cols <= 0 || image.rows <= 0) {
        return {};
    }
    CV_Assert(image.type() == CV_8UC1);
    // Every column walked over the whole height (bottom to top).
    return DownwardColumnCounts(image, 0, image.cols, 0, image.rows - 1);
}

std::vector<int> InclusiveColumnCounts(const cv::Mat& image, const cv::Rect& box) {
    const int right = box.x + box.width;
    const int bottom = box.y + box.height;
    if (image.type() == CV_8UC1 && box.width >= 0 && box.height >= 0 &&
        StartsInside(image, box.x, box.y)) {
        return DownwardColumnCounts(image, box.x, box.width + 1, box.y, bottom);
    }
    return SampleStripProfile(image, cv::Point(box.x, box.y), cv::Point(box.x, bottom),
                              cv::Point(right, box.y), cv::Point(right, bottom));
}

std::vector<int> InclusiveRowCounts(const cv::Mat& image, const cv::Rect& box) {
    const int right = box.x + box.width;
    const int bottom = box.y + box.height;
    if (image.type() == CV_8UC1 && box.width >= 0 && box.height >= 0 &&
        StartsInside(image, box.x, box.y)) {
        return RightwardRowCounts(image, box.y, box.height + 1, box.x, right);
    }
    return SampleStripProfile(image, cv::Point(box.x, box.y), cv::Point(right, box.y),
                              cv::Point(box.x, bottom), cv::Point(right, bottom));
}

}  // namespace kalvero
