#include "serve/WebhookSender.h"

#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <atomic>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>

#include "MemoryPassStore.h"
#include "WebhookReceiver.h"
#include "serve/WebhookSignature.h"

namespace kalvero {
namespace {

using std::chrono::milliseconds;

// Waits short enough for a test: 20 ms, 40 ms, at most 80 ms.
RetrySchedule Quick() { return RetrySchedule(milliseconds(20), milliseconds(80)); }

StoredPass APass(const std::string& number = "52473063") {
    StoredPass pass;
    pass.camera = "east";
    pass.number = number;
    pass.startTime = "2026-12-08T12:34:56.789Z";
    pass.endTime = "2026-12-08T12:34:58.100Z";
    pass.direction = "right";
    pass.record = R"({"file":"rtsp://camera-east/stream1","number":")" + number +
                  R"(","start_time":"2026-12-08T12:34:56.789Z","frames_read":7,"direction":"right"})";
    pass.cropPng = {0x89, 'P', 'N', 'G', 1, 2, 3, 0xfe};
    return pass;
}

std::vector<unsigned char> Unbase64(const std::string& text) {
    std::vector<unsigned char> bytes(text.size());
    const int length = EVP_DecodeBlock(bytes.data(), reinterpret_cast<const unsigned char*>(text.data()),
                                       static_cast<int>(text.size()));
    if (length < 0) return {};
    size_t padding = 0;
    for (size_t i = text.size(); i > 0 && text[i - 1] == '='; --i) ++padding;
    bytes.resize(static_cast<size_t>(length) - padding);
    return bytes;
}

TEST(WebhookSender, PostsThePassSignedWithItsIdAsKey) {
    WebhookReceiver receiver;
    ASSERT_TRUE(receiver.Listening());
    MemoryPassStore store;
    std::ostringstream log;
    const StoredPass pass = APass();
    const long long id = store.AddPass(pass, {receiver.Url()});
    WebhookSender sender(store, {{receiver.Url(), "hmac-key"}}, log, Quick());
    sender.Start();
    const auto posts = receiver.WaitForPosts(1);
    ASSERT_EQ(posts.size(), 1u);
    ASSERT_TRUE(WaitUntil([&] { return store.OutboxLength() == 0; }));
    sender.Stop();

    const auto& post = posts[0];
    EXPECT_EQ(post.target, "/passes");
    EXPECT_EQ(post.Header("Content-Type"), "application/json");
    EXPECT_EQ(post.Header("Idempotency-Key"), std::to_string(id));
    // The receiver's check: the HMAC of the bytes it got, under the shared secret.
    EXPECT_EQ(post.Header("X-Kalvero-Signature"), WebhookSignature("hmac-key", post.body));
    EXPECT_NE(post.Header("X-Kalvero-Signature"), WebhookSignature("another-key", post.body));
    const nlohmann::json body = nlohmann::json::parse(post.body);
    EXPECT_EQ(body.at("id"), id);
    EXPECT_EQ(body.at("camera"), "east");
    EXPECT_EQ(body.at("number"), "52473063");
    EXPECT_EQ(body.at("file"), "rtsp://camera-east/stream1");
    EXPECT_EQ(body.at("frames_read"), 7);
    EXPECT_EQ(body.at("event"), "pass");
    EXPECT_EQ(Unbase64(body.at("crop_png").get<std::string>()), pass.cropPng);

    EXPECT_EQ(sender.Counts().delivered, 1);
    EXPECT_EQ(sender.Counts().failed, 0);
    EXPECT_EQ(log.str(), "");  // a delivery that went through at once is not worth a line
}

