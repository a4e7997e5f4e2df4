#include "serve/WebhookAddress.h"

#include <cctype>

namespace kalvero {

namespace {

bool IsPort(const std::string& text) {
    if (text.empty() || text.size() > 5) return false;
    for (char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    }
    const int port = std::stoi(text);
    return port >= 1 && port <= 65535;
}

bool IsHostName(const std::string& host) {
    if (host.empty()) return false;
    for (char c : host) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '.' && c != '_') return false;
    }
    return true;
}

bool IsBracketedAddress(const std::string& host) {
    if (host.size() < 3 || host.front() != '[' || host.back() != ']') return false;
    for (size_t i = 1; i + 1 < host.size(); ++i) {
        const char c = host[i];
        if (!std::isxdigit(static_cast<unsigned char>(c)) && c != ':' && c != '.') return false;
    }
    return true;
}

}  // namespace

std::optional<WebhookAddress> WebhookAddress::Parse(const std::string& url, std::string& error) {
    for (char c : url) {
        if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7f) {
            error = "a webhook address holds no spaces or control characters";
            return std::nullopt;
        }
    }
    std::string scheme;
    for (const char* known : {"http", "https"}) {
        const std::string prefix = std::string(known) + "://";
        if (url.size() >= prefix.size()) {
            std::string head = url.substr(0, prefix.size());
            for (char& c : head) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            if (head == prefix) scheme = known;
        }
    }
    if (scheme.empty()) {
        error = "a webhook address starts with http:// or https://";
        return std::nullopt;
    }
    std::string rest = url.substr(scheme.size() + 3);
    const size_t fragment = rest.find('#');
    if (fragment != std::string::npos) rest.erase(fragment);
    const size_t pathStart = rest.find_first_of("/?");
    const std::string authority = rest.substr(0, pathStart);
    std::string target = pathStart == std::string::npos ? "/" : rest.substr(pathStart);
    if (target.front() == '?') target.insert(0, "/");
    if (authority.find('@') != std::string::npos) {
        error = "a webhook address carries no user name or password (use the webhook's secret)";
        return std::nullopt;
    }
    std::string host = authority;
    std::string port;
    const size_t bracket = authority.rfind(']');
    const size_t colon = authority.rfind(':');
    if (colon != std::string::npos && (bracket == std::string::npos || colon > bracket)) {
        host = authority.substr(0, colon);
        port = authority.substr(colon + 1);
        if (!IsPort(port)) {
            error = "the webhook address's port '" + port + "' is not a number from 1 to 65535";
            return std::nullopt;
        }
    }
    if (!IsHostName(host) && !IsBracketedAddress(host)) {
        error = host.empty() ? "the webhook address names no host" : "the webhook address's host '" + host + "' is not a host name";
        return std::nullopt;
    }
    WebhookAddress address;
    address.origin = scheme + "://" + host + (port.empty() ? "" : ":" + port);
    address.target = target;
    return address;
}

}  // namespace kalvero
