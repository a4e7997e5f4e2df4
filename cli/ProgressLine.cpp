#include "cli/ProgressLine.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace kalvero {

ProgressLine::ProgressLine(std::ostream& stream, bool enabled, long long totalFrames)
    : stream_(stream), enabled_(enabled), total_(totalFrames), start_(Clock::now()) {}

std::string ProgressLine::Format(long long framesDone, long long totalFrames, double seconds) {
    char buffer[128];
    const double fps = seconds > 0.0 ? framesDone / seconds : 0.0;
    if (totalFrames > 0) {
        std::string left = "--:--";
        if (fps > 0.0) {
            const long long remaining =
                std::llround(std::max(0LL, totalFrames - framesDone) / fps);
            char t[32];
            std::snprintf(t, sizeof t, "%lld:%02lld", remaining / 60, remaining % 60);
            left = t;
        }
        std::snprintf(buffer, sizeof buffer, "Frame %lld/%lld  %.1f frames/s  %s left", framesDone,
                      totalFrames, fps, left.c_str());
    } else {
        std::snprintf(buffer, sizeof buffer, "Frame %lld  %.1f frames/s", framesDone, fps);
    }
    return buffer;
}

void ProgressLine::Update(long long framesDone, Clock::time_point now) {
    if (!enabled_) {
        return;
    }
    if (shown_ && now - lastDraw_ < std::chrono::milliseconds(100)) {
        return;
    }
    const double seconds = std::chrono::duration<double>(now - start_).count();
    const std::string text = Format(framesDone, total_, seconds);
    stream_ << '\r' << text;
    if (text.size() < width_) {
        stream_ << std::string(width_ - text.size(), ' ');
    }
    stream_.flush();
    width_ = std::max(width_, text.size());
    lastDraw_ = now;
    shown_ = true;
}

void ProgressLine::Clear() {
    if (!enabled_ || !shown_) {
        return;
    }
    stream_ << '\r' << std::string(width_, ' ') << '\r';
    stream_.flush();
    shown_ = false;
}

}  // namespace kalvero
