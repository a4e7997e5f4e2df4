#pragma once
#include <memory>
#include <ostream>
#include <vector>

#include "serve/DeliveryCounts.h"
#include "serve/PassStore.h"
#include "serve/RetrySchedule.h"
#include "serve/WebhookConfig.h"

namespace kalvero {

// Posts the store's outbox to the webhooks on a thread of its own, so that
// a slow or absent receiver never holds up reading. A delivery leaves the
// outbox when its receiver answers 2xx; no answer or a 5xx is tried again
// after growing waits (at most an hour apart), across restarts; a 4xx is
// said on `log` and dropped after three tries.
class WebhookSender {
public:
    // `schedule` is the waits between tries (tests give short ones); the
    // outbox is looked at every second, or at every first wait when that
    // is shorter.
    WebhookSender(PassStore& store, std::vector<WebhookConfig> webhooks, std::ostream& log,
                  RetrySchedule schedule = RetrySchedule());
    ~WebhookSender();  // stops
    WebhookSender(const WebhookSender&) = delete;
    WebhookSender& operator=(const WebhookSender&) = delete;

    void Start();
    // Returns once no POST is under way (one in flight is given up and
    // stays in the outbox).
    void Stop();
    // Something was queued: look at the outbox now rather than at the next poll.
    void Wake();

    DeliveryCounts Counts() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace kalvero
