#pragma once
#include <chrono>
#include <ostream>
#include <string>

namespace kalvero {

// A single self-updating status line on a terminal: frames done of the
// total, frames per second and the time left. Disabled, it writes nothing.
// Any other output to the same terminal must call Clear() first; the next
// Update() draws the line again.
class ProgressLine {
public:
    using Clock = std::chrono::steady_clock;

    // `totalFrames` <= 0 means unknown: the line then shows no total and no
    // time left.
    ProgressLine(std::ostream& stream, bool enabled, long long totalFrames);

    // Frames done so far; redraws at most ten times a second while the line
    // is shown, at once when it is not (first frame, after Clear()).
    void Update(long long framesDone) { Update(framesDone, Clock::now()); }
    void Update(long long framesDone, Clock::time_point now);

    // Erases the line if it is shown.
    void Clear();

    // The text of the line for the given progress (without the carriage
    // return), e.g. "Frame 40/120  25.3 frames/s  0:03 left".
    static std::string Format(long long framesDone, long long totalFrames, double seconds);

private:
    std::ostream& stream_;
    bool enabled_;
    long long total_;
    Clock::time_point start_;
    Clock::time_point lastDraw_;
    bool shown_ = false;
    std::size_t width_ = 0;
};

}  // namespace kalvero
