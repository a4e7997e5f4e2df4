#pragma once
#include <optional>
#include <string>

namespace kalvero {

// A webhook's http(s) address split the way an HTTP client opens it.
struct WebhookAddress {
    std::string origin;  // "https://yard.example:8443": scheme, host and port if one was given
    std::string target;  // "/passes?gate=east": path and query, "/" at least

    // Splits `url`; nullopt with `error` saying why for anything but an
    // http:// or https:// address with a host (user names, spaces and
    // control characters are refused). A fragment is left out.
    static std::optional<WebhookAddress> Parse(const std::string& url, std::string& error);
};

}  // namespace kalvero
