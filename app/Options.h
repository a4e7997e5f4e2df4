#pragma once
#include <cstring>
#include <mutex>
#include <string>

#include "worker/RunSettings.h"

namespace kalvero {

constexpr int kFileNameSize = 500;  // 499 bytes of path text and the terminator

// The window's settings record: the worker's RunSettings with the window's
// own fixed-size file name added. The window stores each value the operator
// applies here (an Apply, the zoom, the Show buttons' zone and digit
// height), then converts the record once into the run's value and hands it
// over whole (VideoThread::ApplyPlan; SetStartPlan at Start), so the worker
// never reads this record field by field while the window writes it.
//
// The file name is set only through StoreFileName, which keeps fileName and
// the run's path equal; the worker reads the path, never fileName.
struct Options : RunSettings {
    char fileName[kFileNameSize] = {};
};

// Stores `path` (local 8-bit encoding) in options.fileName and as the run's
// path. A path of more than kFileNameSize - 1 bytes, or one holding a NUL
// byte, is refused: returns false and leaves both unchanged.
inline bool StoreFileName(Options& options, const std::string& path) {
    if (path.size() >= static_cast<std::size_t>(kFileNameSize) || path.find('\0') != std::string::npos) {
        return false;
    }
    std::lock_guard<std::mutex> lock(options.pathMutex);
    std::memcpy(options.fileName, path.c_str(), path.size() + 1);
    options.path = path;
    return true;
}

// A copy of the current file name.
inline std::string LoadFileName(const Options& options) {
    std::lock_guard<std::mutex> lock(options.pathMutex);
    return std::string(options.fileName, ::strnlen(options.fileName, kFileNameSize));
}

}  // namespace kalvero
