#include "tools/BlockStencilDigits.h"

#include <cmath>
#include <vector>

#include <opencv2/imgproc.hpp>

namespace kalvero {

namespace {

// Bars on a grid 11 wide and 20 high: three horizontal bars (top, middle,
// bottom) across the whole width and six vertical ones between them, each
// 3.2 thick, with a bridge of 0.8 between a bar and the next.
struct Bar {
    double x0, y0, x1, y1;
};
constexpr double kGridWidth = 11.0;
constexpr double kGridHeight = 20.0;

constexpr Bar kTop{0.0, 0.0, 11.0, 3.2};
constexpr Bar kMiddle{0.0, 8.4, 11.0, 11.6};
constexpr Bar kBottom{0.0, 16.8, 11.0, 20.0};
constexpr Bar kUpperLeft{0.0, 4.0, 3.2, 7.6};
constexpr Bar kUpperRight{7.8, 4.0, 11.0, 7.6};
constexpr Bar kMidLeft{0.0, 8.4, 3.2, 11.6};
constexpr Bar kMidRight{7.8, 8.4, 11.0, 11.6};
constexpr Bar kLowerLeft{0.0, 12.4, 3.2, 16.0};
constexpr Bar kLowerRight{7.8, 12.4, 11.0, 16.0};
// The one: a stem of its own with a flag, bridged from it.
constexpr Bar kOneFlag{3.0, 1.0, 6.2, 3.6};
constexpr Bar kOneStemTop{7.0, 0.0, 10.2, 9.6};
constexpr Bar kOneStemLow{7.0, 10.4, 10.2, 20.0};

std::vector<Bar> BarsOf(int digit) {
    switch (digit) {
    case 0: return {kTop, kUpperLeft, kUpperRight, kMidLeft, kMidRight, kLowerLeft, kLowerRight, kBottom};
    case 1: return {kOneFlag, kOneStemTop, kOneStemLow};
    case 2: return {kTop, kUpperRight, kMiddle, kLowerLeft, kBottom};
    case 3: return {kTop, kUpperRight, kMiddle, kLowerRight, kBottom};
    case 4: return {kUpperLeft, kUpperRight, kMiddle, kLowerRight, {7.8, 16.8, 11.0, 20.0}, {0.0, 0.0, 3.2, 3.2},
                    {7.8, 0.0, 11.0, 3.2}};
    case 5: return {kTop, kUpperLeft, kMiddle, kLowerRight, kBottom};
    case 6: return {kTop, kUpperLeft, kMiddle, kLowerLeft, kLowerRight, kBottom};
    case 7: return {kTop, kUpperRight, kMidRight, kLowerRight, {7.8, 16.8, 11.0, 20.0}};
    case 8: return {kTop, kUpperLeft, kUpperRight, kMiddle, kLowerLeft, kLowerRight, kBottom};
    case 9: return {kTop, kUpperLeft, kUpperRight, kMiddle, kLowerRight, kBottom};
    default: return {};
    }
}

}  // namespace

cv::Mat DrawBlockStencilDigit(int digit, int height) {
    const std::vector<Bar> bars = BarsOf(digit);
    if (bars.empty() || height < 8) {
        return cv::Mat();
    }
    constexpr int kSuper = 4;
    const double unit = static_cast<double>(height) * kSuper / kGridHeight;
    cv::Mat canvas = cv::Mat::zeros(height * kSuper, static_cast<int>(std::ceil(kGridWidth * unit)), CV_8U);
    for (const Bar& b : bars) {
        const cv::Point tl(static_cast<int>(std::lround(b.x0 * unit)), static_cast<int>(std::lround(b.y0 * unit)));
        const cv::Point br(static_cast<int>(std::lround(b.x1 * unit)), static_cast<int>(std::lround(b.y1 * unit)));
        cv::rectangle(canvas, cv::Rect(tl, br), cv::Scalar(255), cv::FILLED);
    }
    const cv::Rect ink = cv::boundingRect(canvas);
    cv::Mat small;
    cv::resize(canvas(ink), small,
               cv::Size(std::max(1, static_cast<int>(std::lround(static_cast<double>(ink.width) / kSuper))),
                        std::max(1, static_cast<int>(std::lround(static_cast<double>(ink.height) / kSuper)))),
               0, 0, cv::INTER_AREA);
    return small;
}

}  // namespace kalvero
