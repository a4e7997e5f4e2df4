#include "worker/DamageSkippingReader.h"

#include <algorithm>
#include <cmath>


namespace kalvero {

namespace {

// Times closer than this are the same frame's (containers round to their
// time base).
constexpr double kSameMs = 0.5;
// A gap in the times wider than this many frame intervals may hide lost
// frames: the packet list decides.
constexpr double kGapIntervals = 1.5;
// Frame interval of a video that states no rate.
constexpr double kDefaultIntervalMs = 40.0;

}  // namespace

DamageSkippingReader::DamageSkippingReader(cv::VideoCapture& capture, std::string path, bool stream,
                                           bool timesCountFramesRead)
    : capture_(&capture), path_(std::move(path)), stream_(stream) {
    if (timesCountFramesRead && !stream) ListedTimes();
}

double DamageSkippingReader::IntervalMs() const {
    const double fps = capture_->get(cv::CAP_PROP_FPS);
    return std::isfinite(fps) && fps > 0.0 && fps < 1000.0 ? 1000.0 / fps : kDefaultIntervalMs;
}

const std::vector<double>& DamageSkippingReader::ListedTimes() {
    if (!packetTimesRead_) {
        packetTimesRead_ = true;
        packetTimes_ = ReadPacketTimes(path_);
    }
    return packetTimes_.listedMs;
}

double DamageSkippingReader::TrueTime(double readMs) {
    const std::vector<std::pair<double, double>>& table = packetTimes_.readToTrueMs;
    if (table.empty()) return readMs;
    auto at = std::lower_bound(table.begin(), table.end(), std::make_pair(readMs - kSameMs, -1e300));
    if (at != table.end() && at->first <= readMs + kSameMs) return at->second;
    // Not in the list: shifted as the frame read before it.
    if (at == table.begin()) return readMs;
    --at;
    return readMs + (at->second - at->first);
}

double DamageSkippingReader::FollowingTime(double ms) {
    const std::vector<double>& times = ListedTimes();
    const auto next = std::upper_bound(times.begin(), times.end(), ms + kSameMs);
    if (next != times.end()) return *next;
    return ms + (lastIntervalMs_ > 0.0 ? lastIntervalMs_ : IntervalMs());
}

long long DamageSkippingReader::LostBetween(double fromMs, double toMs, int failures) {
    const std::vector<double>& times = ListedTimes();
    if (!times.empty()) {
        const auto first = fromMs < 0.0 ? times.begin() : std::upper_bound(times.begin(), times.end(), fromMs + kSameMs);
        const auto last = std::lower_bound(times.begin(), times.end(), toMs - kSameMs);
        return last > first ? static_cast<long long>(last - first) : 0;
    }
    if (failures == 0) return 0;  // a rate that varies, not damage
    const double interval = IntervalMs();
    const double span = fromMs < 0.0 ? toMs + interval : toMs - fromMs;
    return std::max(0LL, std::llround(span / interval) - 1);
}

bool DamageSkippingReader::AtListedEnd() const {
    const std::vector<double>& times = packetTimes_.listedMs;
    return packetTimesRead_ && !times.empty() && delivered_ > 0 && lastMs_ >= times.back() - kSameMs;
}

bool DamageSkippingReader::Next(cv::Mat& decoded, double& timestampMs, std::optional<DamagedGap>& gap) {
    gap.reset();
    int failures = 0;
    for (;;) {
        cv::Mat picture = decoded;  // the buffer handed in, written over when the frame fits it
        bool read = false;
        try {
            read = capture_->read(picture) && !picture.empty();
        } catch (const cv::Exception&) {
            read = false;  // a frame the decoder refuses by throwing
        }
        if (!read) {
            ++failures;
            // A stream's failed read is a stream broken off (or silent past
            // its timeout): the caller connects again (StreamReconnect).
            if (stream_) return false;
            if (AtListedEnd() || failures * IntervalMs() >= kGiveUpMs) return false;
            continue;
        }
        const double raw = capture_->get(cv::CAP_PROP_POS_MSEC);
        decoded = picture;
        if (stream_) {
            timestampMs = raw;
            return true;
        }
        double ms = TrueTime(raw);
        if (delivered_ > 0 && !(raw > lastReadMs_ + kSameMs)) ms = FollowingTime(lastMs_);
        const double interval = IntervalMs();
        const bool wide = delivered_ > 0 ? ms - lastMs_ > kGapIntervals * interval : ms > (kGapIntervals - 1.0) * interval;
        if (failures > 0 || wide) {
            const long long lost = LostBetween(delivered_ > 0 ? lastMs_ : -1.0, ms, failures);
            if (lost > 0) gap = DamagedGap{lost, delivered_ > 0 ? lastMs_ : 0.0, ms};
        }
        if (delivered_ > 0 && !gap) lastIntervalMs_ = ms - lastMs_;
        lastMs_ = ms;
        lastReadMs_ = raw;
        ++delivered_;
        timestampMs = ms;
        return true;
    }
}

}  // namespace kalvero
