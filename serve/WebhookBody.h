#pragma once
#include <string>
#include <vector>

#include "serve/Delivery.h"
#include "serve/StoredPass.h"

namespace kalvero {

// The JSON a delivery POSTs, made from the pass as it is stored when it is
// sent: the fields of its `--passes` record, then "id", "camera",
// "crop_png" (base64 of the PNG; null when there is none),
// "corrected_number" and "corrected_at" (null until corrected) and
// "event" ("pass" or "correction").
std::string WebhookBody(const StoredPass& pass, DeliveryKind kind);

// Standard base64 (RFC 4648, padded, one line).
std::string Base64(const std::vector<unsigned char>& bytes);

}  // namespace kalvero
