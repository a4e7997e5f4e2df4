#include "command_line/OptionNumbers.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <vector>

#include "command_line/PrintableText.h"

namespace kalvero {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Skips a run of digits from `at`; returns how many there were.
std::size_t SkipDigits(const std::string& text, std::size_t& at) {
    const std::size_t start = at;
    while (at < text.size() && IsDigit(text[at])) {
        ++at;
    }
    return at - start;
}

std::size_t SkipSign(const std::string& text) {
    return !text.empty() && (text[0] == '+' || text[0] == '-') ? 1 : 0;
}

// A whole number as written: its sign and magnitude; `huge` when the
// magnitude does not fit 64 bits.
struct WrittenWhole {
    bool negative = false;
    bool huge = false;
    std::uint64_t magnitude = 0;
};

// Checks the spelling by hand: strtoll and friends also take blanks, hex
// and (for reals) "inf", none of which belongs on a command line.
bool ReadWhole(const std::string& text, WrittenWhole& whole) {
    std::size_t at = SkipSign(text);
    const std::size_t first = at;
    if (SkipDigits(text, at) == 0 || at != text.size()) {
        return false;
    }
    whole.negative = text[0] == '-';
    constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
    for (std::size_t i = first; i < text.size(); ++i) {
        const auto digit = static_cast<std::uint64_t>(text[i] - '0');
        if (whole.magnitude > (kMax - digit) / 10) {
            whole.huge = true;
            return true;
        }
        whole.magnitude = whole.magnitude * 10 + digit;
    }
    return true;
}

bool IsReal(const std::string& text) {
    std::size_t at = SkipSign(text);
    std::size_t digits = SkipDigits(text, at);
    if (at < text.size() && text[at] == '.') {
        ++at;
        digits += SkipDigits(text, at);
    }
    if (digits == 0) {
        return false;
    }
    if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
        ++at;
        if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
            ++at;
        }
        if (SkipDigits(text, at) == 0) {
            return false;
        }
    }
    return at == text.size();
}

// Where a whole number lies against [low, high].
enum class Place { Below, Inside, Above };

Place PlaceOf(const WrittenWhole& whole, long long low, long long high, long long& value) {
    constexpr auto kLongMax = static_cast<std::uint64_t>(std::numeric_limits<long long>::max());
    if (whole.huge) {
        return whole.negative ? Place::Below : Place::Above;
    }
    if (!whole.negative) {
        if (whole.magnitude > kLongMax) {
            return Place::Above;
        }
        value = static_cast<long long>(whole.magnitude);
    } else {
        if (whole.magnitude > kLongMax + 1) {
            return Place::Below;
        }
        value = whole.magnitude == kLongMax + 1 ? std::numeric_limits<long long>::min()
                                                : -static_cast<long long>(whole.magnitude);
    }
    return value < low ? Place::Below : value > high ? Place::Above : Place::Inside;
}

std::string NotWhole(const std::string& name, const std::string& text) {
    return name + ": '" + PrintableText(text) + "' is not a whole number";
}

std::string RangeMessage(const std::string& name, const std::string& text, Place place,
                         const std::string& low, const std::string& high, bool openAbove) {
    if (!openAbove) {
        return name + " " + text + " is out of range (" + low + ".." + high + ")";
    }
    if (place == Place::Above) {
        return name + " " + text + " is too large (at most " + high + ")";
    }
    return name + " " + text + " is out of range (" + low + " or more)";
}

// "0.3", "1.0": a bound as the usage text writes it.
std::string RealText(double v) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%g", v);
    std::string text = buffer;
    if (text.find_first_of(".e") == std::string::npos) {
        text += ".0";
    }
    return text;
}

// Parts of "A,B,C" or "AxB": the texts between the separators.
std::vector<std::string> Pieces(const std::string& text, const std::string& separators) {
    std::vector<std::string> pieces;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find_first_of(separators, start);
        pieces.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos) {
            return pieces;
        }
        start = end + 1;
    }
}

// The parts of a box or size: whole numbers of at least their least
// value (else `shape` is the message) and at most `maxPart`.
std::string ReadParts(const std::string& name, const std::vector<std::string>& pieces,
                      const std::vector<std::string>& partNames, const std::vector<int>& least,
                      int maxPart, const std::string& shape, std::vector<int>& parts) {
    if (pieces.size() != partNames.size()) {
        return shape;
    }
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        WrittenWhole whole;
        long long v = 0;
        if (!ReadWhole(pieces[i], whole)) {
            return shape;
        }
        const Place place = PlaceOf(whole, least[i], maxPart, v);
        if (place == Place::Below) {
            return shape;
        }
        if (place == Place::Above) {
            return name + ": " + partNames[i] + " " + pieces[i] + " is too large (at most " +
                   std::to_string(maxPart) + ")";
        }
        parts.push_back(static_cast<int>(v));
    }
    return "";
}

}  // namespace

std::string ParseWholeOption(const std::string& name, const std::string& text, int low, int high,
                             int& value) {
    WrittenWhole whole;
    if (!ReadWhole(text, whole)) {
        return NotWhole(name, text);
    }
    long long v = 0;
    const Place place = PlaceOf(whole, low, high, v);
    if (place != Place::Inside) {
        return RangeMessage(name, text, place, std::to_string(low), std::to_string(high),
                            high == std::numeric_limits<int>::max());
    }
    value = static_cast<int>(v);
    return "";
}

std::string ParseUnsignedOption(const std::string& name, const std::string& text,
                                std::uint64_t& value) {
    WrittenWhole whole;
    if (!ReadWhole(text, whole)) {
        return NotWhole(name, text);
    }
    constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
    if (whole.huge || (whole.negative && whole.magnitude != 0)) {
        return RangeMessage(name, text, whole.negative ? Place::Below : Place::Above, "0",
                            std::to_string(kMax), true);
    }
    value = whole.magnitude;
    return "";
}

std::string ParseRealOption(const std::string& name, const std::string& text, double low,
                            double high, double& value) {
    if (!IsReal(text)) {
        return name + ": '" + PrintableText(text) + "' is not a number";
    }
    // The spelling is checked: strtod sees only decimal text here. A value
    // too large for a double comes back infinite, one too small as 0 or a
    // denormal, which the range then judges.
    const double v = std::strtod(text.c_str(), nullptr);
    if (!(v >= low && v <= high)) {
        return RangeMessage(name, text, v < low ? Place::Below : Place::Above, RealText(low),
                            RealText(high), false);
    }
    value = v;
    return "";
}

std::string ParseBoxOption(const std::string& name, const std::string& text, int maxPart,
                           OptionBox& box) {
    const std::string shape = name + ": '" + PrintableText(text) +
                              "' is not X,Y,W,H with X, Y of 0 or more and W, H of 1 or more";
    std::vector<int> parts;
    const std::string problem =
        ReadParts(name, Pieces(text, ","), {"X", "Y", "W", "H"}, {0, 0, 1, 1}, maxPart, shape, parts);
    if (!problem.empty()) {
        return problem;
    }
    box = OptionBox{parts[0], parts[1], parts[2], parts[3]};
    return "";
}

std::string ParseSizeOption(const std::string& name, const std::string& text, int maxSide,
                            OptionSize& size) {
    const std::string shape = name + ": '" + PrintableText(text) + "' is not WxH (for example 640x360)";
    std::vector<int> parts;
    const std::string problem =
        ReadParts(name, Pieces(text, "xX"), {"width", "height"}, {1, 1}, maxSide, shape, parts);
    if (!problem.empty()) {
        return problem;
    }
    size = OptionSize{parts[0], parts[1]};
    return "";
}

}  // namespace kalvero
