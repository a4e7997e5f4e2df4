#include "line_reader/ThreadLineReader.h"

#include <atomic>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

namespace kalvero {

namespace {

std::atomic<std::size_t> loads{0};

// The model the default Create would load: the variable's file, or "" for
// the embedded model.
std::string DefaultModelName() {
    const char* path = std::getenv(kLineModelVariable);
    return path != nullptr ? std::string(path) : std::string();
}

// Networks of threads that have ended, each with the name of its model,
// for the next thread that asks: a window that starts a thread per run
// loads its network once, not once per run. Never destroyed, so that a
// thread ending while the process exits still finds it.
class Shelf {
public:
    void Put(std::unique_ptr<LineReader> reader, std::string modelName) {
        std::lock_guard<std::mutex> lock(mutex_);
        readers_.emplace_back(std::move(reader), std::move(modelName));
    }
    std::unique_ptr<LineReader> Take(const std::string& modelName) {
        std::lock_guard<std::mutex> lock(mutex_);
        for (auto it = readers_.begin(); it != readers_.end(); ++it) {
            if (it->second != modelName) continue;
            std::unique_ptr<LineReader> reader = std::move(it->first);
            readers_.erase(it);
            return reader;
        }
        return nullptr;
    }

private:
    std::mutex mutex_;
    std::vector<std::pair<std::unique_ptr<LineReader>, std::string>> readers_;
};

Shelf& TheShelf() {
    static Shelf* shelf = new Shelf;
    return *shelf;
}

// A thread's network; goes back on the shelf when the thread ends.
struct HeldReader {
    std::unique_ptr<LineReader> reader;
    std::string modelName;
    ~HeldReader() {
        if (reader) TheShelf().Put(std::move(reader), std::move(modelName));
    }
};

}  // namespace

LineReader* ThreadLineReader(std::string& error) {
    thread_local HeldReader held;
    const std::string wanted = DefaultModelName();
    if (held.reader && held.modelName == wanted) return held.reader.get();
    // Another model is wanted now: the one held waits on the shelf.
    if (held.reader) TheShelf().Put(std::move(held.reader), held.modelName);
    held.reader = TheShelf().Take(wanted);
    held.modelName = wanted;
    if (held.reader) return held.reader.get();
    loads.fetch_add(1, std::memory_order_relaxed);
    held.reader = LineReader::Create(error);
    return held.reader.get();
}

std::size_t ThreadLineReaderLoads() { return loads.load(std::memory_order_relaxed); }

}  // namespace kalvero
