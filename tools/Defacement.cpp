#include "tools/Defacement.h"

#include <algorithm>
#include <cmath>

#include <opencv2/imgproc.hpp>

namespace kalvero {

void AddDirtOverDigits(cv::Mat& grey, const std::vector<cv::Rect2d>& digitBoxes, double paint, cv::RNG& rng) {
    if (digitBoxes.empty()) {
        return;
    }
    cv::Mat cover = cv::Mat::zeros(grey.size(), CV_32F);
    const int blotches = rng.uniform(3, 7);
    for (int i = 0; i < blotches; ++i) {
        const cv::Rect2d& b = digitBoxes[static_cast<std::size_t>(rng.uniform(0, static_cast<int>(digitBoxes.size())))];
        const cv::Point c(static_cast<int>(b.x + b.width * rng.uniform(0.0, 1.0)),
                          static_cast<int>(b.y + b.height * rng.uniform(0.0, 1.0)));
        const cv::Size axes(std::max(1, static_cast<int>(b.width * rng.uniform(0.25, 0.55))),
                            std::max(1, static_cast<int>(b.height * rng.uniform(0.15, 0.3))));
        cv::ellipse(cover, c, axes, rng.uniform(0.0, 180.0), 0.0, 360.0, cv::Scalar(rng.uniform(0.55, 0.85)),
                    cv::FILLED, cv::LINE_AA);
    }
    const double soft = std::max(1.0, digitBoxes.front().height * 0.06);
    cv::GaussianBlur(cover, cover, cv::Size(0, 0), soft, soft);
    // Dirt is darker than the paint and takes the ink's contrast away.
    const double dirt = std::max(10.0, paint * rng.uniform(0.55, 0.85));
    cv::Mat dirty = grey.clone();
    dirty.setTo(dirt);
    cv::Mat keep = 1.0 - cover;
    grey = grey.mul(keep) + dirty.mul(cover);
}

void AddGraffitiOverDigits(cv::Mat& grey, const std::vector<cv::Rect2d>& digitBoxes, cv::RNG& rng) {
    if (digitBoxes.empty()) {
        return;
    }
    cv::Rect2d all = digitBoxes.front();
    for (const cv::Rect2d& b : digitBoxes) {
        all |= b;
    }
    const double h = digitBoxes.front().height;
    cv::Mat spray = cv::Mat::zeros(grey.size(), CV_32F);
    const int strokes = rng.uniform(1, 3);
    const double level = rng.uniform(0.0, 1.0) < 0.5 ? rng.uniform(20.0, 60.0) : rng.uniform(190.0, 240.0);
    for (int s = 0; s < strokes; ++s) {
        // A loose curve over two or three digits' width.
        const double span = std::min(all.width, h * rng.uniform(0.9, 1.8));
        const double x0 = all.x + rng.uniform(0.0, std::max(1.0, all.width - span));
        const double y0 = all.y + h * rng.uniform(0.1, 0.9);
        std::vector<cv::Point> path;
        const double bend = h * rng.uniform(-0.4, 0.4);
        const double phase = rng.uniform(0.0, CV_PI);
        for (int k = 0; k <= 16; ++k) {
            const double t = k / 16.0;
            path.emplace_back(static_cast<int>(x0 + span * t), static_cast<int>(y0 + bend * std::sin(phase + 3.0 * t)));
        }
        const int width = std::max(1, static_cast<int>(std::lround(h * rng.uniform(0.04, 0.08))));
        cv::polylines(spray, path, false, cv::Scalar(rng.uniform(0.6, 0.9)), width, cv::LINE_AA);
    }
    // Spray paint has soft edges and overspray.
    cv::GaussianBlur(spray, spray, cv::Size(0, 0), std::max(0.6, h * 0.02));
    cv::Mat colour = grey.clone();
    colour.setTo(level);
    grey = grey.mul(1.0 - spray) + colour.mul(spray);
}

}  // namespace kalvero
