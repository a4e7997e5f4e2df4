#include "serve/WebPassSearch.h"

#include <cctype>

#include "cli/TimeOfDay.h"

namespace kalvero {

namespace {

constexpr int kMostPasses = 10000;
constexpr std::size_t kLongestText = 200;

std::string Param(const std::multimap<std::string, std::string>& params, const char* key) {
    const auto found = params.find(key);
    return found == params.end() ? std::string() : found->second;
}

bool WholeNumber(const std::string& text, int lowest, int highest, int& value) {
    if (text.empty() || text.size() > 9) return false;
    for (const char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    }
    value = std::stoi(text);
    return value >= lowest && value <= highest;
}

bool ToTheMinute(const std::string& text) {
    static const char shape[] = "dddd-dd-ddTdd:dd";
    if (text.size() != sizeof shape - 1) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool digit = std::isdigit(static_cast<unsigned char>(text[i])) != 0;
        if (shape[i] == 'd' ? !digit : text[i] != shape[i]) return false;
    }
    return true;
}

}  // namespace

bool SearchTime(const std::string& text, bool endOfMinute, std::string& iso) {
    const bool minute = ToTheMinute(text);
    const std::optional<TimeOfDay> time = ParseIsoUtc(minute ? text + ":00" : text);
    if (!time) return false;
    iso = IsoUtc(minute && endOfMinute ? *time + std::chrono::milliseconds(59999) : *time);
    return true;
}

bool ParsePassSearch(const std::multimap<std::string, std::string>& params, int defaultLimit, WebPassSearch& search,
                     std::string& error) {
    search = WebPassSearch{};
    search.number = Param(params, "number");
    search.camera = Param(params, "camera");
    search.from = Param(params, "from");
    search.to = Param(params, "to");
    for (const char c : search.number) {
        if (!std::isdigit(static_cast<unsigned char>(c))) {
            error = "number must be digits only (a number or some of its digits)";
            return false;
        }
    }
    if (search.number.size() > 8) {
        error = "number has at most 8 digits";
        return false;
    }
    if (search.camera.size() > kLongestText) {
        error = "camera name too long";
        return false;
    }
    search.query.number = search.number;
    search.query.camera = search.camera;
    if (!search.from.empty() && !SearchTime(search.from, false, search.query.from)) {
        error = "from must be a time such as 2026-12-08T12:34:56Z (UTC)";
        return false;
    }
    if (!search.to.empty() && !SearchTime(search.to, true, search.query.to)) {
        error = "to must be a time such as 2026-12-08T12:34:56Z (UTC)";
        return false;
    }
    search.query.limit = defaultLimit;
    const std::string limit = Param(params, "limit");
    if (!limit.empty() && !WholeNumber(limit, 1, kMostPasses, search.query.limit)) {
        error = "limit must be a whole number from 1 to " + std::to_string(kMostPasses);
        return false;
    }
    const std::string page = Param(params, "page");
    if (!page.empty() && !WholeNumber(page, 1, 1000000, search.page)) {
        error = "page must be a whole number from 1";
        return false;
    }
    const long long offset = static_cast<long long>(search.page - 1) * search.query.limit;
    if (offset > 100000000) {
        error = "page too far";
        return false;
    }
    search.query.offset = static_cast<int>(offset);
    return true;
}

std::string UrlEncoded(const std::string& text) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : text) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (std::isalnum(u) || c == '-' || c == '_' || c == '.' || c == '~') {
            out += c;
        } else {
            out += '%';
            out += digits[u >> 4];
            out += digits[u & 15];
        }
    }
    return out;
}

std::string SearchQueryString(const WebPassSearch& search, int page) {
    std::string out;
    const auto add = [&out](const char* key, const std::string& value) {
        if (value.empty()) return;
        out += (out.empty() ? "" : "&") + std::string(key) + "=" + UrlEncoded(value);
    };
    add("number", search.number);
    add("camera", search.camera);
    add("from", search.from);
    add("to", search.to);
    const int shown = page > 0 ? page : search.page;
    if (shown > 1) add("page", std::to_string(shown));
    return out;
}

}  // namespace kalvero
