#pragma once
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "serve/PassStore.h"
#include "serve/StoredPass.h"

namespace kalvero {

// Stores the cameras' passes, in the order they ended, on a thread of its
// own: a camera never waits for the database. Each pass is stored with a
// delivery queued for every webhook, in one transaction (PassStore::AddPass).
// A store that fails (a full disk, a database that is down) loses nothing:
// the pass and those after it are kept in memory and tried again every
// `retryEvery`, in order, while the cameras go on; the outage is said once
// as it starts and once as it ends.
class StoringQueue {
public:
    // `say(source, line)`: a line for the log, about a camera (its name) or
    // about the store ("store"). `stored`: called with each pass once
    // stored (its id set), on the queue's thread.
    StoringQueue(PassStore& store, std::vector<std::string> webhooks,
                 std::function<void(const std::string& source, const std::string& line)> say,
                 std::function<void(const StoredPass&)> stored,
                 std::chrono::milliseconds retryEvery = std::chrono::seconds(3));
    ~StoringQueue();  // Stop
    StoringQueue(const StoringQueue&) = delete;
    StoringQueue& operator=(const StoringQueue&) = delete;

    void Start();
    // Queues a pass; returns at once.
    void Add(StoredPass pass);
    // Ends the thread after one more try at the passes still waiting; those
    // it could not store are said on the log with their records (the last
    // trace of them) and counted in the result.
    std::size_t Stop();
    // Passes waiting to be stored.
    std::size_t Waiting() const;

private:
    void Run();
    // Stores the waiting passes in order until one fails; false then.
    bool StoreWaiting();

    PassStore& store_;
    std::vector<std::string> webhooks_;
    std::function<void(const std::string&, const std::string&)> say_;
    std::function<void(const StoredPass&)> stored_;
    std::chrono::milliseconds retryEvery_;

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<StoredPass> waiting_;
    bool stopping_ = false;
    bool failing_ = false;  // the last try failed: an outage is under way
    std::thread thread_;
};

}  // namespace kalvero
