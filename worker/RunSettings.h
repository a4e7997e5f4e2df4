#pragma once
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

namespace kalvero {

// A driver's settings record (the window's Options, the reader's): the file
// to play and the values the driver has stored, field by field. The run
// itself reads none of them while it goes on: the driver converts the record
// once into a RunPlan (PlanOf) and hands that over whole
// (VideoThread::ApplyPlan, SetStartPlan, or Run(sink, settings), which
// converts it at the start). numberH is the digit height; for the learned
// engine a hint, and 0 there means none.
//
// Threads: the numeric fields are atomics so that a conversion on another
// thread than the one storing never reads a torn number.
struct RunSettings {
    std::atomic<std::int32_t> numberH{29};
    std::atomic<std::int32_t> zoneX{0};
    std::atomic<std::int32_t> zoneY{0};
    std::atomic<std::int32_t> zoneW{0};
    std::atomic<std::int32_t> zoneH{0};
    std::atomic<std::int32_t> deepBuf{30};
    std::atomic<std::int32_t> colNum{5};
    std::atomic<float> zoom{1.0f};
    // Engine that reads the frames (a RecognitionEngine value).
    std::atomic<std::int32_t> engine{0};
    // Confirm only numbers whose check digit holds: always with the learned
    // engine unless turned off (rolling stock numbered otherwise), with the
    // glyph engine only when asked for.
    std::atomic<bool> learnedCheckDigitVote{true};
    std::atomic<bool> glyphCheckDigitVote{false};
    // With the learned engine, a number read with a high score on this many
    // consecutive frames is confirmed as well as by the vote
    // (StreakConfirmation); 0, the window's setting: the vote alone. The
    // reader uses 3, which a fast train still gives.
    std::atomic<std::int32_t> confirmStreak{0};

    // The file or stream to play, of any length. Guarded by pathMutex: the
    // driver may replace it (the window opening a file during a run) while a
    // run that is starting copies it. Use StoreRunPath and LoadRunPath.
    std::string path;
    mutable std::mutex pathMutex;
};

// Stores `path` as the file to play. A path holding a NUL byte names no
// file the system could open: refused, returns false, the field unchanged.
inline bool StoreRunPath(RunSettings& settings, const std::string& path) {
    if (path.find('\0') != std::string::npos) return false;
    std::lock_guard<std::mutex> lock(settings.pathMutex);
    settings.path = path;
    return true;
}

// A copy of the file to play, taken under the lock.
inline std::string LoadRunPath(const RunSettings& settings) {
    std::lock_guard<std::mutex> lock(settings.pathMutex);
    return settings.path;
}

}  // namespace kalvero
