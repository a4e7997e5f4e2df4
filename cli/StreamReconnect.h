#pragma once
#include <functional>
#include <ostream>
#include <string>

#include "cli/SharedProgress.h"

namespace kalvero {

// What reconnecting needs of the run it keeps going.
struct StreamRun {
    std::function<bool()> stopped;  // the run was ended on purpose (Ctrl-C, a failed write)
    // Reads the stream again from where it ended; true when it opened.
    // `cameBack` is to be called once, as its first frame arrives.
    std::function<bool(const std::function<void()>& cameBack)> readAgain;
    std::function<void()> markInterrupted;  // Ctrl-C came while waiting
    std::function<bool()> interruptRequested;
};

// How the stream was left.
enum class StreamEnd {
    Stopped,  // on purpose: Ctrl-C, a failed write
    GaveUp,   // it did not come back within reconnectMax seconds
};

// A stream that broke off, or that did not answer at the start
// (`neverOpened`), is opened again after waits of 0.5 s, 1 s, 2 s... (at
// most 8 s), until it comes back or `reconnectMax` seconds have gone by
// since it broke off (or since the start); each run goes on where the last
// ended. What happens is said on `err`: "reconnected after N s" as the
// first frame of the stream comes back.
StreamEnd KeepReadingStream(const std::string& file, int reconnectMax, bool neverOpened, StreamRun& run,
                            SharedProgress& progress, std::ostream& err);

}  // namespace kalvero
