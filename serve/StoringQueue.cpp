#include "serve/StoringQueue.h"

#include <cstdio>

namespace kalvero {

namespace {

const char* const kStore = "store";

// "3", "0.5": seconds as the log says them.
std::string Seconds(std::chrono::milliseconds wait) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", wait.count() / 1000.0);
    return text;
}

}  // namespace

StoringQueue::StoringQueue(PassStore& store, std::vector<std::string> webhooks,
                           std::function<void(const std::string&, const std::string&)> say,
                           std::function<void(const StoredPass&)> stored, std::chrono::milliseconds retryEvery)
    : store_(store), webhooks_(std::move(webhooks)), say_(std::move(say)), stored_(std::move(stored)),
      retryEvery_(retryEvery) {}

StoringQueue::~StoringQueue() { Stop(); }

void StoringQueue::Start() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!thread_.joinable() && !stopping_) {
        thread_ = std::thread([this] { Run(); });
    }
}

void StoringQueue::Add(StoredPass pass) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        waiting_.push_back(std::move(pass));
    }
    wake_.notify_one();
}

std::size_t StoringQueue::Waiting() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return waiting_.size();
}

bool StoringQueue::StoreWaiting() {
    for (;;) {
        StoredPass pass;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (waiting_.empty()) {
                return true;
            }
            pass = waiting_.front();
        }
        try {
            pass.id = store_.AddPass(pass, webhooks_);
        } catch (const StoreError& e) {
            std::lock_guard<std::mutex> lock(mutex_);
            if (!failing_) {
                failing_ = true;
                say_(kStore, std::string("cannot store passes: ") + e.what() + "; " +
                                 std::to_string(waiting_.size()) +
                                 " kept in memory and tried again every " +
                                 Seconds(retryEvery_) + " s");
            }
            return false;
        }
        std::size_t after = 0;
        bool recovered = false;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            waiting_.pop_front();
            after = waiting_.size();
            recovered = failing_;
            failing_ = false;
        }
        if (recovered) {
            say_(kStore, "storing again; " + std::to_string(after) + " more kept in memory to store");
        }
        say_(pass.camera, "pass " + pass.number + " stored (id " + std::to_string(pass.id) + ")");
        if (stored_) {
            stored_(pass);
        }
    }
}

void StoringQueue::Run() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stopping_) {
        if (waiting_.empty()) {
            wake_.wait(lock, [this] { return stopping_ || !waiting_.empty(); });
            continue;
        }
        lock.unlock();
        const bool all = StoreWaiting();
        lock.lock();
        if (!all) {
            // The store failed: wait before the next try, new passes
            // joining the line meanwhile.
            wake_.wait_for(lock, retryEvery_, [this] { return stopping_; });
        }
    }
}

std::size_t StoringQueue::Stop() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) {
        thread_.join();
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (waiting_.empty()) {
            return 0;
        }
    }
    // One more try: whatever came in as the cameras stopped.
    StoreWaiting();
    std::lock_guard<std::mutex> lock(mutex_);
    for (const StoredPass& pass : waiting_) {
        say_(kStore, "pass " + pass.number + " of " + pass.camera + " could not be stored: " + pass.record);
    }
    const std::size_t lost = waiting_.size();
    waiting_.clear();
    return lost;
}

}  // namespace kalvero
