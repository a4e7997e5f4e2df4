#pragma once
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "worker/FrameSink.h"

namespace kalvero {

// What the run learnt about one confirmed number.
struct ConfirmedNumber {
    std::string text;
    int firstConfirmedFrame = 0;  // first frame whose vote confirmed it
    int lastConfirmedFrame = 0;   // last such frame
    int bestReadingFrames = 0;    // frames in which it was the best reading
    float bestScore = 0.0f;       // its highest score as the best reading
    bool checkDigit = false;
};

// Follows a run frame by frame for the text output: notices when the
// confirmed number changes and gathers the figures of the summary.
class ReadReport {
public:
    // Takes one frame. Returns the line to print when the confirmed number
    // changed in this frame ("Frame 12: confirmed 52473063, check digit
    // holds"), nothing otherwise. A frame whose vote confirms nothing does
    // not count as a change; the next confirmation of a different number does.
    std::optional<std::string> AddFrame(const FrameReport& report);

    // Records that the run was cut short by the user after `frame`.
    void MarkInterrupted() { interrupted_ = true; }

    int FramesRead() const { return framesRead_; }
    int FramesWithReading() const { return framesWithReading_; }
    // Confirmed numbers in the order of their first confirmation.
    std::vector<ConfirmedNumber> Confirmed() const;

    // Texts that were the best reading of some frame but never confirmed,
    // most frequent first, at most kUnconfirmedListed of them
    // (firstConfirmedFrame and lastConfirmedFrame stay 0).
    std::vector<ConfirmedNumber> Unconfirmed() const;
    static constexpr std::size_t kUnconfirmedListed = 5;

    // The summary block printed at the end of the run: the confirmed
    // numbers, then the best readings that never were.
    std::string Summary() const;

private:
    struct Stats {
        int bestReadingFrames = 0;
        float bestScore = 0.0f;
    };
    int framesRead_ = 0;
    int framesWithReading_ = 0;
    bool interrupted_ = false;
    std::string lastConfirmed_;
    std::map<std::string, Stats> bestReadings_;  // every text that was a best reading
    std::vector<ConfirmedNumber> confirmed_;     // first-confirmation order
};

// "holds" or "fails", the word the text output uses for a check-digit result.
const char* CheckDigitWord(bool holds);

}  // namespace kalvero
