#include "cli/TimeOfDay.h"

#include <cstdio>
#include <ctime>

namespace kalvero {

namespace {

// Days from 1970-01-01 to the given civil date (proleptic Gregorian).
long long DaysFromCivil(long long y, unsigned m, unsigned d) {
    y -= m <= 2 ? 1 : 0;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

struct Civil {
    std::tm tm{};
    int millis = 0;
};

Civil Split(TimeOfDay time, int offsetMinutes) {
    using namespace std::chrono;
    const long long ms = duration_cast<milliseconds>(time.time_since_epoch()).count() +
                         static_cast<long long>(offsetMinutes) * 60000LL;
    long long seconds = ms / 1000;
    int millis = static_cast<int>(ms % 1000);
    if (millis < 0) {
        millis += 1000;
        --seconds;
    }
    const std::time_t t = static_cast<std::time_t>(seconds);
    Civil civil;
    gmtime_r(&t, &civil.tm);
    civil.millis = millis;
    return civil;
}

}  // namespace

std::string IsoUtc(TimeOfDay time) {
    const Civil c = Split(time, 0);
    char text[96];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", c.tm.tm_year + 1900, c.tm.tm_mon + 1,
                  c.tm.tm_mday, c.tm.tm_hour, c.tm.tm_min, c.tm.tm_sec, c.millis);
    return text;
}

std::string LocalTimeText(TimeOfDay time, int offsetMinutes) {
    const Civil c = Split(time, offsetMinutes);
    const int offset = offsetMinutes < 0 ? -offsetMinutes : offsetMinutes;
    char text[112];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d.%03d %c%02d:%02d", c.tm.tm_year + 1900,
                  c.tm.tm_mon + 1, c.tm.tm_mday, c.tm.tm_hour, c.tm.tm_min, c.tm.tm_sec, c.millis,
                  offsetMinutes < 0 ? '-' : '+', offset / 60, offset % 60);
    return text;
}

std::optional<TimeOfDay> ParseIsoUtc(const std::string& text) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0, used = 0;
    char sep = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2d%c%2d:%2d:%2d%n", &y, &mo, &d, &sep, &h, &mi, &s, &used) != 7 ||
        (sep != 'T' && sep != ' ') || used != 19) {
        return std::nullopt;
    }
    if (mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || s > 60 || y < 1 || h < 0 || mi < 0 || s < 0) {
        return std::nullopt;
    }
    std::size_t at = 19;
    long long micros = 0;
    if (at < text.size() && text[at] == '.') {
        ++at;
        long long scale = 100000;
        const std::size_t first = at;
        while (at < text.size() && text[at] >= '0' && text[at] <= '9') {
            micros += (text[at] - '0') * scale;
            scale /= 10;
            ++at;
        }
        if (at == first) {
            return std::nullopt;
        }
    }
    if (at < text.size() && text[at] == 'Z') {
        ++at;
    }
    if (at != text.size()) {
        return std::nullopt;
    }
    const long long days = DaysFromCivil(y, static_cast<unsigned>(mo), static_cast<unsigned>(d));
    const long long seconds = days * 86400LL + h * 3600LL + mi * 60LL + s;
    return TimeOfDay(std::chrono::duration_cast<TimeOfDay::duration>(std::chrono::seconds(seconds) +
                                                                     std::chrono::microseconds(micros)));
}

}  // namespace kalvero
