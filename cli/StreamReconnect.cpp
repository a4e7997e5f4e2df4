#include "cli/StreamReconnect.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>

#include "command_line/PrintableText.h"

namespace kalvero {

void KeepReadingStream(const std::string& file, int reconnectMax, StreamRun& run, SharedProgress& progress,
                       std::ostream& err) {
    using Clock = std::chrono::steady_clock;
    // Long enough not to hammer a server that is restarting, short enough
    // to lose little of a stream that comes back.
    constexpr double kFirstWaitS = 0.5;
    constexpr double kLongestWaitS = 8.0;
    const auto interrupted = [&] { return run.interruptRequested && run.interruptRequested(); };
    const std::string name = "kalvero-read: the stream '" + PrintableText(file) + "'";
    auto brokeAt = Clock::now();
    double wait = kFirstWaitS;
    while (!run.stopped()) {
        const double since = std::chrono::duration<double>(Clock::now() - brokeAt).count();
        if (since >= reconnectMax) {
            progress.Print(err, name + " did not come back within " + std::to_string(reconnectMax) + " s\n", true);
            return;
        }
        const double pause = std::min(wait, reconnectMax - since);
        char text[64];
        std::snprintf(text, sizeof text, "%.1f", pause);
        progress.Print(err, name + " broke off; reconnecting in " + text + " s\n", true);
        const auto until = Clock::now() + std::chrono::duration<double>(pause);
        while (Clock::now() < until && !interrupted()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        if (interrupted()) {
            run.markInterrupted();
            return;
        }
        wait = std::min(wait * 2.0, kLongestWaitS);
        if (run.readAgain()) {
            progress.Print(err, name + " is back\n", true);
            brokeAt = Clock::now();
            wait = kFirstWaitS;
        }
    }
}

}  // namespace kalvero
