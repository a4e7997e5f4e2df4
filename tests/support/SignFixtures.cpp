#include "support/SignFixtures.h"

#include <algorithm>
#include <cmath>
#include <string>

#include <opencv2/imgproc.hpp>

namespace kalvero {

namespace {

constexpr int kSupersample = 4;

// Ink mask (0..255) of one character drawn at kSupersample times the final
// size, cropped to its ink and scaled to `height` pixels.
cv::Mat GlyphMask(char c, int height, const SpeedSignStyle& style) {
    const double bigHeight = static_cast<double>(height) * kSupersample;
    const int thickness = std::max(1, static_cast<int>(std::lround(bigHeight * style.strokeWidth)));
    int baseline = 0;
    const std::string text(1, c);
    const cv::Size unit = cv::getTextSize(text, style.fontFace, 1.0, 1, &baseline);
    const double scale = std::max(0.1, (bigHeight - thickness) / std::max(1, unit.height - 1));
    const cv::Size measured = cv::getTextSize(text, style.fontFace, scale, thickness, &baseline);
    const int pad = thickness + 8;
    cv::Mat canvas(measured.height + baseline + 2 * pad, measured.width + 2 * pad, CV_8UC1, cv::Scalar(0));
    cv::putText(canvas, text, cv::Point(pad, pad + measured.height), style.fontFace, scale, cv::Scalar(255),
                thickness, cv::LINE_8);

    std::vector<cv::Point> ink;
    cv::findNonZero(canvas, ink);
    const cv::Rect box = cv::boundingRect(ink);
    const double aspect = static_cast<double>(box.width) / box.height;
    const int width = std::max(1, static_cast<int>(std::lround(height * aspect * style.condense)));
    cv::Mat mask;
    cv::resize(canvas(box), mask, cv::Size(width, height), 0, 0, cv::INTER_AREA);
    return mask;
}

// Paints `colour` over `image` where the mask is set, blending by its value.
void Paint(cv::Mat& image, const cv::Mat& mask, cv::Point topLeft, const cv::Vec3b& colour) {
    for (int y = 0; y < mask.rows; ++y) {
        for (int x = 0; x < mask.cols; ++x) {
            const double a = mask.at<uchar>(y, x) / 255.0;
            cv::Vec3b& p = image.at<cv::Vec3b>(topLeft.y + y, topLeft.x + x);
            for (int ch = 0; ch < 3; ++ch)
                p[ch] = cv::saturate_cast<uchar>(p[ch] * (1.0 - a) + colour[ch] * a);
        }
    }
}

}  // namespace

SpeedSignImage DrawSpeedSign(int value, int innerRadius, const SpeedSignStyle& style) {
    const int ring = std::max(2, static_cast<int>(std::lround(innerRadius * style.ringWidth)));
    const int outer = innerRadius + ring;
    const int margin = std::max(8, outer / 3);
    const int side = 2 * (outer + margin) + 1;
    const cv::Point centre(side / 2, side / 2);

    SpeedSignImage sign;
    sign.image = cv::Mat(side, side, CV_8UC3, cv::Scalar(150, 140, 130));
    cv::circle(sign.image, centre, outer, cv::Scalar(30, 30, 210), cv::FILLED, cv::LINE_AA);
    cv::circle(sign.image, centre, innerRadius, cv::Scalar(250, 250, 250), cv::FILLED, cv::LINE_AA);
    sign.innerDisc = cv::Rect(centre.x - innerRadius, centre.y - innerRadius, 2 * innerRadius + 1,
                              2 * innerRadius + 1);

    const std::string text = std::to_string(value);
    const int height = std::max(4, static_cast<int>(std::lround(style.digitHeight * 2 * innerRadius)));
    const int gap = static_cast<int>(std::lround(style.digitGap * height));
    std::vector<cv::Mat> masks;
    int total = 0;
    for (char c : text) {
        masks.push_back(GlyphMask(c, height, style));
        total += masks.back().cols;
    }
    total += gap * static_cast<int>(masks.size() - 1);

    int x = centre.x - total / 2;
    const int y = centre.y - height / 2;
    for (const cv::Mat& mask : masks) {
        Paint(sign.image, mask, cv::Point(x, y), cv::Vec3b(25, 25, 25));
        sign.digitBoxes.emplace_back(x, y, mask.cols, mask.rows);
        x += mask.cols + gap;
    }
    return sign;
}

}  // namespace kalvero
