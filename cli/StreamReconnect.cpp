#include "cli/StreamReconnect.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>

#include "command_line/PrintableText.h"

namespace kalvero {

namespace {

std::string Seconds(double seconds) {
    char text[64];
    std::snprintf(text, sizeof text, "%.1f", seconds);
    return text;
}

}  // namespace

StreamEnd KeepReadingStream(const std::string& file, int reconnectMax, bool neverOpened, StreamRun& run,
                            SharedProgress& progress, std::ostream& err) {
    using Clock = std::chrono::steady_clock;
    // Long enough not to hammer a server that is restarting, short enough
    // to lose little of a stream that comes back.
    constexpr double kFirstWaitS = 0.5;
    constexpr double kLongestWaitS = 8.0;
    const auto interrupted = [&] { return run.interruptRequested && run.interruptRequested(); };
    const std::string name = "kalvero-read: the stream '" + PrintableText(file) + "'";
    auto brokeAt = Clock::now();
    double wait = kFirstWaitS;
    bool down = neverOpened;  // not answering since the start
    while (!run.stopped()) {
        const double since = std::chrono::duration<double>(Clock::now() - brokeAt).count();
        if (since >= reconnectMax) {
            progress.Print(err, name + (down ? " did not answer within " : " did not come back within ") +
                                    std::to_string(reconnectMax) + " s\n",
                           true);
            return StreamEnd::GaveUp;
        }
        const double pause = std::min(wait, reconnectMax - since);
        progress.Print(err, name + (down ? " does not answer" : " broke off") + "; reconnecting in " +
                                Seconds(pause) + " s\n",
                       true);
        const auto until = Clock::now() + std::chrono::duration<double>(pause);
        while (Clock::now() < until && !interrupted()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        if (interrupted()) {
            run.markInterrupted();
            return StreamEnd::Stopped;
        }
        wait = std::min(wait * 2.0, kLongestWaitS);
        const auto cameBack = [&] {
            progress.Print(err,
                           name + " reconnected after " +
                               Seconds(std::chrono::duration<double>(Clock::now() - brokeAt).count()) + " s\n",
                           true);
        };
        if (run.readAgain(cameBack)) {
            brokeAt = Clock::now();
            wait = kFirstWaitS;
            down = false;
        }
    }
    return StreamEnd::Stopped;
}

}  // namespace kalvero
