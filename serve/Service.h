#pragma once
#include <functional>
#include <memory>
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

#include "serve/CameraBoard.h"
#include "serve/CameraRunner.h"
#include "serve/PassStore.h"
#include "serve/ServiceConfig.h"
#include "serve/StoringQueue.h"
#include "serve/WebServer.h"
#include "serve/WebhookSender.h"

namespace kalvero {

// Exit statuses of kalvero-serve.
constexpr int kServeOk = 0;
constexpr int kServeFailure = 1;  // the store cannot be opened, the address cannot be listened on
constexpr int kServeUsage = 2;    // wrong option, or a configuration with a mistake

// The yard service: every camera of the configuration read at once, each on
// its own thread, every pass stored as it ends (StoringQueue), announced to
// the webhooks and shown by the web server. Its log lines go to `log`, one
// whole line at a time from whichever thread, each led by the time and the
// camera (or part) it is about:
// "2026-12-08T12:00:00.000Z east: pass 52473063 stored (id 17)".
class Service {
public:
    Service(ServiceConfig config, std::ostream& log);
    ~Service();  // Stop
    Service(const Service&) = delete;
    Service& operator=(const Service&) = delete;

    // Opens the store and starts everything. False with `error` set when the
    // store cannot be opened (or the web server cannot listen): nothing is
    // then left running.
    bool Start(std::string& error);
    // Stops the cameras (a pass the stop ends is stored), stores what is
    // still waiting (one more try when the store is failing) and stops the
    // rest. Returns once everything has ended.
    void Stop();

    // A log line about `source` (a camera's name, "store", "service").
    void Say(const std::string& source, const std::string& line);
    // A stream whose whole lines go to the log about `source`, for the parts
    // that log to a stream (the webhook sender, the web server). One
    // stream for one thread.
    std::unique_ptr<std::ostream> LogFor(const std::string& source);

    const CameraBoard& Board() const { return board_; }

private:
    ServiceConfig config_;
    std::ostream& log_;
    std::mutex logMutex_;
    CameraBoard board_;
    std::unique_ptr<PassStore> store_;
    // Declared after the store, so that they stop before it closes.
    std::unique_ptr<std::ostream> senderLog_;
    std::unique_ptr<WebhookSender> sender_;
    std::unique_ptr<std::ostream> serverLog_;
    std::unique_ptr<WebServer> server_;
    std::unique_ptr<StoringQueue> storing_;
    std::vector<std::unique_ptr<CameraRunner>> cameras_;
    bool running_ = false;
};

// kalvero-serve --config FILE: starts the service and runs it until
// `stopRequested` says so (SIGTERM, SIGINT, SIGHUP), then stops it. `out`
// takes --help and --version, `err` the log. Returns the exit status.
int RunService(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
               const std::function<bool()>& stopRequested);

// The --help text.
std::string ServiceUsage();

}  // namespace kalvero
