#pragma once
#include <httplib.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/LocalPort.h"

namespace kalvero {

// A webhook receiver on a localhost port for the sender's tests: it keeps
// every POST it gets and answers with the statuses queued in `answers`
// (200 once they run out). From the `holdFrom`-th POST on (1 for the
// first) it sits on each until Release() or its end.
class WebhookReceiver {
public:
    struct Post {
        std::string target;
        std::string body;
        httplib::Headers headers;
        std::string Header(const std::string& name) const {
            const auto found = headers.find(name);
            return found == headers.end() ? std::string() : found->second;
        }
        bool HasHeader(const std::string& name) const { return headers.count(name) > 0; }
    };

    // Listens on `port`, or on a free one when it is 0; over HTTPS when
    // `server` is an httplib::SSLServer.
    // `firstAnswers`: the answers queued before it listens (for a receiver
    // that comes up while the sender is already running).
    explicit WebhookReceiver(int port = 0, std::unique_ptr<httplib::Server> server = nullptr,
                             std::deque<int> firstAnswers = {})
        : answers(std::move(firstAnswers)),
          server_(server ? std::move(server) : std::make_unique<httplib::Server>()),
          scheme_(dynamic_cast<httplib::SSLServer*>(server_.get()) ? "https" : "http") {
        server_->Post(".*", [this](const httplib::Request& request, httplib::Response& response) {
            std::unique_lock<std::mutex> lock(mutex_);
            posts_.push_back({request.target, request.body, request.headers});
            changed_.notify_all();
            int status = 200;
            if (!answers.empty()) {
                status = answers.front();
                answers.pop_front();
            }
            if (posts_.size() >= holdFrom) changed_.wait(lock, [this] { return released_; });
            response.status = status;
            response.set_content("{}", "application/json");
        });
        port_ = port == 0 ? server_->bind_to_any_port("127.0.0.1")
                          : (server_->bind_to_port("127.0.0.1", port) ? port : -1);
        if (port_ > 0) thread_ = std::thread([this] { server_->listen_after_bind(); });
    }
    ~WebhookReceiver() {
        Release();
        server_->stop();
        if (thread_.joinable()) thread_.join();
    }

    bool Listening() const { return port_ > 0; }
    int Port() const { return port_; }
    std::string Url(const std::string& path = "/passes") const {
        return scheme_ + "://127.0.0.1:" + std::to_string(port_) + path;
    }

    // Waits until `count` POSTs came, or `limit` passed; the POSTs so far.
    std::vector<Post> WaitForPosts(size_t count, std::chrono::milliseconds limit = std::chrono::seconds(10)) {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait_for(lock, limit, [&] { return posts_.size() >= count; });
        return posts_;
    }
    std::vector<Post> Posts() {
        std::lock_guard<std::mutex> lock(mutex_);
        return posts_;
    }
    void Release() {
        std::lock_guard<std::mutex> lock(mutex_);
        released_ = true;
        changed_.notify_all();
    }

    // Set before the first POST.
    std::deque<int> answers;
    size_t holdFrom = static_cast<size_t>(-1);

private:
    std::unique_ptr<httplib::Server> server_;
    std::string scheme_;
    std::thread thread_;
    int port_ = -1;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Post> posts_;
    bool released_ = false;
};

// Waits until `done()` holds or `limit` passed; whether it holds.
inline bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

}  // namespace kalvero
