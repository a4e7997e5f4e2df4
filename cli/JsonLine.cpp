#include "cli/JsonLine.h"

#include <cmath>
#include <cstdio>

namespace kalvero {

namespace {

// Every occurrence of `from` in `text` becomes `to`.
void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
}

std::string FixedDecimals(double value, int decimals) {
    if (!std::isfinite(value)) {
        return "null";
    }
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
    return buffer;
}

void Write(const JsonValue& value, const std::string& key, const JsonDecimals& decimals, std::string& out) {
    switch (value.type()) {
        case JsonValue::value_t::object: {
            out += '{';
            bool first = true;
            for (const auto& member : value.items()) {
                out += first ? "" : ", ";
                first = false;
                out += JsonString(member.key()) + ": ";
                Write(member.value(), member.key(), decimals, out);
            }
            out += '}';
            break;
        }
        case JsonValue::value_t::array: {
            out += '[';
            for (std::size_t i = 0; i < value.size(); ++i) {
                out += i == 0 ? "" : ", ";
                Write(value[i], key, decimals, out);
            }
            out += ']';
            break;
        }
        case JsonValue::value_t::string:
            out += JsonString(value.get_ref<const std::string&>());
            break;
        case JsonValue::value_t::number_float: {
            const auto found = decimals.find(key);
            out += FixedDecimals(value.get<double>(), found == decimals.end() ? kDefaultDecimals : found->second);
            break;
        }
        default:  // integers, booleans, null
            out += value.dump();
            break;
    }
}

}  // namespace

std::string JsonString(const std::string& text) {
    std::string out = JsonValue(text).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    // A dumped string holds these bytes only as the characters themselves.
    ReplaceAll(out, "\xef\xbf\xbd", "\\ufffd");
    ReplaceAll(out, "\x7f", "\\u007f");
    return out;
}

std::string JsonLine(const JsonValue& value, const JsonDecimals& decimals) {
    std::string out;
    Write(value, std::string(), decimals, out);
    return out;
}

}  // namespace kalvero
