#include "cli/JsonOutput.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "recognizers/CheckDigit.h"

namespace kalvero {

namespace {

// Length of the valid UTF-8 sequence starting at text[i], or 0.
std::size_t Utf8SequenceLength(const std::string& text, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    std::size_t length = 0;
    unsigned int low = 0x80;  // smallest allowed second byte (overlong / range checks)
    unsigned int high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (i + length > text.size()) {
        return 0;
    }
    for (std::size_t k = 1; k < length; ++k) {
        const unsigned char c = byte(i + k);
        const unsigned int lo = k == 1 ? low : 0x80;
        const unsigned int hi = k == 1 ? high : 0xBF;
        if (c < lo || c > hi) {
            return 0;
        }
    }
    return length;
}

}  // namespace

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c >= 0x80) {
            const std::size_t length = Utf8SequenceLength(text, i);
            if (length == 0) {
                out += "\\ufffd";
                ++i;
            } else {
                out.append(text, i, length);
                i += length;
            }
            continue;
        }
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            case '\b': out += "\\b"; break;
            case '\f': out += "\\f"; break;
            default:
                if (c < 0x20 || c == 0x7F) {
                    char buffer[8];
                    std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
                    out += buffer;
                } else {
                    out += static_cast<char>(c);
                }
        }
        ++i;
    }
    out += '"';
    return out;
}

std::string JsonNumber(double value) {
    if (!std::isfinite(value)) {
        return "null";
    }
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.3f", value);
    return buffer;
}

std::string JsonMilliseconds(double value) {
    if (!std::isfinite(value)) {
        return "null";
    }
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.2f", value);
    return buffer;
}

std::string FrameJsonLine(const FrameReport& report, const std::string* file) {
    std::string line = "{\"frame\": " + std::to_string(report.frameNumber) + ", \"time_ms\": " +
                       JsonMilliseconds(report.recognitionMs) + ", \"readings\": [";
    bool first = true;
    for (const Reading& reading : report.readings) {
        if (!first) {
            line += ", ";
        }
        first = false;
        line += "{\"text\": " + JsonString(reading.text) +
                ", \"x\": " + std::to_string(reading.box.x + report.zone.x) +
                ", \"y\": " + std::to_string(reading.box.y + report.zone.y) +
                ", \"width\": " + std::to_string(reading.box.width) +
                ", \"height\": " + std::to_string(reading.box.height) +
                ", \"score\": " + JsonNumber(reading.score) +
                ", \"check_digit\": " + (CheckDigitHolds(reading.text) ? "true" : "false") +
                ", \"engine\": " + JsonString(EngineName(reading.engine));
        if (!reading.digitScores.empty()) {
            line += ", \"digit_scores\": [";
            for (std::size_t d = 0; d < reading.digitScores.size(); ++d) {
                line += (d == 0 ? "" : ", ") + JsonNumber(reading.digitScores[d]);
            }
            line += "]";
        }
        line += "}";
    }
    line += "], \"confirmed\": ";
    line += report.voteCode == 0 ? JsonString(report.confirmed) : "null";
    if (file != nullptr) {
        line += ", \"file\": " + JsonString(*file);
    }
    line += "}";
    return line;
}

}  // namespace kalvero
