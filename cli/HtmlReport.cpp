#include "cli/HtmlReport.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "command_line/PrintableText.h"

namespace kalvero {

namespace {

std::string Escape(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out += c;
        }
    }
    return out;
}

std::string Fixed(double value, int decimals) {
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
    return buffer;
}

std::string CropImage(const CarriagePass& pass) {
    if (pass.bestCrop.empty()) {
        return "<span class=\"none\">no picture</span>";
    }
    cv::Mat bgr;
    cv::cvtColor(pass.bestCrop, bgr, cv::COLOR_RGB2BGR);
    std::vector<unsigned char> png;
    if (!cv::imencode(".png", bgr, png)) {
        return "<span class=\"none\">no picture</span>";
    }
    return "<img alt=\"" + Escape(pass.number) + "\" src=\"data:image/png;base64," + Base64(png) +
           "\">";
}

const char* const kStyle =
    "body{font-family:sans-serif;margin:16px;color:#222}"
    "table{border-collapse:collapse}"
    "th,td{border:1px solid #bbb;padding:4px 8px;text-align:left;vertical-align:middle}"
    "th{background:#eee}"
    "td.number{font-family:monospace;font-size:18px;font-weight:bold}"
    "td.fails{color:#b00}"
    "img{display:block;max-width:320px;max-height:120px}"
    ".none{color:#888}";

}  // namespace

std::string Base64(const std::vector<unsigned char>& bytes) {
    static const char* const kDigits =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        const unsigned v = (bytes[i] << 16) | (bytes[i + 1] << 8) | bytes[i + 2];
        out += kDigits[(v >> 18) & 63];
        out += kDigits[(v >> 12) & 63];
        out += kDigits[(v >> 6) & 63];
        out += kDigits[v & 63];
    }
    if (i + 1 == bytes.size()) {
        const unsigned v = bytes[i] << 16;
        out += kDigits[(v >> 18) & 63];
        out += kDigits[(v >> 12) & 63];
        out += "==";
    } else if (i + 2 == bytes.size()) {
        const unsigned v = (bytes[i] << 16) | (bytes[i + 1] << 8);
        out += kDigits[(v >> 18) & 63];
        out += kDigits[(v >> 12) & 63];
        out += kDigits[(v >> 6) & 63];
        out += '=';
    }
    return out;
}

std::string ScorePlot(const CarriagePass& pass, int width, int height) {
    float top = 1.0f;
    for (const auto& point : pass.scores) {
        top = std::max(top, point.second);
    }
    // Headroom, so that a line of near-perfect scores stays off the frame.
    top *= 1.1f;
    const int span = std::max(1, pass.lastFrame - pass.firstFrame);
    std::string points;
    for (const auto& [frame, score] : pass.scores) {
        const double x = 2.0 + (width - 4.0) * (frame - pass.firstFrame) / span;
        const double y = height - 2.0 - (height - 4.0) * std::max(0.0f, score) / top;
        points += (points.empty() ? "" : " ") + Fixed(x, 1) + "," + Fixed(y, 1);
    }
    const std::string w = std::to_string(width);
    const std::string h = std::to_string(height);
    return "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + w + "\" height=\"" + h +
           "\" viewBox=\"0 0 " + w + " " + h + "\"><rect width=\"" + w + "\" height=\"" + h +
           "\" fill=\"#f7f7f7\" stroke=\"#ccc\"/><polyline fill=\"none\" stroke=\"#1565c0\" "
           "stroke-width=\"1.5\" points=\"" + points + "\"/></svg>";
}

std::string HtmlReport(const std::vector<CarriagePass>& passes, const std::string& title) {
    std::string html = "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\"><title>" +
                       Escape(title) + "</title><style>" + kStyle + "</style></head><body>\n<h1>" +
                       Escape(title) + "</h1>\n<p>" + std::to_string(passes.size()) +
                       (passes.size() == 1 ? " carriage pass" : " carriage passes") + "</p>\n";
    html += "<table>\n<tr><th>#</th><th>Picture</th><th>Number</th><th>Check digit</th><th>File</th>"
            "<th>Start, s</th><th>End, s</th><th>Frames</th><th>Direction</th><th>Best score</th>"
            "<th>Score over frames</th></tr>\n";
    int index = 0;
    for (const CarriagePass& p : passes) {
        html += "<tr><td>" + std::to_string(++index) + "</td><td>" + CropImage(p) +
                "</td><td class=\"number\">" + Escape(p.number) + "</td><td class=\"" +
                (p.checkDigit ? "holds\">holds" : "fails\">fails") + "</td><td>" +
                Escape(PrintableText(p.file)) + "</td><td>" + Fixed(p.startSeconds, 3) +
                "</td><td>" + Fixed(p.endSeconds, 3) + "</td><td>" + std::to_string(p.firstFrame) +
                "&ndash;" + std::to_string(p.lastFrame) + " (confirmed in " +
                std::to_string(p.firstConfirmedFrame) + ")</td><td>" + DirectionName(p.direction) +
                "</td><td>" + Fixed(p.bestScore, 3) + " (frame " + std::to_string(p.bestFrame) +
                ")</td><td>" + ScorePlot(p, 160, 40) + "</td></tr>\n";
    }
    html += "</table>\n</body></html>\n";
    return html;
}

bool WriteReportFile(const std::string& path, const std::string& text, std::string& error) {
    const std::string cannot = "cannot write the report to '" + PrintableText(path) + "': ";
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "w"), &std::fclose);
    if (!file) {
        error = cannot + std::strerror(errno);
        return false;
    }
    errno = 0;
    if (std::fwrite(text.data(), 1, text.size(), file.get()) != text.size() ||
        std::fflush(file.get()) != 0) {
        error = cannot + std::strerror(errno != 0 ? errno : EIO);
        return false;
    }
    return true;
}

}  // namespace kalvero
