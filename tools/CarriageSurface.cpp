#include "tools/CarriageSurface.h"

#include <algorithm>
#include <cmath>

#include <opencv2/imgproc.hpp>

namespace kalvero {

namespace {

// Smooth random field of the image's size: normal noise on a grid of
// `cell`-pixel cells, scaled up bicubically.
cv::Mat SmoothField(cv::Size size, double cell, double sigma, cv::RNG& rng) {
    const cv::Size coarse(std::max(2, static_cast<int>(size.width / cell) + 2),
                          std::max(2, static_cast<int>(size.height / cell) + 2));
    cv::Mat small(coarse, CV_32F);
    rng.fill(small, cv::RNG::NORMAL, 0.0, sigma);
    cv::Mat field;
    cv::resize(small, field, size, 0, 0, cv::INTER_CUBIC);
    return field;
}

}  // namespace

void PaintTexture(cv::Mat& grey, double base, double amplitude, const NoiseTile& noise, cv::RNG& rng) {
    const double cell = std::max(8.0, std::min(grey.cols, grey.rows) / rng.uniform(2.0, 6.0));
    grey = SmoothField(grey.size(), cell, amplitude, rng);
    cv::scaleAdd(noise.Window(grey.size(), rng), amplitude * 0.25, grey, grey);
    grey += base;
}

cv::Mat GrimeField(cv::Size size, double strength, cv::RNG& rng) {
    if (strength <= 0.0) {
        return {};
    }
    // Blotches are soft and large: drawn and blurred at a quarter of the
    // size, where the blur costs a sixteenth.
    const cv::Size small(std::max(4, size.width / 4), std::max(4, size.height / 4));
    cv::Mat blotchField = cv::Mat::zeros(small, CV_32F);
    const int blotches = std::max(2, size.width / 100);
    for (int i = 0; i < blotches; ++i) {
        const cv::Point c(rng.uniform(0, small.width), rng.uniform(0, small.height));
        const int radius = std::max(1, static_cast<int>(small.height * rng.uniform(0.05, 0.2)));
        cv::circle(blotchField, c, radius, cv::Scalar(rng.uniform(10.0, 30.0) * strength), cv::FILLED);
    }
    const double soft = std::max(1.0, small.height * 0.06);
    cv::GaussianBlur(blotchField, blotchField, cv::Size(0, 0), soft, soft, cv::BORDER_REPLICATE);
    cv::Mat dirt;
    cv::resize(blotchField, dirt, size, 0, 0, cv::INTER_LINEAR);
    const int streaks = std::max(2, size.width / 50);
    for (int i = 0; i < streaks; ++i) {
        const int x = rng.uniform(0, size.width);
        const int top = rng.uniform(0, std::max(1, size.height / 2));
        const int length = rng.uniform(std::max(2, size.height / 5), std::max(3, size.height - top + 1));
        const double depth = rng.uniform(4.0, 14.0) * strength;
        const int width = rng.uniform(1, 3);
        for (int y = top; y < std::min(size.height, top + length); ++y) {
            const float fade = static_cast<float>(depth * (1.0 - static_cast<double>(y - top) / length));
            for (int dx = 0; dx < width && x + dx < size.width; ++dx) {
                dirt.at<float>(y, x + dx) += fade;
            }
        }
    }
    return dirt;
}

void DrawRivets(cv::Mat& grey, cv::Point2d first, cv::Point2d step, int count, double radius, cv::RNG& rng) {
    // Sub-pixel centres: OpenCV draws circles in fixed point with this many
    // fraction bits, so rivets move smoothly rather than in whole pixels.
    constexpr int kShift = 3;
    const double scale = 1 << kShift;
    const double r = std::max(1.0, radius);
    const auto fixed = [&](cv::Point2d p) {
        return cv::Point(static_cast<int>(std::lround(p.x * scale)), static_cast<int>(std::lround(p.y * scale)));
    };
    const double lit = rng.uniform(25.0, 60.0);
    const double shade = rng.uniform(25.0, 60.0);
    for (int i = 0; i < count; ++i) {
        const cv::Point2d c = first + step * i;
        if (c.x < -2 * r || c.y < -2 * r || c.x > grey.cols + 2 * r || c.y > grey.rows + 2 * r) {
            continue;
        }
        // Shades are relative to the paint around the head.
        const int sx = std::clamp(static_cast<int>(c.x), 0, grey.cols - 1);
        const int sy = std::clamp(static_cast<int>(c.y - 1.5 * r), 0, grey.rows - 1);
        const double level = std::clamp(static_cast<double>(grey.at<float>(sy, sx)), 0.0, 255.0);
        const int rr = static_cast<int>(std::lround(r * scale));
        cv::circle(grey, fixed(c + cv::Point2d(0.2 * r, 0.3 * r)), rr, cv::Scalar(level - shade), cv::FILLED,
                   cv::LINE_AA, kShift);
        cv::circle(grey, fixed(c), static_cast<int>(std::lround(0.85 * r * scale)),
                   cv::Scalar(level + 0.3 * lit), cv::FILLED, cv::LINE_AA, kShift);
        cv::circle(grey, fixed(c - cv::Point2d(0.3 * r, 0.3 * r)), std::max(static_cast<int>(scale), rr / 3),
                   cv::Scalar(level + lit), cv::FILLED, cv::LINE_AA, kShift);
    }
}

void DrawSeam(cv::Mat& grey, int x, double depth) {
    if (x < 0 || x >= grey.cols) {
        return;
    }
    grey.colRange(x, std::min(grey.cols, x + 2)) -= depth;
    if (x + 2 < grey.cols) {
        grey.col(x + 2) += 0.35 * depth;
    }
}

void DrawRib(cv::Mat& grey, int y, int thickness, double depth) {
    const int t = std::max(2, thickness);
    for (int i = 0; i < t; ++i) {
        const int row = y - t / 2 + i;
        if (row < 0 || row >= grey.rows) {
            continue;
        }
        // Light falls from above: the upper half faces it, the lower half not.
        const double u = (i + 0.5) / t;
        grey.row(row) += depth * (u < 0.5 ? (0.5 - u) * 2.0 : -(u - 0.5) * 2.0);
    }
}

void DrawStripe(cv::Mat& grey, int top, int thickness, double level, const NoiseTile& noise, cv::RNG& rng) {
    const int from = std::clamp(top, 0, grey.rows);
    const int to = std::clamp(top + std::max(1, thickness), 0, grey.rows);
    if (to <= from) {
        return;
    }
    cv::Mat band = grey.rowRange(from, to);
    // Keep a little of the surface below (grime, seams) showing through.
    band = 0.15 * band + 0.85 * level + 2.5 * noise.Window(band.size(), rng);
}

void PaintInk(cv::Mat& grey, const cv::Mat& mask, cv::Point at, double ink, double wear, const NoiseTile& noise,
              cv::RNG& rng) {
    const cv::Rect box(at.x, at.y, mask.cols, mask.rows);
    const cv::Rect inside = box & cv::Rect(0, 0, grey.cols, grey.rows);
    if (inside.area() == 0) {
        return;
    }
    cv::Mat alpha;
    mask(inside - box.tl()).convertTo(alpha, CV_32F, 1.0 / 255.0);
    if (wear > 0.0) {
        // Flaked paint: a smooth field cut at a high level leaves blotches.
        const double cell = std::max(3.0, mask.rows * rng.uniform(0.12, 0.3));
        cv::Mat field = SmoothField(alpha.size(), cell, 1.0, rng);
        cv::Mat flakes;
        cv::threshold(field, flakes, rng.uniform(0.6, 1.4), 1.0, cv::THRESH_BINARY);
        cv::GaussianBlur(flakes, flakes, cv::Size(0, 0), 0.8);
        alpha = alpha.mul(1.0 - wear * flakes);
    }
    cv::Mat target = grey(inside);
    cv::Mat inkLayer = 3.0 * noise.Window(alpha.size(), rng) + ink;
    target += alpha.mul(inkLayer - target);
}

}  // namespace kalvero
