#include "tools/DigitFonts.h"

#include <algorithm>
#include <filesystem>

#include <opencv2/freetype.hpp>
#include <opencv2/imgproc.hpp>

#include "tools/BlockStencilDigits.h"
#include "tools/HandDigits.h"
#include "tools/NumberPainter.h"
#include "tools/StencilDigits.h"

namespace kalvero {

namespace {

namespace fs = std::filesystem;

// Fonts are drawn this large before cropping, then scaled to the
// reference height, so hinting at small sizes never shapes the digits.
constexpr int kRenderPixels = 160;

cv::Mat InkOfText(cv::freetype::FreeType2& ft, const std::string& text, int pixelHeight) {
    int baseline = 0;
    const cv::Size size = ft.getTextSize(text, pixelHeight, -1, &baseline);
    if (size.width <= 0 || size.height <= 0) {
        return cv::Mat();
    }
    // Generous margins: italics and accents reach outside the reported box.
    const int margin = pixelHeight / 2 + 4;
    cv::Mat canvas = cv::Mat::zeros(size.height + baseline + 2 * margin, size.width + 2 * margin, CV_8UC3);
    ft.putText(canvas, text, cv::Point(margin, margin + size.height), pixelHeight,
               cv::Scalar(255, 255, 255), -1, cv::LINE_AA, true);
    cv::Mat grey;
    cv::extractChannel(canvas, grey, 0);
    const cv::Rect ink = cv::boundingRect(grey);
    return ink.area() > 0 ? grey(ink).clone() : cv::Mat();
}

// One character drawn on a fixed baseline, cropped to its ink; `top`
// receives the ink's top row, comparable between characters.
cv::Mat DigitOnBaseline(cv::freetype::FreeType2& ft, const std::string& text, int& top) {
    const int px = kRenderPixels;
    cv::Mat canvas = cv::Mat::zeros(2 * px, 2 * px, CV_8UC3);
    ft.putText(canvas, text, cv::Point(px / 4, (3 * px) / 2), px, cv::Scalar(255, 255, 255), -1,
               cv::LINE_AA, true);
    cv::Mat grey;
    cv::extractChannel(canvas, grey, 0);
    const cv::Rect ink = cv::boundingRect(grey);
    top = ink.y;
    return ink.area() > 0 ? grey(ink).clone() : cv::Mat();
}

// Crops every mask to its own ink columns and all of them to the rows
// that any of them inks, then scales them to the reference height.
std::string ShareDigitRows(std::array<cv::Mat, 10>& digits, const std::vector<int>& tops) {
    int top = 1 << 20;
    int bottom = -1;
    for (int d = 0; d < 10; ++d) {
        top = std::min(top, tops[d]);
        bottom = std::max(bottom, tops[d] + digits[d].rows);
    }
    const int rows = bottom - top;
    if (rows <= 0) {
        return "no digit rows";
    }
    const double scale = static_cast<double>(kDigitFontReferenceHeight) / rows;
    for (int d = 0; d < 10; ++d) {
        cv::Mat tall = cv::Mat::zeros(rows, digits[d].cols, CV_8U);
        digits[d].copyTo(tall(cv::Rect(0, tops[d] - top, digits[d].cols, digits[d].rows)));
        const int width = std::max(1, static_cast<int>(std::lround(digits[d].cols * scale)));
        cv::resize(tall, digits[d], cv::Size(width, kDigitFontReferenceHeight), 0, 0, cv::INTER_AREA);
    }
    return "";
}

// The mask with its strokes grown or thinned by |step| pixels. Thinning
// pulls the ink back from every side, so the result is cropped to keep
// the ink height the full mask height.
cv::Mat Reweighted(const cv::Mat& reference, int step) {
    if (step == 0) {
        return reference;
    }
    const int radius = std::abs(step);
    const cv::Mat kernel =
        cv::getStructuringElement(cv::MORPH_ELLIPSE, cv::Size(2 * radius + 1, 2 * radius + 1));
    cv::Mat padded;
    cv::copyMakeBorder(reference, padded, radius, radius, radius, radius, cv::BORDER_CONSTANT, cv::Scalar(0));
    cv::Mat out;
    if (step > 0) {
        cv::dilate(padded, out, kernel);
        return out;
    }
    cv::erode(padded, out, kernel);
    const int cut = std::min(2 * radius, out.rows / 4);
    const int side = std::min(2 * radius, out.cols / 4);
    return out(cv::Rect(side, cut, out.cols - 2 * side, out.rows - 2 * cut)).clone();
}

}  // namespace

bool IsDrawnFontName(const std::string& entry) {
    return entry == "glyph" || entry == "stencil" || entry == "hand" || entry == "block-stencil";
}

const cv::Mat& DigitFont::WeightedDigit(int d, int step) const {
    const int s = std::clamp(step, kMinWeightStep, kMaxWeightStep) - kMinWeightStep;
    return weighted_[static_cast<std::size_t>(s * 10 + d)];
}

const cv::Mat& DigitFont::WeightedDigitHalf(int d, int step) const {
    const int s = std::clamp(step, kMinWeightStep, kMaxWeightStep) - kMinWeightStep;
    return weightedHalf_[static_cast<std::size_t>(s * 10 + d)];
}

std::string DigitFont::Load(const std::string& entry) {
    entry_ = entry;
    path_.clear();
    std::vector<int> tops(10, 0);
    if (IsDrawnFontName(entry)) {
        name_ = entry;
        // The hand font's reference digits are one fixed hand; painting
        // draws every digit afresh (PaintDigitLine).
        cv::RNG hand(0x4A4EDULL);
        for (int d = 0; d < 10; ++d) {
            cv::Mat mask;
            if (entry == "glyph") {
                mask = RenderGlyphMask(d, kRenderPixels);
            } else if (entry == "stencil") {
                mask = DrawStencilDigit(d, kRenderPixels);
            } else if (entry == "block-stencil") {
                mask = DrawBlockStencilDigit(d, kRenderPixels);
            } else {
                mask = DrawHandDigit(d, kRenderPixels, hand);
            }
            const cv::Rect ink = cv::boundingRect(mask);
            if (ink.area() == 0) {
                return "font '" + entry + "' has no ink for digit " + std::to_string(d);
            }
            tops[d] = ink.y;
            digits_[d] = mask(ink).clone();
        }
    } else {
        std::error_code error;
        if (!fs::is_regular_file(entry, error)) {
            return "font file '" + entry + "' does not exist";
        }
        name_ = fs::path(entry).filename().string();
        cv::Ptr<cv::freetype::FreeType2> ft = cv::freetype::createFreeType2();
        try {
            ft->loadFontData(entry, 0);
        } catch (const cv::Exception&) {
            return "font file '" + entry + "' could not be loaded";
        }
        for (int d = 0; d < 10; ++d) {
            const std::string digit(1, static_cast<char>('0' + d));
            digits_[d] = DigitOnBaseline(*ft, digit, tops[d]);
            if (digits_[d].empty()) {
                return "font file '" + entry + "' has no digit " + digit;
            }
        }
        path_ = entry;
    }
    const std::string error = ShareDigitRows(digits_, tops);
    if (!error.empty()) {
        return "font '" + entry + "': " + error;
    }
    widest_ = 0;
    for (const cv::Mat& m : digits_) {
        widest_ = std::max(widest_, m.cols);
    }
    weighted_.clear();
    weightedHalf_.clear();
    for (int step = kMinWeightStep; step <= kMaxWeightStep; ++step) {
        for (int d = 0; d < 10; ++d) {
            weighted_.push_back(Reweighted(digits_[d], step));
            cv::Mat half;
            cv::resize(weighted_.back(), half,
                       cv::Size(std::max(1, (weighted_.back().cols + 1) / 2), std::max(1, (weighted_.back().rows + 1) / 2)),
                       0, 0, cv::INTER_AREA);
            weightedHalf_.push_back(half);
        }
    }
    return "";
}

std::string FontTextRenderer::Load(const std::string& path) {
    cv::Ptr<cv::freetype::FreeType2> ft = cv::freetype::createFreeType2();
    try {
        ft->loadFontData(path, 0);
    } catch (const cv::Exception&) {
        return "font file '" + path + "' could not be loaded";
    }
    freetype_ = ft;
    path_ = path;
    return "";
}

cv::Mat FontTextRenderer::Render(const std::string& utf8, int pixelHeight) {
    if (!freetype_) {
        return cv::Mat();
    }
    return InkOfText(*freetype_.staticCast<cv::freetype::FreeType2>(), utf8, std::max(4, pixelHeight));
}

std::vector<std::string> DefaultTrainingFontEntries() {
    std::vector<std::string> entries;
    for (const char* folder : {"dejavu", "liberation", "liberation2", "croscore"}) {
        const fs::path dir = fs::path("/usr/share/fonts/truetype") / folder;
        std::error_code error;
        std::vector<std::string> files;
        for (fs::directory_iterator it(dir, error), end; !error && it != end; it.increment(error)) {
            if (it->path().extension() == ".ttf" && it->is_regular_file(error)) {
                files.push_back(it->path().string());
            }
        }
        std::sort(files.begin(), files.end());
        entries.insert(entries.end(), files.begin(), files.end());
    }
    entries.push_back("glyph");
    entries.push_back("stencil");
    return entries;
}

std::string SplitFontList(const std::string& list, std::vector<std::string>& entries) {
    entries.clear();
    std::size_t start = 0;
    while (true) {
        const std::size_t comma = list.find(',', start);
        const std::string entry = list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (entry.empty()) {
            return "empty entry in font list '" + list + "'";
        }
        entries.push_back(entry);
        if (comma == std::string::npos) {
            return "";
        }
        start = comma + 1;
    }
}

}  // namespace kalvero
