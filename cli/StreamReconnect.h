#pragma once
#include <functional>
#include <ostream>
#include <string>

#include "cli/SharedProgress.h"

namespace kalvero {

// What reconnecting needs of the run it keeps going.
struct StreamRun {
    std::function<bool()> stopped;          // the run was ended on purpose (Ctrl-C, a failed write)
    std::function<bool()> readAgain;        // reads the stream again from where it ended; true when it opened
    std::function<void()> markInterrupted;  // Ctrl-C came while waiting
    std::function<bool()> interruptRequested;
};

// A stream that broke off is opened again, after waits of 0.5 s, 1 s, 2 s...
// (at most 8 s), until it comes back or `reconnectMax` seconds have gone by
// since it broke off; each run goes on where the last ended. What happens
// is said on `err`.
void KeepReadingStream(const std::string& file, int reconnectMax, StreamRun& run, SharedProgress& progress,
                       std::ostream& err);

}  // namespace kalvero
