#pragma once
#include <string>
#include <vector>

#include <opencv2/core.hpp>

#include "cli/CarriagePass.h"
#include "cli/ReadReport.h"
#include "worker/FrameSink.h"

namespace kalvero {

// What a writer learns when an input starts.
struct InputStart {
    const std::string& file;
    cv::Size frameSize;            // the first frame after the zoom; 0x0 for a stream
    double framesPerSecond = 0.0;  // the rate the input declares; 0 when none
};

// One frame of the run, as the writers see it.
struct FrameEvent {
    const FrameReport& report;          // frame numbers continue over a stream's reconnections
    const std::string* change = nullptr;  // the summary's line when a number was confirmed anew
    const std::string* explain = nullptr; // the --explain trace of the frame, when asked
};

// What a writer learns when an input ends.
struct InputEnd {
    const ReadReport& report;
    const std::vector<CarriagePass>& passes;  // in the order of their first frame
    bool outputFailed = false;                 // some output of the run failed already
};

// One output of kalvero-read (standard output's lines, the pass file, the
// crops, the report, the annotated video, the progress line). The input
// runner calls BeginInput, then Frame and Pass (a pass as it ends) while
// the input is read, then EndInput; Finish once after the last input.
//
// A writer does not steer the run: a write that fails is kept as a
// Failure, the runner says it and ends the run (status 4).
class OutputWriter {
public:
    virtual ~OutputWriter() = default;

    // False when this input cannot be written at all (Failure says why):
    // the input is then not read.
    virtual bool BeginInput(const InputStart& /*start*/) { return true; }
    virtual void Frame(const FrameEvent& /*event*/) {}
    virtual void Pass(const CarriagePass& /*pass*/) {}
    // The run loop stopped reading the input: at a file's end, or when a
    // stream broke off or did not answer (`opened` false) and is about to
    // be tried again (KeepReadingStream). Frames that follow continue the
    // same input.
    virtual void LoopEnded(bool /*opened*/) {}
    virtual void EndInput(const InputEnd& /*end*/) {}
    virtual void Finish() {}

    // The frames need their pictures with the overlays drawn.
    virtual bool WantsImage() const { return false; }

    // The first failure not yet taken ("output could not be written: ..."),
    // then empty: each failure is said once.
    std::string TakeFailure() {
        std::string failure;
        failure.swap(failure_);
        if (!failure.empty()) {
            failed_ = true;
        }
        return failure;
    }
    // Some write of this writer failed (said or not).
    bool Failed() const { return failed_ || !failure_.empty(); }

protected:
    // Keeps the first failure; later ones add nothing.
    void Fail(const std::string& message) {
        if (!Failed()) {
            failure_ = message;
        }
    }
    // A failure the writer has said itself.
    void FailSaid() { failed_ = true; }

private:
    std::string failure_;
    bool failed_ = false;
};

}  // namespace kalvero
