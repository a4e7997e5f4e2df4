#pragma once
#include <string>

namespace kalvero {

// What a webhook delivery announces.
enum class DeliveryKind {
    Pass,        // a pass that was stored
    Correction,  // an operator's correction of a stored pass
};

// One POST waiting in the store's outbox: a pass (or its correction) for one
// webhook address. It stays in the outbox until the receiver takes it (2xx)
// or it is dropped (4xx, three times).
struct Delivery {
    long long id = 0;
    long long passId = 0;
    DeliveryKind kind = DeliveryKind::Pass;
    std::string url;          // the webhook's address, as configured
    int attempts = 0;         // POSTs tried so far
    std::string nextAttempt;  // ISO 8601 UTC: not to be tried before it
    std::string lastError;    // what the last try gave ("HTTP 503", "connection refused")
};

}  // namespace kalvero
