#include "line_reader/FramePairReader.h"

#include <algorithm>
#include <chrono>
#include <cmath>

namespace kalvero {

namespace {

// How far a strip reaches beyond its reading's box: a whole number's width
// either way (a carriage at speed moves a fifth of the view a frame, a
// number is about as wide), and three quarters of its height up and down
// (shake, and a tilted line's other end).
constexpr double kStripWidths = 1.0;
constexpr double kStripHeights = 0.75;
// Heights a single search finds around the one it is given (FindDigitBlobs'
// band): strips of heights further apart are read apart.
constexpr double kMergeHeightRatio = 1.5;
// The least digit height worth looking for (ReadLineReadings reads none
// below it).
constexpr int kMinDigitHeight = 4;

int DigitHeightOf(const LineReading& reading) {
    const double rise = reading.box.width * std::abs(std::tan(reading.angleDegrees * CV_PI / 180.0));
    const double height = std::max(0.5 * reading.box.height, reading.box.height - rise);
    return std::max(kMinDigitHeight, static_cast<int>(std::lround(height)));
}

bool HeightsClose(int a, int b) {
    return std::max(a, b) <= kMergeHeightRatio * std::min(a, b);
}

}  // namespace

std::vector<TrackedStrip> TrackedStrips(const std::vector<LineReading>& around, cv::Size zone) {
    std::vector<TrackedStrip> strips;
    if (zone.width <= 0 || zone.height <= 0) return strips;
    const cv::Rect whole(cv::Point(), zone);
    for (const LineReading& reading : around) {
        const int dx = static_cast<int>(std::lround(kStripWidths * reading.box.width));
        const int dy = static_cast<int>(std::lround(kStripHeights * reading.box.height));
        const cv::Rect box =
            cv::Rect(reading.box.x - dx, reading.box.y - dy, reading.box.width + 2 * dx, reading.box.height + 2 * dy) &
            whole;
        if (box.empty()) continue;
        strips.push_back(TrackedStrip{box, DigitHeightOf(reading)});
    }
    // Merge until no two overlapping strips of close heights are left.
    bool merged = true;
    while (merged) {
        merged = false;
        for (std::size_t i = 0; i < strips.size() && !merged; ++i) {
            for (std::size_t j = i + 1; j < strips.size() && !merged; ++j) {
                if ((strips[i].box & strips[j].box).empty() ||
                    !HeightsClose(strips[i].digitHeight, strips[j].digitHeight)) {
                    continue;
                }
                strips[i].box |= strips[j].box;
                strips[i].digitHeight = (strips[i].digitHeight + strips[j].digitHeight + 1) / 2;
                strips.erase(strips.begin() + static_cast<std::ptrdiff_t>(j));
                merged = true;
            }
        }
    }
    return strips;
}

std::vector<LineReading> FramePairReader::ReadStrips(const cv::Mat& zone, const std::vector<LineReading>& around) {
    std::vector<LineReading> readings;
    for (const TrackedStrip& strip : TrackedStrips(around, zone.size())) {
        LineReaderSettings stripSettings = settings_;
        stripSettings.digitHeight = strip.digitHeight;
        for (LineReading& reading : ReadLineReadings(zone(strip.box), stripSettings, reader_)) {
            reading.box += strip.box.tl();
            readings.push_back(std::move(reading));
        }
    }
    // Strips of different heights may overlap: one reading of a place.
    std::vector<LineReading> kept;
    for (LineReading& reading : readings) {
        auto same = std::find_if(kept.begin(), kept.end(), [&](const LineReading& other) {
            const double overlap = (other.box & reading.box).area();
            return overlap > 0.5 * std::min(other.box.area(), reading.box.area());
        });
        if (same == kept.end()) {
            kept.push_back(std::move(reading));
        } else if (reading.score > same->score) {
            *same = std::move(reading);
        }
    }
    std::stable_sort(kept.begin(), kept.end(),
                     [](const LineReading& a, const LineReading& b) { return a.score > b.score; });
    return kept;
}

std::vector<LineReading> FramePairReader::Read(const cv::Mat& zone, long long index, const cv::Mat& next,
                                              double& aheadMs) {
    aheadMs = 0.0;
    // This frame was searched whole while the one before it was read.
    if (ahead_.index >= 0 && ahead_.index == index && ahead_.size == zone.size()) {
        previous_ = std::move(ahead_);
        ahead_ = Searched{};
        return previous_.readings;
    }
    ahead_ = Searched{};
    if (next.empty() || next.size() != zone.size()) {
        previous_ = Searched{index, zone.size(), ReadLineReadings(zone, settings_, reader_)};
        return previous_.readings;
    }
    const auto start = std::chrono::steady_clock::now();
    ahead_ = Searched{index + 1, next.size(), ReadLineReadings(next, settings_, reader_)};
    aheadMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();

    std::vector<LineReading> around = ahead_.readings;
    if (previous_.index == index - 1 && previous_.size == zone.size()) {
        around.insert(around.end(), previous_.readings.begin(), previous_.readings.end());
    }
    std::vector<LineReading> readings = ReadStrips(zone, around);
    // Only whole-frame searches are carried to the next pair.
    previous_ = Searched{};
    return readings;
}

void FramePairReader::Forget() {
    previous_ = Searched{};
    ahead_ = Searched{};
}

}  // namespace kalvero
