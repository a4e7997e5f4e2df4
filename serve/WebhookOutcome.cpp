#include "serve/WebhookOutcome.h"

#include <cctype>

namespace kalvero {

namespace {

const char kRefusedMark[] = "refused ";

bool IsTransient(int status) { return status == 0 || status >= 500 || status == 408 || status == 429; }

}  // namespace

int WebhookRefusals(const std::string& lastError) {
    const size_t mark = lastError.find(kRefusedMark);
    if (mark == std::string::npos) return 0;
    int count = 0;
    for (size_t i = mark + sizeof(kRefusedMark) - 1; i < lastError.size(); ++i) {
        const char c = lastError[i];
        if (!std::isdigit(static_cast<unsigned char>(c))) break;
        count = count * 10 + (c - '0');
        if (count > kWebhookRefusalsToDrop) break;
    }
    return count;
}

WebhookOutcome JudgeWebhookAnswer(const Delivery& delivery, int status, const std::string& transportError,
                                  const RetrySchedule& schedule) {
    WebhookOutcome outcome;
    outcome.attempts = delivery.attempts + 1;
    if (status >= 200 && status < 300) {
        outcome.step = WebhookOutcome::Step::Delivered;
        return outcome;
    }
    outcome.wait = schedule.WaitAfter(outcome.attempts);
    if (IsTransient(status)) {
        outcome.step = WebhookOutcome::Step::Retry;
        outcome.error = status == 0 ? (transportError.empty() ? "no answer" : transportError)
                                    : "HTTP " + std::to_string(status);
        return outcome;
    }
    const int refusals = WebhookRefusals(delivery.lastError) + 1;
    outcome.step = refusals >= kWebhookRefusalsToDrop ? WebhookOutcome::Step::Drop : WebhookOutcome::Step::Retry;
    outcome.error = "HTTP " + std::to_string(status) + ", " + kRefusedMark + std::to_string(refusals) + " of " +
                    std::to_string(kWebhookRefusalsToDrop) + " times";
    return outcome;
}

}  // namespace kalvero