TEST(WebhookSender, EachReceiverGetsItsOwnCopyAndOnlySecretsSign) {
    WebhookReceiver signedOne, plainOne;
    MemoryPassStore store;
    std::ostringstream log;
    const std::vector<std::string> urls{signedOne.Url("/a?gate=east"), plainOne.Url("/b")};
    store.AddPass(APass("52473063"), urls);
    store.AddPass(APass("61001234"), urls);
    WebhookSender sender(store, {{urls[0], "s3cret"}, {urls[1], ""}}, log, Quick());
    sender.Start();
    const auto signedPosts = signedOne.WaitForPosts(2);
    const auto plainPosts = plainOne.WaitForPosts(2);
    ASSERT_TRUE(WaitUntil([&] { return store.OutboxLength() == 0; }));
    sender.Stop();
    ASSERT_EQ(signedPosts.size(), 2u);
    ASSERT_EQ(plainPosts.size(), 2u);
    EXPECT_EQ(signedPosts[0].target, "/a?gate=east");
    for (const auto& post : signedPosts) {
        EXPECT_EQ(post.Header("X-Kalvero-Signature"), WebhookSignature("s3cret", post.body));
    }
    for (const auto& post : plainPosts) EXPECT_FALSE(post.HasHeader("X-Kalvero-Signature"));
    // Oldest first, each pass under its own key.
    EXPECT_EQ(nlohmann::json::parse(plainPosts[0].body).at("number"), "52473063");
    EXPECT_EQ(nlohmann::json::parse(plainPosts[1].body).at("number"), "61001234");
    EXPECT_NE(plainPosts[0].Header("Idempotency-Key"), plainPosts[1].Header("Idempotency-Key"));
    EXPECT_EQ(sender.Counts().delivered, 4);
}

TEST(WebhookSender, ACorrectionIsAnnouncedUnderAKeyOfItsOwn) {
    WebhookReceiver receiver;
    MemoryPassStore store;
    std::ostringstream log;
    const long long id = store.AddPass(APass(), {receiver.Url()});
    WebhookSender sender(store, {{receiver.Url(), ""}}, log, Quick());
    sender.Start();
    ASSERT_EQ(receiver.WaitForPosts(1).size(), 1u);
    ASSERT_TRUE(store.Correct(id, "52473064", "2026-12-08T13:00:00.000Z", {receiver.Url()}));
    sender.Wake();
    const auto posts = receiver.WaitForPosts(2);
    sender.Stop();
    ASSERT_EQ(posts.size(), 2u);
    const nlohmann::json body = nlohmann::json::parse(posts[1].body);
    EXPECT_EQ(body.at("event"), "correction");
    EXPECT_EQ(body.at("number"), "52473063");
    EXPECT_EQ(body.at("corrected_number"), "52473064");
    EXPECT_EQ(body.at("corrected_at"), "2026-12-08T13:00:00.000Z");
    // MemoryPassStore numbers deliveries from 1: the pass's was 1, the correction's 2.
    EXPECT_EQ(posts[0].Header("Idempotency-Key"), std::to_string(id));
    EXPECT_EQ(posts[1].Header("Idempotency-Key"), std::to_string(id) + "-correction-2");
}

TEST(WebhookSender, AReceiverThatIsDownGetsThePassOnceItIsUp) {
    const int port = UnusedLocalPort();
    ASSERT_GT(port, 0);
    const std::string url = "http://127.0.0.1:" + std::to_string(port) + "/passes";
    MemoryPassStore store;
    std::ostringstream log;
    const long long id = store.AddPass(APass(), {url});
    WebhookSender sender(store, {{url, ""}}, log, Quick());
    sender.Start();
    ASSERT_TRUE(WaitUntil([&] { return sender.Counts().failed >= 3; }));
    ASSERT_EQ(store.OutboxLength(), 1);
    EXPECT_GE(store.DueDeliveries("9999", 1).at(0).attempts, 3);

    WebhookReceiver receiver(port);
    ASSERT_TRUE(receiver.Listening());
    const auto posts = receiver.WaitForPosts(1);
    ASSERT_TRUE(WaitUntil([&] { return store.OutboxLength() == 0; }));
    sender.Stop();
    ASSERT_EQ(receiver.Posts().size(), 1u);  // taken once, never again
    EXPECT_EQ(posts[0].Header("Idempotency-Key"), std::to_string(id));
    EXPECT_EQ(sender.Counts().delivered, 1);
    EXPECT_NE(log.str().find("could not connect"), std::string::npos) << log.str();
    EXPECT_NE(log.str().find("delivered at try"), std::string::npos) << log.str();
}

