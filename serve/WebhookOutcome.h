#pragma once
#include <chrono>
#include <string>

#include "serve/Delivery.h"
#include "serve/RetrySchedule.h"

namespace kalvero {

// How many refusals (a 3xx or 4xx answer) drop a delivery.
inline constexpr int kWebhookRefusalsToDrop = 3;

// What becomes of a delivery after one POST.
struct WebhookOutcome {
    enum class Step {
        Delivered,  // 2xx: it leaves the outbox
        Retry,      // tried again after `wait`
        Drop,       // refused for the last time: given up
    };
    Step step = Step::Retry;
    int attempts = 0;                 // POSTs tried, this one included
    std::string error;                // what the outbox keeps as the last error
    std::chrono::milliseconds wait{0};  // for Retry
};

// Judges the answer to a POST of `delivery`: `status` is the HTTP status
// (0 when there was no answer, `transportError` then saying why). No
// answer, a 5xx, 408 and 429 are tried again as `schedule` says; any other
// 3xx or 4xx is a refusal, tried again too until the third refusal drops
// it. Refusals are counted in the error text the outbox keeps, so the count
// survives a restart.
WebhookOutcome JudgeWebhookAnswer(const Delivery& delivery, int status, const std::string& transportError,
                                  const RetrySchedule& schedule);

// The refusals `lastError` (as JudgeWebhookAnswer wrote it) counts; 0 for
// any other text.
int WebhookRefusals(const std::string& lastError);

}  // namespace kalvero
