#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>

#include "StoreTestSupport.h"
#include "TemporaryPostgres.h"
#include "WebhookReceiver.h"
#include "serve/PassStore.h"
#include "serve/WebhookSender.h"
#include "serve/WebhookSignature.h"

namespace kalvero {
namespace {

using std::chrono::milliseconds;

RetrySchedule Quick() { return RetrySchedule(milliseconds(20), milliseconds(80)); }

// What the outbox of the database `storage` holds, seen by a store of its own.
std::vector<Delivery> OutboxOf(const std::string& storage) {
    return OpenPassStore(storage)->DueDeliveries("9999-12-31T23:59:59.999Z", 100);
}

// Each test on a new SQLite file and on a new PostgreSQL database.
class WebhookSenderRestart : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override {
        if (GetParam() == "postgresql") {
            TemporaryPostgres& server = TemporaryPostgres::Shared();
            if (!server.Running()) GTEST_SKIP() << server.WhyNot();
            path = server.NewDatabase();
        } else {
            ASSERT_FALSE(folder.path().empty());
            path = folder.path() + "/passes.db";
        }
    }
    TemporaryFolder folder;
    std::string path;  // the storage both senders' stores open
};

// The outbox lives in the database: what one sender left undelivered (its
// receiver down) a sender started later on the same database delivers, with
// the tries counted across both.
TEST_P(WebhookSenderRestart, ADeliveryQueuedBeforeAStopIsDeliveredAfterIt) {
    const int port = UnusedLocalPort();
    const std::string url = "http://127.0.0.1:" + std::to_string(port) + "/passes";
    std::ostringstream log;
    long long id = 0;
    {
        auto store = OpenPassStore(path);
        id = store->AddPass(MakePass("east", "52473063", "2026-12-08T12:34:56.789Z"), {url});
        WebhookSender sender(*store, {{url, "hmac-key"}}, log, Quick());
        sender.Start();
        ASSERT_TRUE(WaitUntil([&] { return sender.Counts().failed >= 2; }));
        sender.Stop();
    }
    const std::vector<Delivery> left = OutboxOf(path);
    ASSERT_EQ(left.size(), 1u);
    const int triesBefore = left[0].attempts;
    EXPECT_GE(triesBefore, 2);
    EXPECT_EQ(left[0].lastError, "could not connect");

    WebhookReceiver receiver(port);
    ASSERT_TRUE(receiver.Listening());
    auto store = OpenPassStore(path);
    WebhookSender sender(*store, {{url, "hmac-key"}}, log, Quick());
    sender.Start();
    const auto posts = receiver.WaitForPosts(1);
    ASSERT_TRUE(WaitUntil([&] { return store->OutboxLength() == 0; }));
    sender.Stop();
    ASSERT_EQ(receiver.Posts().size(), 1u);
    EXPECT_EQ(posts[0].Header("Idempotency-Key"), std::to_string(id));
    EXPECT_EQ(posts[0].Header("X-Kalvero-Signature"), WebhookSignature("hmac-key", posts[0].body));
    EXPECT_EQ(nlohmann::json::parse(posts[0].body).at("number"), "52473063");
    EXPECT_NE(log.str().find("delivered at try " + std::to_string(triesBefore + 1)), std::string::npos) << log.str();
}

TEST_P(WebhookSenderRestart, RefusalsCountAcrossARestart) {
    WebhookReceiver receiver;
    // The third answer goes nowhere: its POST is cut short.
    receiver.answers = {404, 404, 404, 404, 200};
    receiver.holdFrom = 3;  // the first sender is stopped while the third POST waits
    std::ostringstream log;
    {
        auto store = OpenPassStore(path);
        store->AddPass(MakePass("east", "52473063", "2026-12-08T12:34:56.789Z"), {receiver.Url()});
        WebhookSender sender(*store, {{receiver.Url(), ""}}, log, Quick());
        sender.Start();
        ASSERT_EQ(receiver.WaitForPosts(3).size(), 3u);
        sender.Stop();
        EXPECT_EQ(sender.Counts().failed, 2);
    }
    receiver.Release();
    // The third POST was cut short by the stop: the outbox counts two refusals.
    const std::vector<Delivery> left = OutboxOf(path);
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0].attempts, 2);
    auto store = OpenPassStore(path);
    WebhookSender sender(*store, {{receiver.Url(), ""}}, log, Quick());
    sender.Start();
    ASSERT_TRUE(WaitUntil([&] { return store->OutboxLength() == 0; }));
    std::this_thread::sleep_for(milliseconds(200));
    sender.Stop();
    EXPECT_EQ(receiver.Posts().size(), 4u);
    EXPECT_EQ(sender.Counts().dropped, 1);
    EXPECT_EQ(sender.Counts().delivered, 0);
}

INSTANTIATE_TEST_SUITE_P(Stores, WebhookSenderRestart, ::testing::Values("sqlite", "postgresql"),
                         [](const ::testing::TestParamInfo<std::string>& info) { return info.param; });

}  // namespace
}  // namespace kalvero