TEST(WebhookSender, FiveHundredsAreTriedAgainUnderTheSameKeyUntilTaken) {
    WebhookReceiver receiver;
    receiver.answers = {500, 503, 502, 500, 200};
    MemoryPassStore store;
    std::ostringstream log;
    store.AddPass(APass(), {receiver.Url()});
    WebhookSender sender(store, {{receiver.Url(), "k"}}, log, Quick());
    sender.Start();
    const auto posts = receiver.WaitForPosts(5);
    ASSERT_TRUE(WaitUntil([&] { return store.OutboxLength() == 0; }));
    sender.Stop();
    ASSERT_EQ(posts.size(), 5u);
    for (const auto& post : posts) {
        EXPECT_EQ(post.Header("Idempotency-Key"), posts[0].Header("Idempotency-Key"));
        EXPECT_EQ(post.body, posts[0].body);
    }
    EXPECT_EQ(sender.Counts().failed, 4);
    EXPECT_EQ(sender.Counts().delivered, 1);
    EXPECT_EQ(sender.Counts().dropped, 0);
    EXPECT_TRUE(store.dropped.empty());
    EXPECT_NE(log.str().find("HTTP 503"), std::string::npos) << log.str();
    EXPECT_NE(log.str().find("delivered at try 5"), std::string::npos) << log.str();
}

TEST(WebhookSender, AFailingReceiverIsTriedWithItsOldestDeliveryOnlyAndTheOthersGetTheirs) {
    WebhookReceiver failing, working;
    failing.answers = {503, 500, 503, 502};
    MemoryPassStore store;
    std::ostringstream log;
    const std::vector<std::string> urls{failing.Url(), working.Url()};
    std::vector<std::string> ids;
    for (const char* number : {"52473063", "61001234", "52470001"}) {
        ids.push_back(std::to_string(store.AddPass(APass(number), urls)));
    }
    WebhookSender sender(store, {{urls[0], ""}, {urls[1], ""}}, log, Quick());
    sender.Start();
    EXPECT_EQ(working.WaitForPosts(3).size(), 3u);
    ASSERT_TRUE(WaitUntil([&] { return store.OutboxLength() == 0; }));
    sender.Stop();
    // Until it answered 2xx, the failing receiver got the oldest pass alone;
    // then the others in their order, once each.
    std::vector<std::string> keys;
    for (const auto& post : failing.Posts()) keys.push_back(post.Header("Idempotency-Key"));
    EXPECT_EQ(keys, (std::vector<std::string>{ids[0], ids[0], ids[0], ids[0], ids[0], ids[1], ids[2]}));
    // Waiting behind the oldest was not a try of their own.
    EXPECT_EQ(sender.Counts().failed, 4);
    EXPECT_EQ(sender.Counts().delivered, 6);
}

TEST(WebhookSender, TheThirdRefusalDropsTheDeliveryAndSaysSo) {
    WebhookReceiver receiver;
    receiver.answers = {400, 422, 404, 200};
    MemoryPassStore store;
    std::ostringstream log;
    store.AddPass(APass(), {receiver.Url()});
    WebhookSender sender(store, {{receiver.Url(), ""}}, log, Quick());
    sender.Start();
    ASSERT_TRUE(WaitUntil([&] { return store.OutboxLength() == 0; }));
    // Nothing more is sent once it is dropped.
    std::this_thread::sleep_for(milliseconds(200));
    sender.Stop();
    EXPECT_EQ(receiver.Posts().size(), 3u);
    ASSERT_EQ(store.dropped.size(), 1u);
    EXPECT_EQ(store.dropped[0].attempts, 3);
    EXPECT_NE(store.dropped[0].lastError.find("HTTP 404"), std::string::npos);
    EXPECT_EQ(sender.Counts().dropped, 1);
    EXPECT_EQ(sender.Counts().failed, 3);
    EXPECT_EQ(sender.Counts().delivered, 0);
    EXPECT_NE(log.str().find("HTTP 400"), std::string::npos) << log.str();
    EXPECT_NE(log.str().find("HTTP 422"), std::string::npos) << log.str();
    EXPECT_NE(log.str().find("dropped"), std::string::npos) << log.str();
}

