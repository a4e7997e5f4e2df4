// The whole service as a yard runs it: a camera's pass is stored, shown by
// the API, corrected there and announced to a webhook, signed, with the
// pass id as its key; a service killed with kill -9 while the receiver was
// down delivers what it stored once it is started again and the receiver is
// up; the page and the metrics want the token, the health check does not.
// Two live streams and a file read at once with a receiver that is down for
// the first 20 seconds: every pass is stored once and delivered once it is
// up, signed, a delivery tried again under the same key.
#include <signal.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <httplib.h>
#include <nlohmann/json.hpp>

#include "ServiceProcess.h"
#include "support/LocalPort.h"
#include "StoreTestSupport.h"
#include "WebhookReceiver.h"
#include "serve/WebhookSignature.h"

namespace kalvero {
namespace {

bool WaitFor(const std::function<bool()>& done, double seconds) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return true;
}

// The port the service's log says its page listens on; 0 before it says so.
int PagePort(const std::string& log) {
    std::smatch found;
    static const std::regex said("web page and API on http://127\\.0\\.0\\.1:([0-9]+)/");
    return std::regex_search(log, found, said) ? std::stoi(found[1]) : 0;
}

TEST(ServiceWhole, APassIsStoredShownCorrectedAndDeliveredAcrossAKillWhileTheReceiverWasDown) {
    TemporaryFolder folder;
    const std::string dir = folder.path();
    ASSERT_TRUE(MakeSampleVideo(dir + "/archive.avi", "--frames 40"));
    const int hookPort = UnusedLocalPort();
    const std::string secret = "hmac-key";
    std::ofstream(dir + "/kalvero.yaml") << "storage: " << dir << "/passes.db\n"
                                         << "http:\n  listen: 127.0.0.1:0\n  token: yard-token\n"
                                         << "cameras:\n  - name: archive\n    url: archive.avi\n"
                                         << "webhooks:\n  - url: http://127.0.0.1:" << hookPort << "/passes\n"
                                         << "    secret: " << secret << "\n";
    const std::vector<std::string> args{"--config", dir + "/kalvero.yaml"};

    // The receiver is down: the pass is stored, its delivery waits.
    {
        ServiceProcess first(BuiltProgram("kalvero-serve"), args, dir + "/first");
        ASSERT_TRUE(WaitFor([&] { return first.Err().find("pass 52473063 stored (id 1)") != std::string::npos; }, 120))
            << first.Err();
        ASSERT_TRUE(WaitFor([&] { return first.Err().find("webhooks:") != std::string::npos; }, 20)) << first.Err();
        first.Signal(SIGKILL);
        EXPECT_EQ(first.Wait(), -1);
    }

    WebhookReceiver receiver(hookPort);
    ASSERT_TRUE(receiver.Listening());
    ServiceProcess second(BuiltProgram("kalvero-serve"), args, dir + "/second");
    ASSERT_TRUE(WaitFor([&] { return PagePort(second.Err()) > 0; }, 30)) << second.Err();
    httplib::Client page("127.0.0.1", PagePort(second.Err()));
    const httplib::Headers token{{"Authorization", "Bearer yard-token"}};

    // The first pass, left in the outbox by the killed service, and the
    // second start's pass of the same file (read once a start) both arrive,
    // each signed and keyed by its id.
    const auto posts = receiver.WaitForPosts(2, std::chrono::seconds(60));
    ASSERT_GE(posts.size(), 2u) << second.Err();
    std::set<std::string> keys;
    for (const auto& post : posts) {
        keys.insert(post.Header("Idempotency-Key"));
        EXPECT_EQ(post.Header(kWebhookSignatureHeader), WebhookSignature(secret, post.body));
        const nlohmann::json body = nlohmann::json::parse(post.body);
        EXPECT_EQ(body["number"], "52473063");
        EXPECT_EQ(body["camera"], "archive");
        EXPECT_EQ(body["event"], "pass");
        EXPECT_EQ(std::to_string(body["id"].get<long long>()), post.Header("Idempotency-Key"));
        EXPECT_FALSE(body["crop_png"].get<std::string>().empty());
    }
    EXPECT_EQ(keys, (std::set<std::string>{"1", "2"}));

    // The API shows both, newest first, and only with the token.
    EXPECT_EQ(page.Get("/api/passes")->status, 401);
    auto listed = page.Get("/api/passes", token);
    ASSERT_TRUE(listed);
    ASSERT_EQ(listed->status, 200);
    const nlohmann::json passes = nlohmann::json::parse(listed->body);
    ASSERT_EQ(passes.size(), 2u);
    EXPECT_EQ(passes[0]["id"], 2);
    EXPECT_EQ(passes[1]["id"], 1);

    // A correction is kept beside the read number and announced.
    auto corrected = page.Post("/api/passes/1/correction", token, R"({"number": "52473071"})", "application/json");
    ASSERT_TRUE(corrected);
    EXPECT_EQ(corrected->status, 200) << corrected->body;
    const nlohmann::json one = nlohmann::json::parse(page.Get("/api/passes/1", token)->body);
    EXPECT_EQ(one["number"], "52473063");
    EXPECT_EQ(one["corrected_number"], "52473071");
    const auto after = receiver.WaitForPosts(3, std::chrono::seconds(30));
    ASSERT_GE(after.size(), 3u);
    const nlohmann::json correction = nlohmann::json::parse(after.back().body);
    EXPECT_EQ(correction["event"], "correction");
    EXPECT_EQ(correction["corrected_number"], "52473071");

    // Health without the token; metrics with it.
    EXPECT_EQ(page.Get("/healthz")->status, 200);
    EXPECT_EQ(page.Get("/metrics")->status, 401);
    const auto metrics = page.Get("/metrics", token);
    ASSERT_TRUE(metrics);
    EXPECT_NE(metrics->body.find("kalvero_passes_total{camera=\"archive\"} 1"), std::string::npos) << metrics->body;

    second.Signal(SIGTERM);
    EXPECT_EQ(second.Wait(), 0) << second.Err();
}

TEST(ServiceWhole, TwoStreamsAndAFileWithAReceiverDownForTwentySecondsHaveEveryPassStoredAndDelivered) {
    if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed (scripts/bootstrap installs it)";
    TemporaryFolder folder;
    const std::string dir = folder.path();
    ASSERT_TRUE(MakeSampleVideo(dir + "/archive.avi", "--frames 40"));
    // A carriage entering and leaving a small view every four seconds (more
    // slowly in a sanitizer build), on two looped streams.
    const std::string passing = dir + "/passing.avi";
    ASSERT_TRUE(MakeSampleVideo(passing, "--scene enter-leave --frames 100 --size 320x240 --digit-height 20"));
    const std::vector<int> ports = UnusedLocalPorts(3);
    const std::string east = "http://127.0.0.1:" + std::to_string(ports[0]) + "/";
    const std::string west = "http://127.0.0.1:" + std::to_string(ports[1]) + "/";
    auto eastServer = ServeOverHttp(passing, east, true, dir + "/east", kLoopedStreamRate);
    auto westServer = ServeOverHttp(passing, west, true, dir + "/west", kLoopedStreamRate);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));

    const int hookPort = ports[2];
    std::ofstream(dir + "/kalvero.yaml") << "storage: " << dir << "/passes.db\n"
                                         << "http:\n  listen: 127.0.0.1:0\n  token: yard-token\n"
                                         << "cameras:\n  - name: east\n    url: " << east << "\n"
                                         << kLoopedStreamCamera << "  - name: west\n    url: " << west << "\n"
                                         << kLoopedStreamCamera
                                         << "  - name: archive\n    url: archive.avi\n"
                                         << "webhooks:\n  - url: http://127.0.0.1:" << hookPort << "/passes\n"
                                         << "    secret: s3cret\n";
    const auto started = std::chrono::steady_clock::now();
    ServiceProcess service(BuiltProgram("kalvero-serve"), {"--config", dir + "/kalvero.yaml"}, dir + "/serve");
    ASSERT_TRUE(service.Started());
    std::this_thread::sleep_until(started + std::chrono::seconds(20));
    WebhookReceiver receiver(hookPort, nullptr, {503});  // the first POST that comes is tried again
    ASSERT_TRUE(receiver.Listening());
    ASSERT_GT(PagePort(service.Err()), 0) << service.Err();
    httplib::Client page("127.0.0.1", PagePort(service.Err()));
    const httplib::Headers token{{"Authorization", "Bearer yard-token"}};

    // Until every pass stored so far, of all three cameras, has arrived.
    std::set<long long> stored;
    std::set<std::string> cameras;
    std::map<std::string, int> perKey;
    const bool caughtUp = WaitFor(
        [&] {
            auto listed = page.Get("/api/passes?limit=1000", token);
            if (!listed || listed->status != 200) return false;
            stored.clear();
            cameras.clear();
            for (const auto& pass : nlohmann::json::parse(listed->body)) {
                stored.insert(pass["id"].get<long long>());
                cameras.insert(pass["camera"].get<std::string>());
            }
            perKey.clear();
            for (const auto& post : receiver.Posts()) ++perKey[post.Header("Idempotency-Key")];
            if (cameras.size() < 3) return false;
            std::size_t posted = 0;
            for (long long id : stored) {
                if (perKey.count(std::to_string(id)) == 0) return false;
                posted += static_cast<std::size_t>(perKey[std::to_string(id)]);
            }
            // The POST refused with a 503 comes again.
            return posted > stored.size();
        },
        150);
    ASSERT_TRUE(caughtUp) << service.Err();
    EXPECT_EQ(cameras, (std::set<std::string>{"east", "west", "archive"}));

    // Each pass once, but the one refused with a 503 and sent again under
    // the same key; every POST signed and keyed by its pass's id.
    int repeats = 0;
    for (long long id : stored) {
        const int count = perKey[std::to_string(id)];
        EXPECT_TRUE(count == 1 || count == 2) << "pass " << id << " came " << count << " times";
        repeats += count - 1;
    }
    EXPECT_EQ(repeats, 1);
    for (const auto& post : receiver.Posts()) {
        EXPECT_EQ(post.Header(kWebhookSignatureHeader), WebhookSignature("s3cret", post.body));
        const nlohmann::json body = nlohmann::json::parse(post.body);
        EXPECT_EQ(std::to_string(body["id"].get<long long>()), post.Header("Idempotency-Key"));
        EXPECT_EQ(body["number"], "52473063");
    }
    service.Signal(SIGTERM);
    EXPECT_EQ(service.Wait(), 0) << service.Err();
}

}  // namespace
}  // namespace kalvero
