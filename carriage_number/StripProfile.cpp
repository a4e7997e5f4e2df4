#include "carriage_number/StripProfile.h"

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

std::vector<int> BoxColumnCounts(const cv::Mat& image, const cv::Rect& box) {
    if (box.width <= 0 || box.height <= 0) {
        return {};
    }
    const int right = box.x + box.width - 1;
    const int bottom = box.y + box.height - 1;
    return SampleStripProfile(image, cv::Point(box.x, box.y), cv::Point(box.x, bottom),
                              cv::Point(right, box.y), cv::Point(right, bottom));
}

std::vector<int> ImageColumnCounts(const cv::Mat& image) {
    if (image.cols <= 0 || image.rows <= 0) {
        return {};
    }
    const int right = image.cols - 1;
    const int bottom = image.rows - 1;
    return SampleStripProfile(image, cv::Point(0, bottom), cv::Point(0, 0),
                              cv::Point(right, bottom), cv::Point(right, 0));
}

std::vector<int> InclusiveColumnCounts(const cv::Mat& image, const cv::Rect& box) {
    const int right = box.x + box.width;
    const int bottom = box.y + box.height;
    return SampleStripProfile(image, cv::Point(box.x, box.y), cv::Point(box.x, bottom),
                              cv::Point(right, box.y), cv::Point(right, bottom));
}

std::vector<int> InclusiveRowCounts(const cv::Mat& image, const cv::Rect& box) {
    const int right = box.x + box.width;
    const int bottom = box.y + box.height;
    return SampleStripProfile(image, cv::Point(box.x, box.y), cv::Point(right, box.y),
                              cv::Point(box.x, bottom), cv::Point(right, bottom));
}

}  // namespace kalvero
