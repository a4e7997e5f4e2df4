#pragma once
#include <string>

namespace kalvero {

// One receiver of the service's passes, as the configuration names it.
struct WebhookConfig {
    std::string url;     // http:// or https:// address the passes are POSTed to
    std::string secret;  // HMAC-SHA256 key of X-Kalvero-Signature; empty: not signed
};

}  // namespace kalvero
