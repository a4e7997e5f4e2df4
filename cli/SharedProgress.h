#pragma once
#include <memory>
#include <mutex>
#include <ostream>
#include <string>

#include "cli/OutputCheck.h"
#include "cli/ProgressLine.h"

namespace kalvero {

// The progress line of a run over one or more inputs read at once: counts
// the frames of all of them, and lets any reading thread print on the
// line's terminal without tearing it. Safe to call from several threads,
// and from a stream written to inside Print (a live input's lines are
// handed on from there).
class SharedProgress {
public:
    // `totalFrames` <= 0: unknown (see ProgressLine).
    SharedProgress(std::ostream& stream, bool enabled, long long totalFrames)
        : stream_(stream), enabled_(enabled),
          line_(std::make_unique<ProgressLine>(stream, enabled, totalFrames)) {}

    // Sets the total once it is known (before the first frame).
    void SetTotal(long long totalFrames) {
        std::lock_guard<std::recursive_mutex> lock(mutex_);
        line_ = std::make_unique<ProgressLine>(stream_, enabled_, totalFrames);
    }

    // One more frame read.
    void FrameDone() {
        std::lock_guard<std::recursive_mutex> lock(mutex_);
        line_->Update(++done_);
    }

    // Writes `text` to `stream` (flushed), taking the line down first when
    // `clear`; the next FrameDone draws it again.
    void Print(std::ostream& stream, const std::string& text, bool clear) {
        std::lock_guard<std::recursive_mutex> lock(mutex_);
        if (clear) {
            line_->Clear();
        }
        stream << text;
        stream.flush();
    }

    // Print, then `check` (which flushes the stream) with no other write in
    // between; false when the stream refused the text.
    bool PrintChecked(std::ostream& stream, const std::string& text, bool clear, OutputCheck& check) {
        std::lock_guard<std::recursive_mutex> lock(mutex_);
        Print(stream, text, clear);
        return check.Check();
    }

    void Clear() {
        std::lock_guard<std::recursive_mutex> lock(mutex_);
        line_->Clear();
    }

private:
    std::recursive_mutex mutex_;
    std::ostream& stream_;
    bool enabled_;
    std::unique_ptr<ProgressLine> line_;
    long long done_ = 0;
};

}  // namespace kalvero
