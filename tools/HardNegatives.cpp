#include "tools/HardNegatives.h"

#include <algorithm>
#include <cmath>

#include <opencv2/imgproc.hpp>

#include "recognition_common/CheckDigit.h"
#include "tools/CarriageNumbers.h"

namespace kalvero {

namespace {

std::string TwoDigits(int value) {
    return std::string(1, static_cast<char>('0' + value / 10)) + static_cast<char>('0' + value % 10);
}

std::string DrawMarking(SceneNegative kind, cv::RNG& rng) {
    switch (kind) {
    case SceneNegative::PhoneNumber:
        if (rng.uniform(0.0, 1.0) < 0.5) {
            return "8 " + RandomDigitGroup(rng, 3) + " " + RandomDigitGroup(rng, 3) + "-" + RandomDigitGroup(rng, 2) +
                   "-" + RandomDigitGroup(rng, 2);
        }
        return "+7 " + RandomDigitGroup(rng, 3) + " " + RandomDigitGroup(rng, 7);
    case SceneNegative::Date:
        return TwoDigits(rng.uniform(1, 29)) + "." + TwoDigits(rng.uniform(1, 13)) + "." +
               std::to_string(rng.uniform(1975, 2027));
    case SceneNegative::BadCheckDigit: {
        const std::string number = RandomCarriageNumber(rng);
        const int wrong = (number[7] - '0' + rng.uniform(1, 10)) % 10;
        return number.substr(0, 7) + static_cast<char>('0' + wrong);
    }
    case SceneNegative::NineDigits:
        return RandomDigitGroup(rng, 9);
    case SceneNegative::TenDigits:
        return RandomDigitGroup(rng, 10);
    case SceneNegative::SevenPlusOne:
        return RandomDigitGroup(rng, 7) + " " + RandomDigitGroup(rng, 1);
    default:
        return "";
    }
}

// A separator's mask, `rows` high like the digit line's mask.
cv::Mat SeparatorMask(char c, double h, int rows, double space) {
    const int stroke = std::max(1, static_cast<int>(std::lround(0.13 * h)));
    const int centre = rows / 2;
    if (c == '-') {
        const int width = std::max(3, static_cast<int>(std::lround(0.45 * h)));
        cv::Mat m = cv::Mat::zeros(rows, width + 4, CV_8U);
        cv::rectangle(m, cv::Rect(2, centre - stroke / 2, width, stroke), cv::Scalar(255), cv::FILLED);
        return m;
    }
    if (c == '.') {
        const int width = std::max(3, stroke + 4);
        cv::Mat m = cv::Mat::zeros(rows, width, CV_8U);
        const int bottom = rows - std::max(2, (rows - static_cast<int>(std::lround(h))) / 2);
        cv::rectangle(m, cv::Rect(2, bottom - stroke, stroke, stroke), cv::Scalar(255), cv::FILLED);
        return m;
    }
    if (c == '+') {
        const int arm = std::max(3, static_cast<int>(std::lround(0.5 * h)));
        cv::Mat m = cv::Mat::zeros(rows, arm + 6, CV_8U);
        cv::rectangle(m, cv::Rect(3, centre - stroke / 2, arm, stroke), cv::Scalar(255), cv::FILLED);
        cv::rectangle(m, cv::Rect(3 + arm / 2 - stroke / 2, centre - arm / 2, stroke, arm), cv::Scalar(255),
                      cv::FILLED);
        return m;
    }
    return cv::Mat::zeros(rows, std::max(2, static_cast<int>(std::lround(space * h))), CV_8U);
}

}  // namespace

bool HoldsCarriageNumber(const std::string& text) {
    std::string digits;
    for (char c : text) {
        if (c >= '0' && c <= '9') {
            digits += c;
        }
    }
    for (std::size_t i = 0; i + 8 <= digits.size(); ++i) {
        if (CheckDigitHolds(digits.substr(i, 8))) {
            return true;
        }
    }
    return false;
}

std::string NegativeMarkingText(SceneNegative kind, cv::RNG& rng) {
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const std::string text = DrawMarking(kind, rng);
        if (!HoldsCarriageNumber(text)) {
            return text;
        }
    }
    return "";  // not reached in practice: about half the draws qualify
}

bool IsMarkingNegative(SceneNegative kind) {
    return kind == SceneNegative::PhoneNumber || kind == SceneNegative::Date || kind == SceneNegative::BadCheckDigit ||
           kind == SceneNegative::NineDigits || kind == SceneNegative::TenDigits || kind == SceneNegative::SevenPlusOne;
}

bool IsPatternNegative(SceneNegative kind) {
    return kind == SceneNegative::Ladder || kind == SceneNegative::Grille || kind == SceneNegative::Rivets;
}

