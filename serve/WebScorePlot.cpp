#include "serve/WebScorePlot.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace kalvero {

namespace {

constexpr double kWidth = 640, kHeight = 220;
constexpr double kLeft = 44, kRight = 12, kTop = 12, kBottom = 32;

std::string Fixed(double value, int decimals = 1) {
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

}  // namespace

std::string ScorePlotSvg(const std::vector<std::pair<int, float>>& scores) {
    std::vector<std::pair<int, float>> points;
    for (const auto& point : scores) {
        if (std::isfinite(point.second)) points.push_back(point);
    }
    if (points.empty()) return "<p class=\"muted\">No frame scores were kept for this pass.</p>";
    std::sort(points.begin(), points.end());
    const int first = points.front().first;
    const int last = points.back().first;
    double top = 1.0;
    double bottom = 0.0;
    for (const auto& point : points) {
        top = std::max(top, static_cast<double>(point.second));
        bottom = std::min(bottom, static_cast<double>(point.second));
    }
    const double plotWidth = kWidth - kLeft - kRight;
    const double plotHeight = kHeight - kTop - kBottom;
    const auto x = [&](int frame) {
        return last == first ? kLeft + plotWidth / 2 : kLeft + plotWidth * (frame - first) / double(last - first);
    };
    const auto y = [&](double score) { return kTop + plotHeight * (top - score) / (top - bottom); };

    std::string svg = "<svg class=\"plot\" viewBox=\"0 0 " + Fixed(kWidth, 0) + " " + Fixed(kHeight, 0) +
                      "\" role=\"img\" aria-label=\"Score of each frame\" xmlns=\"http://www.w3.org/2000/svg\">";
    for (int i = 0; i <= 4; ++i) {
        const double value = bottom + (top - bottom) * i / 4.0;
        const std::string at = Fixed(y(value));
        svg += "<line class=\"grid\" x1=\"" + Fixed(kLeft) + "\" y1=\"" + at + "\" x2=\"" + Fixed(kWidth - kRight) +
               "\" y2=\"" + at + "\"/>";
        svg += "<text class=\"tick\" x=\"" + Fixed(kLeft - 6) + "\" y=\"" + Fixed(y(value) + 4) +
               "\" text-anchor=\"end\">" + Fixed(value, 2) + "</text>";
    }
    svg += "<text class=\"tick\" x=\"" + Fixed(kLeft) + "\" y=\"" + Fixed(kHeight - 10) + "\">frame " +
           std::to_string(first) + "</text>";
    if (last != first) {
        svg += "<text class=\"tick\" x=\"" + Fixed(kWidth - kRight) + "\" y=\"" + Fixed(kHeight - 10) +
               "\" text-anchor=\"end\">frame " + std::to_string(last) + "</text>";
    }
    std::string line;
    for (const auto& [frame, score] : points) {
        line += (line.empty() ? "" : " ") + Fixed(x(frame)) + "," + Fixed(y(score));
    }
    svg += "<polyline class=\"line\" points=\"" + line + "\"/>";
    for (const auto& [frame, score] : points) {
        svg += "<circle class=\"dot\" cx=\"" + Fixed(x(frame)) + "\" cy=\"" + Fixed(y(score)) +
               "\" r=\"3\"><title>frame " + std::to_string(frame) + ": " + Fixed(score, 3) + "</title></circle>";
    }
    return svg + "</svg>";
}

}  // namespace kalvero
