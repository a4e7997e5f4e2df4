#include "line_reader/FrameGroupReader.h"

#include <algorithm>
#include <chrono>
#include <cmath>

namespace kalvero {

namespace {

// How far a strip reaches beyond its reading's box, per frame between:
// a whole number's width either way, and at least a fifth of the zone's
// width (a carriage at 120 km/h crosses a 4 m view in five frames at 25
// fps: a number a fifth of the view wide moves its own width a frame, a
// small number in a wide view several of its widths); and three quarters
// of its height up and down (shake, and a tilted line's other end).
constexpr double kStripWidths = 1.0;
constexpr double kStripViewShare = 0.2;
constexpr double kStripHeights = 0.75;
// Heights a single search finds around the one it is given (FindDigitBlobs'
// band): strips of heights further apart are read apart.
constexpr double kMergeHeightRatio = 1.5;
// Lines read in a strip: the number and its other-polarity twin, and a
// third for a row of text beside it.
constexpr int kStripLines = 3;
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

std::vector<TrackedStrip> TrackedStrips(const std::vector<LineReading>& around, cv::Size zone, int framesApart) {
    std::vector<TrackedStrip> strips;
    if (zone.width <= 0 || zone.height <= 0) return strips;
    const cv::Rect whole(cv::Point(), zone);
    const int frames = std::max(1, framesApart);
    for (const LineReading& reading : around) {
        const double perFrame = std::max(kStripWidths * reading.box.width, kStripViewShare * zone.width);
        const int dx = static_cast<int>(std::lround(perFrame * frames));
        const int dy = static_cast<int>(std::lround(kStripHeights * reading.box.height));
        const cv::Rect box =
            cv::Rect(reading.box.x - dx, reading.box.y - dy, reading.box.width + 2 * dx, reading.box.height + 2 * dy) &
            whole;
        if (box.empty()) continue;
        strips.push_back(TrackedStrip{box, DigitHeightOf(reading)});
    }
    return strips;
}

std::vector<TrackedStrip> MergeStrips(std::vector<TrackedStrip> strips) {
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

FrameGroupReader::Searched FrameGroupReader::SearchWhole(const cv::Mat& zone, long long index,
                                                         const Searched* previous) {
    const auto start = std::chrono::steady_clock::now();
    Searched searched;
    searched.index = index;
    searched.size = zone.size();
    searched.readings = ReadLineReadings(zone, settings_, reader_, &searched.rows);
    // A number the search before found and this one missed (faded paint
    // found only by the faint search, a frame blurred or glared) is looked
    // for where it has moved to, at its own height.
    const bool previousFits = previous != nullptr && previous->index >= 0 && previous->index < index &&
                              previous->size == zone.size() && index - previous->index <= 2 * groupSize_;
    if (searched.readings.empty() && previousFits && !previous->readings.empty()) {
        searched.readings = ReadStrips(
            zone, TrackedStrips(previous->readings, zone.size(), static_cast<int>(index - previous->index)));
    }
    // Faded paint that stands out from its ground by fewer levels than the
    // usual search needs: the faint search over every height costs about
    // a whole search again, so it is made on one in kFaintEvery of the
    // whole searches that read nothing. Once it finds a number, the search
    // after carries it on (above). Around a given height the whole search
    // has made the faint search already.
    if (searched.readings.empty() && settings_.digitHeight == 0 && ++searchesSinceFaint_ >= kFaintEvery) {
        searchesSinceFaint_ = 0;
        searched.readings = ReadFaintLineReadings(zone, settings_, reader_);
    }
    searched.ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    return searched;
}

std::vector<LineReading> FrameGroupReader::ReadStrips(const cv::Mat& zone, long long index, const Searched* before,
                                                      const Searched& after) {
    const auto near = [](const Searched& searched) {
        std::vector<LineReading> around = searched.readings;
        around.insert(around.end(), searched.rows.begin(), searched.rows.end());
        return around;
    };
    std::vector<TrackedStrip> strips =
        TrackedStrips(near(after), zone.size(), static_cast<int>(after.index - index));
    if (before != nullptr) {
        for (TrackedStrip& strip : TrackedStrips(near(*before), zone.size(), static_cast<int>(index - before->index))) {
            strips.push_back(strip);
        }
    }
    return ReadStrips(zone, std::move(strips));
}

std::vector<LineReading> FrameGroupReader::ReadStrips(const cv::Mat& zone, std::vector<TrackedStrip> strips) {
    std::vector<LineReading> readings;
    for (const TrackedStrip& strip : MergeStrips(std::move(strips))) {
        LineReaderSettings stripSettings = settings_;
        stripSettings.digitHeight = strip.digitHeight;
        stripSettings.maxLines = std::min(settings_.maxLines, kStripLines);
        for (LineReading& reading : ReadLineReadings(zone(strip.box), stripSettings, reader_)) {
            reading.box += strip.box.tl();
            readings.push_back(std::move(reading));
        }
    }
    // Strips of different heights may overlap: one reading of a place.
    KeepBestOfSame(readings, [](const LineReading& other, const LineReading& reading) {
        const double overlap = (other.box & reading.box).area();
        return overlap > 0.5 * std::min(other.box.area(), reading.box.area());
    });
    std::stable_sort(readings.begin(), readings.end(),
                     [](const LineReading& a, const LineReading& b) { return a.score > b.score; });
    return readings;
}

std::vector<LineReading> FrameGroupReader::Read(const cv::Mat& zone, long long index,
                                                const std::vector<cv::Mat>& ahead, double& frameMs) {
    const auto start = std::chrono::steady_clock::now();
    const auto since = [&] {
        return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    };
    const bool aheadFits = ahead_.index >= 0 && ahead_.size == zone.size();
    // This frame was searched whole while an earlier one was read.
    if (aheadFits && ahead_.index == index) {
        last_ = std::move(ahead_);
        ahead_ = Searched{};
        frameMs = last_.ms + since();
        return last_.readings;
    }
    // The search before this frame, when it is the last one made before it.
    const bool lastFits = last_.index >= 0 && last_.index < index && last_.size == zone.size();
    // A frame before one searched whole, after the first of its group.
    if (aheadFits && ahead_.index > index) {
        std::vector<LineReading> readings = ReadStrips(zone, index, lastFits ? &last_ : nullptr, ahead_);
        frameMs = since();
        return readings;
    }
    ahead_ = Searched{};
    std::size_t usable = 0;
    while (usable < ahead.size() && usable < static_cast<std::size_t>(groupSize_ - 1) && !ahead[usable].empty() &&
           ahead[usable].size() == zone.size()) {
        ++usable;
    }
    if (usable == 0) {
        last_ = SearchWhole(zone, index, lastFits ? &last_ : nullptr);
        frameMs = since();
        return last_.readings;
    }
    ahead_ = SearchWhole(ahead[usable - 1], index + static_cast<long long>(usable), lastFits ? &last_ : nullptr);
    // The frame searched before is a guide only when no frame lies unread
    // between it and this one.
    const Searched* before = lastFits && last_.index == index - 1 ? &last_ : nullptr;
    std::vector<LineReading> readings = ReadStrips(zone, index, before, ahead_);
    frameMs = std::max(0.0, since() - ahead_.ms);
    return readings;
}

void FrameGroupReader::Forget() {
    last_ = Searched{};
    ahead_ = Searched{};
    searchesSinceFaint_ = kFaintEvery - 1;
}

}  // namespace kalvero
