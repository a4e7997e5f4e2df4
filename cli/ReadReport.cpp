#include "cli/ReadReport.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>

#include "cli/JsonLine.h"
#include "recognition_common/CheckDigit.h"

namespace kalvero {

const char* CheckDigitWord(bool holds) { return holds ? "holds" : "fails"; }

namespace {
std::string ScoreText(float score) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.3f", static_cast<double>(score));
    return buffer;
}
}  // namespace

JsonValue DamagedJson(const std::vector<DamagedSpan>& spans) {
    JsonValue list = JsonValue::array();
    for (const DamagedSpan& span : spans) {
        list.push_back({{"after_frame", span.afterFrame},
                        {"frames", span.frames},
                        {"from_s", span.fromSeconds},
                        {"to_s", span.toSeconds}});
    }
    return list;
}

std::optional<std::string> ReadReport::AddFrame(const FrameReport& report) {
    ++framesRead_;
    if (const std::optional<DamagedSpan> span = SpanBefore(report)) {
        damagedFrames_ += span->frames;
        damagedSpans_.push_back(*span);
    }
    if (!report.readings.empty()) {
        ++framesWithReading_;
        const Reading& best = report.readings.front();
        Stats& stats = bestReadings_[best.text];
        if (stats.bestReadingFrames == 0 || best.score > stats.bestScore) {
            stats.bestScore = best.score;
        }
        ++stats.bestReadingFrames;
        if (live_ && bestReadings_.size() > kLiveReadingsKept) {
            BoundLiveReadings();
        }
    }
    framesSkipped_ += report.skippedBefore;
    if (report.voteCode != 0 || report.confirmed.empty()) {
        return std::nullopt;
    }
    const std::string& text = report.confirmed;
    auto known = std::find_if(confirmed_.begin(), confirmed_.end(),
                              [&](const ConfirmedNumber& c) { return c.text == text; });
    if (known == confirmed_.end()) {
        ConfirmedNumber number;
        number.text = text;
        number.firstConfirmedFrame = report.frameNumber;
        number.checkDigit = CheckDigitHolds(text);
        confirmed_.push_back(number);
        known = confirmed_.end() - 1;
    }
    known->lastConfirmedFrame = report.frameNumber;
    if (text == lastConfirmed_) {
        return std::nullopt;
    }
    lastConfirmed_ = text;
    return "Frame " + std::to_string(report.frameNumber) + ": confirmed " + text +
           ", check digit " + CheckDigitWord(known->checkDigit);
}

std::optional<DamagedSpan> ReadReport::SpanBefore(const FrameReport& report) {
    if (!report.damageBefore || report.damageBefore->frames <= 0) return std::nullopt;
    const DamagedGap& gap = *report.damageBefore;
    return DamagedSpan{report.frameNumber - 1, gap.frames, gap.fromMs / 1000.0, gap.toMs / 1000.0};
}

void ReadReport::BoundLiveReadings() {
    // Down to half, rarest first: the summary lists the most frequent.
    for (int rarest = 1; bestReadings_.size() > kLiveReadingsKept / 2; ++rarest) {
        for (auto it = bestReadings_.begin(); it != bestReadings_.end();) {
            it = it->second.bestReadingFrames <= rarest ? bestReadings_.erase(it) : std::next(it);
        }
    }
}

std::vector<ConfirmedNumber> ReadReport::Confirmed() const {
    std::vector<ConfirmedNumber> list = confirmed_;
    for (ConfirmedNumber& number : list) {
        const auto stats = bestReadings_.find(number.text);
        if (stats != bestReadings_.end()) {
            number.bestReadingFrames = stats->second.bestReadingFrames;
            number.bestScore = stats->second.bestScore;
        }
    }
    return list;
}

