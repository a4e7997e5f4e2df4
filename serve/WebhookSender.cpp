#include "serve/WebhookSender.h"

#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <map>
#include <mutex>
#include <optional>
#include <thread>

#include "cli/TimeOfDay.h"
#include "serve/WebhookAddress.h"
#include "serve/WebhookBody.h"
#include "serve/WebhookOutcome.h"
#include "serve/WebhookSignature.h"

namespace kalvero {

namespace {

// A receiver that hangs cannot hold a delivery longer than these; Stop()
// cuts a POST short once it is connected, so only connecting bounds it.
constexpr std::chrono::seconds kConnectTimeout(5);
constexpr std::chrono::seconds kAnswerTimeout(10);
// How long a delivery is held by the sender posting it: longer than a POST
// can take (connecting, writing, waiting for the answer).
constexpr std::chrono::seconds kClaim(60);
// Deliveries taken from the outbox at each look.
constexpr int kBatch = 32;

struct Receiver {
    std::string secret;
    std::optional<WebhookAddress> address;
    std::string addressError;
};

std::string IdempotencyKey(const Delivery& delivery) {
    const std::string pass = std::to_string(delivery.passId);
    // A correction carries a key of its own: a receiver that honours the
    // key would otherwise take it for the pass it already has.
    return delivery.kind == DeliveryKind::Correction ? pass + "-correction-" + std::to_string(delivery.id) : pass;
}

// What the log and the outbox say of a POST that got no answer.
std::string NoAnswer(httplib::Error error) {
    switch (error) {
        case httplib::Error::Connection:
            return "could not connect";
        case httplib::Error::ConnectionTimeout:
            return "could not connect within " + std::to_string(kConnectTimeout.count()) + " s";
        case httplib::Error::Read:
            // A receiver that closes the connection without a word is told apart
            // from one that says nothing for too long by neither library nor us.
            return "no answer (connection closed, or " + std::to_string(kAnswerTimeout.count()) + " s passed)";
        case httplib::Error::Write:
            return "the connection broke while sending";
        case httplib::Error::SSLConnection:
            return "TLS handshake failed";
        case httplib::Error::SSLServerVerification:
            return "the receiver's TLS certificate did not verify";
        default:
            return "no answer (" + httplib::to_string(error) + ")";
    }
}

// "webhook https://yard.example/passes: correction of pass 12", how the log
// names a delivery. A query may carry a receiver's key: it is not shown.
std::string Named(const Delivery& delivery) {
    const std::string pass = "pass " + std::to_string(delivery.passId);
    const size_t query = delivery.url.find('?');
    const std::string url = query == std::string::npos ? delivery.url : delivery.url.substr(0, query) + "?...";
    return "webhook " + url + ": " + (delivery.kind == DeliveryKind::Correction ? "correction of " + pass : pass);
}

}  // namespace

struct WebhookSender::State {
    State(PassStore& passStore, std::ostream& logStream, RetrySchedule retries)
        : store(passStore), log(logStream), schedule(retries) {}

    void Run();
    bool LookAtOutbox();  // true when the outbox had a full batch due
    // POSTs `delivery` and records what became of it. When its receiver
    // gave no answer or a 5xx, returns when it is to be tried again.
    std::optional<std::string> Send(const Delivery& delivery);
    void Postpone(const Delivery& delivery, const std::string& until, const std::string& why);
    void GiveUp(const Delivery& delivery, const std::string& why);
    void Say(const std::string& line);

    PassStore& store;
    std::ostream& log;
    RetrySchedule schedule;
    std::map<std::string, Receiver> receivers;

    std::mutex mutex;  // guards stopping, woken
    std::condition_variable wakeUp;
    bool stopping = false;
    bool woken = false;
    std::thread thread;
    std::atomic<bool> finished{true};

    std::mutex postMutex;  // guards inFlight
    httplib::Client* inFlight = nullptr;

    std::string lastStoreError;  // said once until the store works again

