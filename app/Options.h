#pragma once
#include <atomic>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <string>

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
    // Engine that reads the frames (a RecognitionEngine value), latched with
    // the other settings when optionsChanged is seen.
    std::atomic<std::int32_t> engine{0};
    // Confirm only numbers whose check digit holds: always with the learned
    // engine unless turned off (rolling stock numbered otherwise), with the
    // glyph engine only when asked for. Latched like the engine.
    std::atomic<bool> learnedCheckDigitVote{true};
    std::atomic<bool> glyphCheckDigitVote{false};

    // Guards fileName: the window may replace it (opening a file during a
    // run) while a run that is starting copies it. Use the two functions
    // below whenever a run may be active.
    mutable std::mutex fileNameMutex;
};

// Stores `path` (local 8-bit encoding) in options.fileName. A path of more
// than kFileNameSize - 1 bytes, or one holding a NUL byte, is refused:
// returns false and leaves the field unchanged.
inline bool StoreFileName(Options& options, const std::string& path) {
    if (path.size() >= static_cast<std::size_t>(kFileNameSize) ||
        path.find('\0') != std::string::npos) {
        return false;
    }
    std::lock_guard<std::mutex> lock(options.fileNameMutex);
    std::memcpy(options.fileName, path.c_str(), path.size() + 1);
    return true;
}

// A copy of the current file name.
inline std::string LoadFileName(const Options& options) {
    std::lock_guard<std::mutex> lock(options.fileNameMutex);
    return std::string(options.fileName, ::strnlen(options.fileName, kFileNameSize));
}

}  // namespace kalvero