std::string ReadReport::Summary() const {
    const std::vector<ConfirmedNumber> list = Confirmed();
    std::string text;
    if (interrupted_) {
        text += "Interrupted after frame " + std::to_string(framesRead_) + ".\n";
    }
    if (outputFailed_) {
        text += "Stopped after frame " + std::to_string(framesRead_) +
                ": the output could not be written.\n";
    }
    text += "Summary: " + std::to_string(framesRead_) + (framesRead_ == 1 ? " frame" : " frames") +
            " read, a reading in " + std::to_string(framesWithReading_) + ", ";
    if (live_ && framesSkipped_ > 0) {
        text += std::to_string(framesSkipped_) + (framesSkipped_ == 1 ? " frame" : " frames") +
                " skipped to keep up with the stream, ";
    }
    if (list.empty()) {
        text += "no number confirmed.\n";
    } else {
        text += std::to_string(list.size()) + (list.size() == 1 ? " number" : " numbers") +
                " confirmed:\n";
    }
    for (const ConfirmedNumber& n : list) {
        text += "  " + n.text + "  confirmed in frames " + std::to_string(n.firstConfirmedFrame) +
                "-" + std::to_string(n.lastConfirmedFrame) + ", best reading in " +
                std::to_string(n.bestReadingFrames) +
                (n.bestReadingFrames == 1 ? " frame" : " frames") + ", best score " +
                ScoreText(n.bestScore) + ", check digit " + CheckDigitWord(n.checkDigit) + "\n";
    }
    const std::vector<ConfirmedNumber> others = Unconfirmed();
    if (!others.empty()) {
        text += "Best readings never confirmed:\n";
    }
    for (const ConfirmedNumber& n : others) {
        text += "  " + n.text + "  best reading in " + std::to_string(n.bestReadingFrames) +
                (n.bestReadingFrames == 1 ? " frame" : " frames") + ", best score " +
                ScoreText(n.bestScore) + ", check digit " + CheckDigitWord(n.checkDigit) + "\n";
    }
    if (damagedFrames_ > 0) {
        text += "Damaged: " + std::to_string(damagedFrames_) + (damagedFrames_ == 1 ? " frame" : " frames") +
                " could not be decoded and " + (damagedFrames_ == 1 ? "was" : "were") + " skipped:";
        for (std::size_t i = 0; i < damagedSpans_.size(); ++i) {
            const DamagedSpan& span = damagedSpans_[i];
            char times[64];
            std::snprintf(times, sizeof times, "%.3f-%.3f s", span.fromSeconds, span.toSeconds);
            text += std::string(i == 0 ? " " : ", ") + "after frame " + std::to_string(span.afterFrame) + " (" +
                    std::to_string(span.frames) + (span.frames == 1 ? " frame, " : " frames, ") + times + ")";
        }
        text += ".\n";
    }
    if (EndedEarly()) {
        text += "Ended after frame " + std::to_string(framesRead_) + " of " +
                std::to_string(announcedFrames_) + " announced.\n";
    }
    return text;
}

bool ReadReport::EndedEarly() const {
    // Frames skipped as damaged were there: the file did not end early.
    const long long missing = announcedFrames_ - framesRead_ - damagedFrames_;
    return announcedFrames_ > 0 && !interrupted_ && !outputFailed_ && missing >= kEarlyEndFrames &&
           missing * 100 > announcedFrames_;
}

std::string ReadReport::SummaryJsonLine() const {
    JsonValue counts = {{"frames_read", framesRead_},
                        {"frames_with_reading", framesWithReading_},
                        {"numbers_confirmed", confirmed_.size()},
                        {"interrupted", interrupted_},
                        {"output_failed", outputFailed_},
                        {"ended_early", EndedEarly()},
                        {"frames_announced", announcedFrames_ > 0 ? JsonValue(announcedFrames_) : JsonValue()},
                        {"damaged_frames", damagedFrames_},
                        {"damaged", DamagedJson(damagedSpans_)}};
    if (live_) {
        counts["frames_skipped"] = framesSkipped_;
        counts["file"] = liveAddress_;
    }
    return JsonLine(JsonValue{{"summary", counts}}) + "\n";
}

std::vector<ConfirmedNumber> ReadReport::Unconfirmed() const {
    std::vector<ConfirmedNumber> list;
    for (const auto& [text, stats] : bestReadings_) {
        // A structured binding cannot be captured before C++20 (clang refuses).
        const std::string& reading = text;
        const bool confirmed =
            std::any_of(confirmed_.begin(), confirmed_.end(),
                        [&](const ConfirmedNumber& c) { return c.text == reading; });
        if (confirmed) {
            continue;
        }
        ConfirmedNumber n;
        n.text = text;
        n.bestReadingFrames = stats.bestReadingFrames;
        n.bestScore = stats.bestScore;
        n.checkDigit = CheckDigitHolds(text);
        list.push_back(n);
    }
    // Most frequent first; equal counts by the higher score (the text order
    // of the map decides the rest).
    std::stable_sort(list.begin(), list.end(), [](const ConfirmedNumber& a, const ConfirmedNumber& b) {
        if (a.bestReadingFrames != b.bestReadingFrames) {
            return a.bestReadingFrames > b.bestReadingFrames;
        }
        return a.bestScore > b.bestScore;
    });
    if (list.size() > kUnconfirmedListed) {
        list.resize(kUnconfirmedListed);
    }
    return list;
}

}  // namespace kalvero