PaintedLine PaintMarking(const DigitFont& font, const std::string& text, const LineStyle& style, double space) {
    // Pieces left to right: a digit run (separator 0) or a separator.
    std::vector<PaintedLine> runs;
    std::vector<char> separators;
    LineStyle runStyle = style;
    int rows = 0;
    for (std::size_t i = 0; i < text.size();) {
        if (text[i] >= '0' && text[i] <= '9') {
            std::size_t j = i;
            while (j < text.size() && text[j] >= '0' && text[j] <= '9') {
                ++j;
            }
            runStyle.strokeSeed = style.strokeSeed + runs.size();
            runs.push_back(PaintDigitLine(font, text.substr(i, j - i), runStyle));
            rows = std::max(rows, runs.back().mask.rows);
            separators.push_back(0);
            i = j;
        } else {
            runs.emplace_back();
            separators.push_back(text[i]);
            ++i;
        }
    }
    if (rows == 0) {
        rows = static_cast<int>(std::lround(style.digitHeight)) + 4;
    }
    for (std::size_t k = 0; k < runs.size(); ++k) {
        if (separators[k] != 0) {
            runs[k].mask = SeparatorMask(separators[k], style.digitHeight, rows, space);
        }
    }
    PaintedLine line;
    int width = 0;
    for (const PaintedLine& r : runs) {
        width += r.mask.cols;
    }
    line.mask = cv::Mat::zeros(rows, std::max(1, width), CV_8U);
    int x = 0;
    for (const PaintedLine& r : runs) {
        const int top = (rows - r.mask.rows) / 2;
        cv::Mat target = line.mask(cv::Rect(x, top, r.mask.cols, r.mask.rows));
        cv::max(target, r.mask, target);
        for (const cv::Rect2d& b : r.digitBoxes) {
            line.digitBoxes.push_back(b + cv::Point2d(x, top));
        }
        line.digits += r.digits;
        x += r.mask.cols;
    }
    return line;
}

cv::Mat DrawPatternMask(SceneNegative kind, double height, double length, cv::RNG& rng) {
    if (!IsPatternNegative(kind)) {
        return cv::Mat();
    }
    const int h = std::max(8, static_cast<int>(std::lround(height)));
    const int w = std::max(2 * h, static_cast<int>(std::lround(length)));
    const int pad = 2;
    cv::Mat m = cv::Mat::zeros(h + 2 * pad, w + 2 * pad, CV_8U);
    const int stroke = std::max(1, static_cast<int>(std::lround(h * rng.uniform(0.1, 0.18))));
    const double step = h * rng.uniform(0.55, 0.85);  // about a digit's advance
    const cv::Scalar ink(255);
    if (kind == SceneNegative::Ladder) {
        cv::rectangle(m, cv::Rect(pad, pad, w, stroke), ink, cv::FILLED);
        cv::rectangle(m, cv::Rect(pad, pad + h - stroke, w, stroke), ink, cv::FILLED);
        for (double x = pad; x + stroke <= pad + w; x += step) {
            cv::rectangle(m, cv::Rect(static_cast<int>(x), pad, stroke, h), ink, cv::FILLED);
        }
    } else if (kind == SceneNegative::Grille) {
        cv::rectangle(m, cv::Rect(pad, pad, w, h), ink, stroke);
        const double slat = step * rng.uniform(0.3, 0.6);
        for (double x = pad + step * 0.5; x + slat < pad + w - stroke; x += step) {
            cv::rectangle(m, cv::Rect(static_cast<int>(x), pad + stroke + 1, static_cast<int>(std::max(1.0, slat)),
                                      h - 2 * stroke - 2),
                          ink, cv::FILLED);
        }
    } else {
        const int rowsOfRivets = rng.uniform(2, 4);
        const double radius = std::max(1.0, h * rng.uniform(0.08, 0.14));
        for (int r = 0; r < rowsOfRivets; ++r) {
            const double y = pad + radius + (h - 2 * radius) * r / std::max(1, rowsOfRivets - 1);
            for (double x = pad + radius; x + radius <= pad + w; x += step) {
                if (r == 1 && rowsOfRivets == 3) {
                    // The middle row: short upright bars, the height of digit strokes.
                    cv::rectangle(m, cv::Rect(static_cast<int>(x - radius), static_cast<int>(y - 2 * radius),
                                              static_cast<int>(std::max(1.0, radius)), static_cast<int>(4 * radius)),
                                  ink, cv::FILLED);
                } else {
                    cv::circle(m, cv::Point(static_cast<int>(x), static_cast<int>(y)),
                               static_cast<int>(std::lround(radius)), ink, cv::FILLED, cv::LINE_AA);
                }
            }
        }
    }
    return m;
}

}  // namespace kalvero
