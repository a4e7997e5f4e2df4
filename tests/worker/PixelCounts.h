#pragma once
#include <vector>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

namespace kalvero::testing {

// Number of pixels of an 8-bit three-channel image inside `area` (clipped to
// the image) that equal `colour` exactly, in the image's own channel order.
inline int CountColour(const cv::Mat& image, cv::Rect area, const cv::Vec3b& colour) {
    area &= cv::Rect(0, 0, image.cols, image.rows);
    int count = 0;
    for (int y = area.y; y < area.y + area.height; ++y) {
        for (int x = area.x; x < area.x + area.width; ++x) {
            if (image.at<cv::Vec3b>(y, x) == colour) ++count;
        }
    }
    return count;
}

// Bounding box of the pixels that differ between two images of one size.
inline cv::Rect ChangedBox(const cv::Mat& before, const cv::Mat& after) {
    cv::Mat diff;
    cv::absdiff(before, after, diff);
    cv::Mat grey = diff.reshape(1, diff.rows * diff.cols);
    cv::Mat any;
    cv::reduce(grey, any, 1, cv::REDUCE_MAX);
    any = any.reshape(1, diff.rows);
    std::vector<cv::Point> points;
    cv::findNonZero(any, points);
    return points.empty() ? cv::Rect() : cv::boundingRect(points);
}

}  // namespace kalvero::testing
