#pragma once
#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace kalvero {

// What kalvero-read takes from its surroundings besides the arguments.
struct ReaderEnvironment {
    // Standard error is a terminal: show the self-updating progress line.
    bool progressOnTerminal = false;
    // Standard output is a terminal too (the progress line then makes way
    // for every line printed there).
    bool outputOnTerminal = false;
    // Standard output was closed when the program started (its descriptor
    // now leads to /dev/null): output meant for it counts as not written.
    bool outputClosed = false;
    // Asked after every frame; true ends the run after that frame (Ctrl-C).
    std::function<bool()> interruptRequested;
};

// Exit statuses of kalvero-read.
constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;  // an unexpected error inside the run
constexpr int kExitUsage = 2;    // option, value, zone or sign box wrong
constexpr int kExitFile = 3;     // file cannot be opened or first frame unreadable
constexpr int kExitOutput = 4;   // output (standard output or an output file) could not be written

// kalvero-read FILE [options]: plays the file through the window's run loop
// (VideoThread::Run) and reports on `out` (text lines and summary, or one
// JSON object per frame) and `err` (messages, --explain, progress). Returns
// the exit status.
int RunReader(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
              const ReaderEnvironment& environment);

}  // namespace kalvero