TEST(WebhookSender, StopsPromptlyWhileAReceiverSitsOnAPostAndKeepsItQueued) {
    WebhookReceiver receiver;
    receiver.holdFrom = 1;
    MemoryPassStore store;
    std::ostringstream log;
    store.AddPass(APass(), {receiver.Url()});
    WebhookSender sender(store, {{receiver.Url(), ""}}, log, Quick());
    sender.Start();
    ASSERT_EQ(receiver.WaitForPosts(1).size(), 1u);
    std::this_thread::sleep_for(milliseconds(100));
    const auto before = std::chrono::steady_clock::now();
    sender.Stop();
    const auto took = std::chrono::steady_clock::now() - before;
#ifndef KALVERO_TESTS_UNDER_SANITIZER
    EXPECT_LT(took, milliseconds(1000));
#endif
    (void)took;
    ASSERT_EQ(store.OutboxLength(), 1);
    // Given up by us, not failed by the receiver: its count of tries is unchanged.
    EXPECT_EQ(store.DueDeliveries("9999", 1).at(0).attempts, 0);
    EXPECT_EQ(sender.Counts().failed, 0);
    receiver.Release();
}

// Takes the answer timeout, 10 s.
TEST(WebhookSender, AReceiverThatHangsIsGivenUpOnAfterTheTimeoutAndHoldsUpOthersOnce) {
    WebhookReceiver hanging, working;
    hanging.holdFrom = 1;
    MemoryPassStore store;
    std::ostringstream log;
    const std::vector<std::string> urls{hanging.Url(), working.Url()};
    store.AddPass(APass("52473063"), urls);
    store.AddPass(APass("61001234"), urls);
    // Waits longer than the test: the hanging receiver is tried once.
    WebhookSender sender(store, {{urls[0], ""}, {urls[1], ""}}, log,
                         RetrySchedule(std::chrono::minutes(5), std::chrono::minutes(5)));
    const auto start = std::chrono::steady_clock::now();
    sender.Start();
    ASSERT_EQ(working.WaitForPosts(2, std::chrono::seconds(20)).size(), 2u);
    const auto took = std::chrono::steady_clock::now() - start;
    // What is left: both of the hanging receiver's, to be tried again later.
    ASSERT_TRUE(WaitUntil([&] { return store.OutboxLength() == 2; }));
    sender.Stop();
#ifndef KALVERO_TESTS_UNDER_SANITIZER
    EXPECT_GT(took, std::chrono::seconds(9));
    EXPECT_LT(took, std::chrono::seconds(13));
#endif
    (void)took;
    EXPECT_EQ(hanging.Posts().size(), 1u);
    EXPECT_EQ(sender.Counts().failed, 1);
    EXPECT_EQ(sender.Counts().delivered, 2);
    EXPECT_NE(log.str().find("10 s passed"), std::string::npos) << log.str();
    hanging.Release();
}

TEST(WebhookSender, AWakeSendsBeforeTheNextLookAtTheOutbox) {
    WebhookReceiver receiver;
    MemoryPassStore store;
    std::ostringstream log;
    // Default waits: the outbox is looked at once a second.
    WebhookSender sender(store, {{receiver.Url(), ""}}, log);
    sender.Start();
    std::this_thread::sleep_for(milliseconds(100));
    store.AddPass(APass(), {receiver.Url()});
    const auto before = std::chrono::steady_clock::now();
    sender.Wake();
    ASSERT_EQ(receiver.WaitForPosts(1).size(), 1u);
#ifndef KALVERO_TESTS_UNDER_SANITIZER
    EXPECT_LT(std::chrono::steady_clock::now() - before, milliseconds(600));
#endif
    (void)before;
    sender.Stop();
}

// A store whose outbox cannot be read while `failing` is set.
class FailingOutbox : public MemoryPassStore {
public:
    std::vector<Delivery> DueDeliveries(const std::string& now, int limit) override {
        if (failing) throw StoreError("database is locked");
        return MemoryPassStore::DueDeliveries(now, limit);
    }
    std::atomic<bool> failing{true};
};