    std::atomic<long long> delivered{0};
    std::atomic<long long> failed{0};
    std::atomic<long long> dropped{0};
};

WebhookSender::WebhookSender(PassStore& store, std::vector<WebhookConfig> webhooks, std::ostream& log,
                             RetrySchedule schedule)
    : state_(std::make_unique<State>(store, log, schedule)) {
    for (const WebhookConfig& webhook : webhooks) {
        Receiver receiver;
        receiver.secret = webhook.secret;
        receiver.address = WebhookAddress::Parse(webhook.url, receiver.addressError);
        state_->receivers[webhook.url] = receiver;
    }
}

WebhookSender::~WebhookSender() { Stop(); }

void WebhookSender::Start() {
    State& s = *state_;
    if (s.thread.joinable()) return;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        s.stopping = false;
        s.woken = true;  // what a previous run left is due at once
    }
    s.finished = false;
    s.thread = std::thread([&s] {
        s.Run();
        s.finished = true;
    });
}

void WebhookSender::Stop() {
    State& s = *state_;
    if (!s.thread.joinable()) return;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        s.stopping = true;
    }
    s.wakeUp.notify_all();
    // A POST that is connecting cannot be cut short yet: keep asking until
    // the thread has left it.
    while (!s.finished) {
        {
            std::lock_guard<std::mutex> lock(s.postMutex);
            if (s.inFlight != nullptr) s.inFlight->stop();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    s.thread.join();
}

void WebhookSender::Wake() {
    State& s = *state_;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        s.woken = true;
    }
    s.wakeUp.notify_all();
}

DeliveryCounts WebhookSender::Counts() const {
    DeliveryCounts counts;
    counts.delivered = state_->delivered;
    counts.failed = state_->failed;
    counts.dropped = state_->dropped;
    return counts;
}

void WebhookSender::State::Run() {
    const std::chrono::milliseconds poll = std::min<std::chrono::milliseconds>(std::chrono::seconds(1),
                                                                              schedule.FirstWait());
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(mutex);
            if (stopping) return;
            woken = false;
        }
        const bool more = LookAtOutbox();
        std::unique_lock<std::mutex> lock(mutex);
        if (stopping) return;
        if (!more) wakeUp.wait_for(lock, poll, [this] { return stopping || woken; });
    }
}

bool WebhookSender::State::LookAtOutbox() {
    std::vector<Delivery> due;
    try {
        due = store.DueDeliveries(IsoUtc(std::chrono::system_clock::now()), kBatch);
        lastStoreError.clear();
    } catch (const std::exception& e) {
        if (e.what() != lastStoreError) Say(std::string("webhooks: cannot read the outbox: ") + e.what());
        lastStoreError = e.what();
        return false;
    }
    // Receivers that failed in this look, with when they are tried again: a
    // receiver that is down or hangs is tried with its oldest delivery only,
    // not once for each, so it holds up the other receivers at most once.
    std::map<std::string, std::pair<std::string, std::string>> resting;  // url -> (until, why)
    for (const Delivery& delivery : due) {
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (stopping) return false;
        }
        try {
            const auto rest = resting.find(delivery.url);
            if (rest != resting.end()) {
                Postpone(delivery, rest->second.first, rest->second.second);
                continue;
            }
            if (const std::optional<std::string> until = Send(delivery)) {
                resting[delivery.url] = {*until, "waits for an earlier delivery to the same webhook"};
            }
        } catch (const std::exception& e) {
            // The outbox still holds it as it was: it is tried again.
            Say(Named(delivery) + " not sent now: " + e.what());
            return false;
        }
    }
    return static_cast<int>(due.size()) == kBatch;
}

void WebhookSender::State::GiveUp(const Delivery& delivery, const std::string& why) {
    store.Drop(delivery.id, delivery.attempts, why);
    ++dropped;
    Say(Named(delivery) + " dropped: " + why);
}

