#include "DrawnLines.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <opencv2/freetype.hpp>
#include <opencv2/imgproc.hpp>

namespace kalvero::testing {

namespace {

constexpr double kLightDigitsGround = 60.0;
constexpr double kDarkDigitsGround = 200.0;

// The ink box of a 0/255 mask (empty for no ink).
cv::Rect InkBox(const cv::Mat& mask) {
    std::vector<cv::Point> points;
    cv::findNonZero(mask > 127, points);
    return points.empty() ? cv::Rect() : cv::boundingRect(points);
}

}  // namespace

cv::Mat DrawLinePanel(cv::Size size, cv::Point2f centre, const DrawnLineStyle& style, cv::Rect* inkBox) {
    cv::Mat mask(size, CV_8UC1, cv::Scalar(0));
    cv::Ptr<cv::freetype::FreeType2> font;
    try {
        font = cv::freetype::createFreeType2();
        font->loadFontData(style.font, 0);
    } catch (const cv::Exception& e) {
        ADD_FAILURE() << "font " << style.font << " cannot be loaded: " << e.what();
        font.release();
    }
    if (font) {
        // Draw each digit at a trial size, measure the ink of a "0" to
        // scale the font so that digits come out style.digitHeight tall.
        // FreeType draws on BGR images only.
        cv::Mat probe(300, 300, CV_8UC3, cv::Scalar::all(0));
        font->putText(probe, "0", cv::Point(20, 150), 100, cv::Scalar::all(255), -1, cv::LINE_AA, false);
        cv::extractChannel(probe, probe, 0);
        const cv::Rect zero = InkBox(probe);
        const int fontHeight = zero.height > 0 ? style.digitHeight * 100 / zero.height : style.digitHeight;

        // Lay the digits out on a canvas with room around, then place it.
        cv::Mat row(style.digitHeight * 3, static_cast<int>(style.text.size() + 2) * style.digitHeight * 2,
                    CV_8UC3, cv::Scalar::all(0));
        double x = style.digitHeight;
        const int spacing = static_cast<int>(style.letterSpacing * style.digitHeight);
        for (const char digit : style.text) {
            const std::string glyph(1, digit);
            int baseline = 0;
            const cv::Size glyphSize = font->getTextSize(glyph, fontHeight, -1, &baseline);
            font->putText(row, glyph, cv::Point(static_cast<int>(x), style.digitHeight * 3 / 2), fontHeight,
                          cv::Scalar::all(255), -1, cv::LINE_AA, false);
            x += glyphSize.width + spacing;
        }
        cv::extractChannel(row, row, 0);
        const cv::Rect drawn = InkBox(row);
        if (!drawn.empty()) {
            // Move the row's ink centre to `centre` and turn it there.
            const cv::Point2f rowCentre(drawn.x + 0.5f * drawn.width, drawn.y + 0.5f * drawn.height);
            cv::Mat turn = cv::getRotationMatrix2D(rowCentre, -style.angleDegrees, 1.0);
            turn.at<double>(0, 2) += centre.x - rowCentre.x;
            turn.at<double>(1, 2) += centre.y - rowCentre.y;
            cv::warpAffine(row, mask, turn, size, cv::INTER_LINEAR, cv::BORDER_CONSTANT, cv::Scalar(0));
        }
    }
    if (inkBox != nullptr) *inkBox = InkBox(mask);
    if (style.blurSigma > 0.0) cv::GaussianBlur(mask, mask, cv::Size(), style.blurSigma);

    const double ground = style.lightDigits ? kLightDigitsGround : kDarkDigitsGround;
    const double ink = std::clamp(style.lightDigits ? ground + style.contrast : ground - style.contrast, 0.0, 255.0);
    cv::Mat grey(size, CV_32FC1, cv::Scalar(ground));
    cv::Mat share;
    mask.convertTo(share, CV_32F, 1.0 / 255.0);
    grey += share * (ink - ground);
    if (style.noiseSigma > 0.0) {
        cv::Mat noise(size, CV_32FC1);
        cv::RNG rng(style.seed);
        rng.fill(noise, cv::RNG::NORMAL, 0.0, style.noiseSigma);
        grey += noise;
    }
    cv::Mat grey8, panel;
    grey.convertTo(grey8, CV_8U);
    cv::cvtColor(grey8, panel, cv::COLOR_GRAY2BGR);
    return panel;
}

cv::Mat DrawTightZone(const DrawnLineStyle& line, cv::Rect* inkBox) {
    return DrawLinePanel(cv::Size(390, 90), cv::Point2f(195.0f, 45.0f), line, inkBox);
}

}  // namespace kalvero::testing
