#include "tools/OptionValues.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace kalvero {

bool ParseInt(const std::string& text, long long low, long long high, int& value) {
    if (text.empty()) {
        return false;
    }
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(text.c_str(), &end, 10);
    if (errno != 0 || end == text.c_str() || *end != '\0' || v < low || v > high) {
        return false;
    }
    value = static_cast<int>(v);
    return true;
}

bool ParseSeed(const std::string& text, std::uint64_t& value) {
    if (text.empty() || text[0] == '-') {
        return false;
    }
    char* end = nullptr;
    errno = 0;
    const unsigned long long v = std::strtoull(text.c_str(), &end, 10);
    if (errno != 0 || end == text.c_str() || *end != '\0') {
        return false;
    }
    value = v;
    return true;
}

bool ParseSize(const std::string& text, cv::Size& size) {
    const std::size_t x = text.find_first_of("xX");
    if (x == std::string::npos) {
        return false;
    }
    int w = 0;
    int h = 0;
    if (!ParseInt(text.substr(0, x), 1, 1 << 20, w) || !ParseInt(text.substr(x + 1), 1, 1 << 20, h)) {
        return false;
    }
    size = cv::Size(w, h);
    return true;
}

bool ParseFraction(const std::string& text, double low, double high, double& value) {
    if (text.empty()) {
        return false;
    }
    char* end = nullptr;
    errno = 0;
    const double v = std::strtod(text.c_str(), &end);
    if (errno != 0 || end == text.c_str() || *end != '\0' || !std::isfinite(v) || v < low || v > high) {
        return false;
    }
    value = v;
    return true;
}

}  // namespace kalvero
