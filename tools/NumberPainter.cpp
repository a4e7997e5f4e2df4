#include "tools/NumberPainter.h"

#include <algorithm>
#include <cmath>

#include <opencv2/imgproc.hpp>

#include "detection/GlyphTable.h"
#include "detection/GlyphTemplateBank.h"

namespace kalvero {

cv::Mat RenderGlyphMask(int glyphIndex, int digitHeight) {
    cv::Mat native(kGlyphRows, kGlyphCols, CV_8UC1);
    for (int r = 0; r < kGlyphRows; ++r) {
        for (int c = 0; c < kGlyphCols; ++c) {
            native.at<uchar>(r, c) = GlyphPixel(glyphIndex, r, c) ? 255 : 0;
        }
    }
    cv::Mat scaled;
    cv::resize(native, scaled, cv::Size(GlyphWidthFor(digitHeight) + 2, digitHeight + 2), 0, 0,
               cv::INTER_LINEAR);
    cv::threshold(scaled, scaled, 127, 255, cv::THRESH_BINARY);
    return scaled;
}

int DigitAdvance(int digitHeight, double gapFraction) {
    const int w = GlyphWidthFor(digitHeight);
    return w + 2 + static_cast<int>(std::lround(gapFraction * w));
}

cv::Rect DrawDigits(cv::Mat& image, const std::string& digits, cv::Point origin, int digitHeight,
                    double gapFraction, const cv::Scalar& ink) {
    const int advance = DigitAdvance(digitHeight, gapFraction);
    cv::Rect all;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        const int glyph = digits[i] - '0';
        if (glyph < 0 || glyph > 9) {
            continue;
        }
        const cv::Mat mask = RenderGlyphMask(glyph, digitHeight);
        const cv::Rect box(origin.x + static_cast<int>(i) * advance, origin.y, mask.cols, mask.rows);
        const cv::Rect inside = box & cv::Rect(0, 0, image.cols, image.rows);
        if (inside.area() > 0) {
            cv::Mat target = image(inside);
            target.setTo(ink, mask(inside - box.tl()));
        }
        all = all.area() > 0 ? (all | box) : box;
    }
    return all;
}

void FillTexture(cv::Mat& image, double base, double amplitude, std::uint64_t seed) {
    cv::RNG rng(seed);
    cv::Mat coarse(std::max(2, image.rows / 16), std::max(2, image.cols / 16), CV_32F);
    rng.fill(coarse, cv::RNG::NORMAL, 0.0, amplitude);
    cv::Mat smooth;
    cv::resize(coarse, smooth, image.size(), 0, 0, cv::INTER_CUBIC);
    cv::Mat grain(image.size(), CV_32F);
    rng.fill(grain, cv::RNG::NORMAL, 0.0, amplitude * 0.25);
    cv::Mat grey = smooth + grain + base;
    cv::Mat grey8;
    grey.convertTo(grey8, CV_8U);
    if (image.empty()) {
        image = grey8;
    }
    if (image.channels() == 3) {
        cv::cvtColor(grey8, image, cv::COLOR_GRAY2BGR);
    } else {
        grey8.copyTo(image);
    }
}

void AddNoise(cv::Mat& image, double sigma, std::uint64_t seed) {
    cv::RNG rng(seed);
    cv::Mat noise(image.size(), CV_MAKETYPE(CV_16S, image.channels()));
    rng.fill(noise, cv::RNG::NORMAL, 0.0, sigma);
    cv::Mat wide;
    image.convertTo(wide, CV_16S);
    wide += noise;
    wide.convertTo(image, image.type());
}

cv::Mat MakeNumberPanel(cv::Size size, cv::Point origin, const PanelStyle& look,
                        cv::Rect* numberBox) {
    const double panelGrey = look.lightDigits ? 70.0 : 190.0;
    const double inkGrey = look.lightDigits ? panelGrey + look.contrast : panelGrey - look.contrast;
    cv::Mat image(size, CV_8UC3);
    FillTexture(image, panelGrey, look.textureAmplitude, look.seed);
    const double ink = std::clamp(inkGrey, 0.0, 255.0);
    const cv::Rect box = DrawDigits(image, look.number, origin, look.digitHeight, look.gapFraction,
                                    cv::Scalar(ink, ink, ink));
    if (look.blurSigma > 0.0) {
        cv::GaussianBlur(image, image, cv::Size(0, 0), look.blurSigma, look.blurSigma,
                         cv::BORDER_REPLICATE);
    }
    if (look.noiseSigma > 0.0) {
        AddNoise(image, look.noiseSigma, look.seed * 7919 + 13);
    }
    if (numberBox != nullptr) {
        *numberBox = box;
    }
    return image;
}

}  // namespace kalvero
