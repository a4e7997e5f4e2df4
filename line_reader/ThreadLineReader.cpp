#include "line_reader/ThreadLineReader.h"

#include <atomic>
#include <cstdlib>
#include <memory>

namespace kalvero {

namespace {

std::atomic<std::size_t> loads{0};

// The model the default Create would load: the variable's file, or "" for
// the embedded model.
std::string DefaultModelName() {
    const char* path = std::getenv(kLineModelVariable);
    return path != nullptr ? std::string(path) : std::string();
}

struct HeldReader {
    std::unique_ptr<LineReader> reader;
    std::string modelName;
};

}  // namespace

LineReader* ThreadLineReader(std::string& error) {
    thread_local HeldReader held;
    const std::string wanted = DefaultModelName();
    if (held.reader && held.modelName == wanted) return held.reader.get();
    held.reader.reset();
    loads.fetch_add(1, std::memory_order_relaxed);
    held.reader = LineReader::Create(error);
    held.modelName = wanted;
    return held.reader.get();
}

std::size_t ThreadLineReaderLoads() { return loads.load(std::memory_order_relaxed); }

}  // namespace kalvero
