#include "detection/RemoveLongRuns.h"

#include <opencv2/core.hpp>

namespace kalvero {

namespace {
constexpr uchar kForeground = 255;
}  // namespace

void RemoveLongRuns(cv::Mat& image, int horizontalLimit, int verticalLimit,
                    std::vector<cv::Rect>& verticalRuns) {
    CV_Assert(image.type() == CV_8UC1);
    const cv::Mat source = image.clone();
    const int width = source.cols;
    const int height = source.rows;

    for (int y = 0; y < height; ++y) {
        const uchar* in = source.ptr<uchar>(y);
        uchar* out = image.ptr<uchar>(y);
        int run = 0;
        for (int x = 0; x <= width; ++x) {
            if (x < width && in[x] == kForeground) {
                ++run;
                continue;
            }
            if (run > horizontalLimit) {
                std::fill(out + (x - run), out + x, uchar(0));
            }
            run = 0;
        }
    }

    for (int x = 0; x < width; ++x) {
        int run = 0;
        for (int y = 0; y <= height; ++y) {
            if (y < height && source.at<uchar>(y, x) == kForeground) {
                ++run;
                continue;
            }
            if (run > verticalLimit) {
                for (int r = y - run; r < y; ++r) {
                    image.at<uchar>(r, x) = 0;
                }
                verticalRuns.emplace_back(x, y - run, 1, run - 1);
            }
            run = 0;
        }
    }
}

}  // namespace kalvero
