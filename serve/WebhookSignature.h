#pragma once
#include <string>

namespace kalvero {

// The header a signed delivery carries.
inline constexpr const char* kWebhookSignatureHeader = "X-Kalvero-Signature";

// The header's value for `body` signed with `secret`:
// "sha256=" and the lowercase hex of its HMAC-SHA256.
std::string WebhookSignature(const std::string& secret, const std::string& body);

}  // namespace kalvero
