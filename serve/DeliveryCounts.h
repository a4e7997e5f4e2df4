#pragma once

namespace kalvero {

// What the webhook sender has done since the service started.
struct DeliveryCounts {
    long long delivered = 0;  // POSTs a receiver took (2xx)
    long long failed = 0;     // POSTs that failed (no answer, 5xx, 4xx)
    long long dropped = 0;    // deliveries given up (4xx three times)
};

}  // namespace kalvero