TEST(WebhookSender, AStoreThatFailsIsSaidOnceAndTriedAgain) {
    WebhookReceiver receiver;
    FailingOutbox store;
    std::ostringstream log;
    store.AddPass(APass(), {receiver.Url()});
    WebhookSender sender(store, {{receiver.Url(), ""}}, log, Quick());
    sender.Start();
    std::this_thread::sleep_for(milliseconds(300));  // about fifteen looks at the outbox
    EXPECT_TRUE(receiver.Posts().empty());
    store.failing = false;
    ASSERT_EQ(receiver.WaitForPosts(1).size(), 1u);
    sender.Stop();
    const std::string said = log.str();
    EXPECT_NE(said.find("database is locked"), std::string::npos) << said;
    EXPECT_EQ(said.find("database is locked"), said.rfind("database is locked")) << said;
}

TEST(WebhookSender, TheLogLeavesOutAnAddresssQuery) {
    WebhookReceiver receiver;
    receiver.answers = {503};
    MemoryPassStore store;
    std::ostringstream log;
    const std::string url = receiver.Url("/in?key=receivers-secret");
    store.AddPass(APass(), {url});
    WebhookSender sender(store, {{url, ""}}, log, Quick());
    sender.Start();
    ASSERT_TRUE(WaitUntil([&] { return store.OutboxLength() == 0; }));
    sender.Stop();
    EXPECT_EQ(receiver.Posts().at(0).target, "/in?key=receivers-secret");
    EXPECT_NE(log.str().find(receiver.Url("/in?...") + ": pass 1 failed (HTTP 503)"), std::string::npos) << log.str();
    EXPECT_EQ(log.str().find("receivers-secret"), std::string::npos) << log.str();
}

TEST(WebhookSender, DeliveriesItCannotSendAreDroppedWithTheReason) {
    MemoryPassStore store;
    std::ostringstream log;
    store.AddPass(APass(), {"http://no-longer-configured.example/", "ftp://yard.example/"});
    WebhookSender sender(store, {{"ftp://yard.example/", ""}}, log, Quick());
    sender.Start();
    ASSERT_TRUE(WaitUntil([&] { return store.OutboxLength() == 0; }));
    sender.Stop();
    ASSERT_EQ(store.dropped.size(), 2u);
    EXPECT_EQ(sender.Counts().dropped, 2);
    EXPECT_NE(log.str().find("no longer in the configuration"), std::string::npos) << log.str();
    EXPECT_NE(log.str().find("http:// or https://"), std::string::npos) << log.str();
}

}  // namespace
}  // namespace kalvero

namespace kalvero {
namespace {

// Two services sharing one database each run a sender over the same
// outbox: every pass reaches the receiver once, not once a service.
TEST(WebhookSender, TwoSendersSharingAStorePostEachDeliveryOnce) {
    WebhookReceiver receiver;
    ASSERT_TRUE(receiver.Listening());
    MemoryPassStore store;
    std::ostringstream firstLog, secondLog;
    WebhookSender first(store, {{receiver.Url(), ""}}, firstLog, Quick());
    WebhookSender second(store, {{receiver.Url(), ""}}, secondLog, Quick());
    first.Start();
    second.Start();
    for (int i = 0; i < 12; ++i) {
        store.AddPass(APass(), {receiver.Url()});
        first.Wake();
        second.Wake();
    }
    ASSERT_TRUE(WaitUntil([&] { return store.OutboxLength() == 0; }));
    first.Stop();
    second.Stop();
    std::multiset<std::string> keys;
    for (const auto& post : receiver.Posts()) keys.insert(post.Header("Idempotency-Key"));
    EXPECT_EQ(keys.size(), 12u);
    EXPECT_EQ(std::set<std::string>(keys.begin(), keys.end()).size(), 12u);
    EXPECT_EQ(first.Counts().delivered + second.Counts().delivered, 12);
}

}  // namespace
}  // namespace kalvero
