#pragma once
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "cli/DamagedSpan.h"
#include "cli/JsonLine.h"
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
    bool Interrupted() const { return interrupted_; }

    // Records that the run was ended because its output could not be
    // written.
    void MarkOutputFailed() { outputFailed_ = true; }
    bool OutputFailed() const { return outputFailed_; }

    // The frame count the file's container announced; 0: none (a stream,
    // a container that states none).
    void SetAnnouncedFrames(long long frames) { announcedFrames_ = frames; }

    // The file ended clearly before its announced count: at least
    // kEarlyEndFrames frames and more than one in a hundred missing (some
    // containers estimate their count from the duration), and the run was
    // not stopped on purpose or for its output.
    bool EndedEarly() const;
    static constexpr long long kEarlyEndFrames = 2;

    // A live stream: frames skipped to keep up are counted (see
    // FrameReport::skippedBefore) and said in both summaries, with the
    // stream's address in the JSON one; the best readings kept for the
    // summary are bounded, however long the stream runs.
    void SetLiveInput(const std::string& address) {
        live_ = true;
        liveAddress_ = address;
    }
    long long FramesSkipped() const { return framesSkipped_; }
    // Distinct best readings kept at most for a live input; past it the
    // rarest are forgotten.
    static constexpr std::size_t kLiveReadingsKept = 2048;
    // Distinct best readings held now.
    std::size_t ReadingsHeld() const { return bestReadings_.size(); }

    int FramesRead() const { return framesRead_; }

    // Damaged input: frames skipped because they failed to decode, in all
    // and where.
    long long DamagedFrames() const { return damagedFrames_; }
    // The span the frame's report says was lost right before it, if any.
    static std::optional<DamagedSpan> SpanBefore(const FrameReport& report);
    const std::vector<DamagedSpan>& DamagedSpans() const { return damagedSpans_; }
    int FramesWithReading() const { return framesWithReading_; }
    // Confirmed numbers in the order of their first confirmation.
    std::vector<ConfirmedNumber> Confirmed() const;

    // Texts that were the best reading of some frame but never confirmed,
    // most frequent first, at most kUnconfirmedListed of them
    // (firstConfirmedFrame and lastConfirmedFrame stay 0).
    std::vector<ConfirmedNumber> Unconfirmed() const;
    static constexpr std::size_t kUnconfirmedListed = 5;

    // The summary block printed at the end of the run: the confirmed
    // numbers, then the best readings that never were, then "Damaged: N
    // frames could not be decoded and were skipped: after frame A (K frames,
    // S-E s), ..." when some were, then "Ended after frame N of M
    // announced." when the file ended early.
    std::string Summary() const;

    // The same figures as one JSON object on one line (--json's closing
    // object on standard error):
    // {"summary": {"frames_read": N, "frames_with_reading": K,
    //  "numbers_confirmed": C, "interrupted": B, "output_failed": B,
    //  "ended_early": B, "frames_announced": M or null,
    //  "damaged_frames": D, "damaged": [{"after_frame": A, "frames": K,
    //  "from_s": S, "to_s": E}, ...]}}
    std::string SummaryJsonLine() const;

private:
    // Forgets the rarest best readings of a live input once there are more
    // than kLiveReadingsKept.
    void BoundLiveReadings();

    struct Stats {
        int bestReadingFrames = 0;
        float bestScore = 0.0f;
    };
    int framesRead_ = 0;
    int framesWithReading_ = 0;
    bool interrupted_ = false;
    bool outputFailed_ = false;
    long long announcedFrames_ = 0;
    std::string lastConfirmed_;
    std::map<std::string, Stats> bestReadings_;  // every text that was a best reading
    std::vector<ConfirmedNumber> confirmed_;     // first-confirmation order

    long long damagedFrames_ = 0;
    std::vector<DamagedSpan> damagedSpans_;  // in the order of the run
    // A live stream's account.
    bool live_ = false;
    std::string liveAddress_;
    long long framesSkipped_ = 0;
};

// The spans as a JSON array of {"after_frame", "frames", "from_s", "to_s"}
// objects.
JsonValue DamagedJson(const std::vector<DamagedSpan>& spans);

// "holds" or "fails", the word the text output uses for a check-digit result.
const char* CheckDigitWord(bool holds);

}  // namespace kalvero