void WebhookSender::State::Postpone(const Delivery& delivery, const std::string& until, const std::string& why) {
    // Not a try: its count of tries and its last error stay as they are.
    store.Retry(delivery.id, delivery.attempts, until, delivery.lastError.empty() ? why : delivery.lastError);
}

std::optional<std::string> WebhookSender::State::Send(const Delivery& delivery) {
    const auto receiver = receivers.find(delivery.url);
    if (receiver == receivers.end()) {
        GiveUp(delivery, "the webhook is no longer in the configuration");
        return std::nullopt;
    }
    if (!receiver->second.address) {
        GiveUp(delivery, receiver->second.addressError);
        return std::nullopt;
    }
    const std::optional<StoredPass> pass = store.Pass(delivery.passId);
    if (!pass) {
        GiveUp(delivery, "the pass is no longer stored");
        return std::nullopt;
    }
    // Taken for this POST: another service's sender sharing the store
    // leaves it alone until the POST has had all its time.
    const std::string claimedUntil = IsoUtc(std::chrono::system_clock::now() + kClaim);
    if (!store.Claim(delivery.id, delivery.nextAttempt, claimedUntil)) return std::nullopt;
    const std::string body = WebhookBody(*pass, delivery.kind);
    httplib::Headers headers{{"Idempotency-Key", IdempotencyKey(delivery)}};
    if (!receiver->second.secret.empty()) {
        headers.emplace(kWebhookSignatureHeader, WebhookSignature(receiver->second.secret, body));
    }

    const WebhookAddress& address = *receiver->second.address;
    httplib::Client client(address.origin);
    client.set_connection_timeout(kConnectTimeout);
    client.set_read_timeout(kAnswerTimeout);
    client.set_write_timeout(kAnswerTimeout);
    {
        std::lock_guard<std::mutex> lock(postMutex);
        inFlight = &client;
    }
    const httplib::Result result = client.Post(address.target, headers, body, "application/json");
    {
        std::lock_guard<std::mutex> lock(postMutex);
        inFlight = nullptr;
    }
    const int status = result ? result->status : 0;
    {
        // A POST cut short by Stop() was not the receiver's doing: the
        // delivery goes back into the outbox as it was.
        std::unique_lock<std::mutex> lock(mutex);
        if (stopping && (status < 200 || status >= 300)) {
            lock.unlock();
            store.Retry(delivery.id, delivery.attempts, delivery.nextAttempt, delivery.lastError);
            return std::nullopt;
        }
    }

    const WebhookOutcome outcome =
        JudgeWebhookAnswer(delivery, status, result ? std::string() : NoAnswer(result.error()), schedule);
    const std::string what = Named(delivery);
    switch (outcome.step) {
        case WebhookOutcome::Step::Delivered:
            store.Delivered(delivery.id);
            ++delivered;
            if (delivery.attempts > 0) Say(what + " delivered at try " + std::to_string(outcome.attempts));
            break;
        case WebhookOutcome::Step::Retry: {
            const auto next = std::chrono::system_clock::now() + outcome.wait;
            store.Retry(delivery.id, outcome.attempts, IsoUtc(next), outcome.error);
            ++failed;
            Say(what + " failed (" + outcome.error + "), try " + std::to_string(outcome.attempts) +
                "; tried again at " + IsoUtc(next));
            // A refusal concerns this delivery; anything else, the receiver.
            if (WebhookRefusals(outcome.error) == 0) return IsoUtc(next);
            break;
        }
        case WebhookOutcome::Step::Drop:
            store.Drop(delivery.id, outcome.attempts, outcome.error);
            ++failed;
            ++dropped;
            Say(what + " dropped after try " + std::to_string(outcome.attempts) + ": " + outcome.error);
            break;
    }
    return std::nullopt;
}

void WebhookSender::State::Say(const std::string& line) {
    log << line + '\n';  // one write: lines of other threads do not split it
    log.flush();
}

}  // namespace kalvero
