#pragma once
#include <atomic>
#include <cstdint>

namespace kalvero {

constexpr int kFileNameSize = 500;  // 499 bytes of path text and the terminator

// Settings shared by the window (writer) and the worker (reader). The window
// stores new values, then raises VideoThread::optionsChanged with release
// order; the worker reads them after it has seen the flag (acquire). The
// numeric fields are atomics because the Show buttons and the zoom are read
// by the worker on every frame without that flag.
struct Options {
    char fileName[kFileNameSize] = {};
    std::atomic<std::int32_t> numberH{29};
    std::atomic<std::int32_t> zoneX{0};
    std::atomic<std::int32_t> zoneY{0};
    std::atomic<std::int32_t> zoneW{0};
    std::atomic<std::int32_t> zoneH{0};
    std::atomic<std::int32_t> deepBuf{30};
    std::atomic<std::int32_t> colNum{5};
    std::atomic<float> zoom{1.0f};
};

}  // namespace kalvero
