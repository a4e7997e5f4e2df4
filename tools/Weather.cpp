#include "tools/Weather.h"

#include <algorithm>
#include <cmath>

#include <opencv2/imgproc.hpp>

namespace kalvero {

namespace {

void Haze(cv::Mat& image, double haze, double level) {
    image.convertTo(image, image.type(), 1.0 - haze, haze * level);
}

}  // namespace

void AddRain(cv::Mat& image, double haze, double slant, cv::RNG& rng) {
    Haze(image, haze, 170.0);
    cv::Mat streaks = cv::Mat::zeros(image.size(), CV_32F);
    const double scale = std::max(1.0, image.cols / 640.0);
    const int count = std::max(20, image.cols * image.rows / 1500);
    const double s = std::sin(slant * CV_PI / 180.0);
    const double c = std::cos(slant * CV_PI / 180.0);
    for (int i = 0; i < count; ++i) {
        const cv::Point2d a(rng.uniform(0.0, static_cast<double>(image.cols)), rng.uniform(0.0, static_cast<double>(image.rows)));
        const double length = image.rows * rng.uniform(0.02, 0.07);
        const cv::Point2d b = a + cv::Point2d(s * length, c * length);
        cv::line(streaks, a, b, cv::Scalar(rng.uniform(25.0, 60.0)), std::max(1, static_cast<int>(scale)), cv::LINE_AA);
    }
    if (image.channels() == 3) {
        cv::cvtColor(streaks, streaks, cv::COLOR_GRAY2BGR);
    }
    image += streaks;
}

void AddSnow(cv::Mat& image, double haze, cv::RNG& rng) {
    Haze(image, haze, 200.0);
    cv::Mat flakes = cv::Mat::zeros(image.size(), CV_32F);
    const double scale = std::max(1.0, image.cols / 640.0);
    const int count = std::max(15, image.cols * image.rows / 2500);
    for (int i = 0; i < count; ++i) {
        const cv::Point c(rng.uniform(0, image.cols), rng.uniform(0, image.rows));
        // Most flakes are far and small; a few pass close to the lens.
        const double r = scale * (rng.uniform(0.0, 1.0) < 0.9 ? rng.uniform(0.6, 1.6) : rng.uniform(2.0, 4.0));
        cv::circle(flakes, c, std::max(1, static_cast<int>(std::lround(r))), cv::Scalar(rng.uniform(60.0, 140.0)),
                   cv::FILLED, cv::LINE_AA);
    }
    cv::GaussianBlur(flakes, flakes, cv::Size(0, 0), 0.6 * scale);
    if (image.channels() == 3) {
        cv::cvtColor(flakes, flakes, cv::COLOR_GRAY2BGR);
    }
    image += flakes;
}

}  // namespace kalvero
