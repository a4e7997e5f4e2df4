#pragma once
#include "cli/OutputWriter.h"
#include "cli/SharedProgress.h"

namespace kalvero {

// The self-updating progress line on a terminal: one more frame each frame.
class ProgressWriter : public OutputWriter {
public:
    explicit ProgressWriter(SharedProgress& progress) : progress_(progress) {}
    void Frame(const FrameEvent& /*event*/) override { progress_.FrameDone(); }

private:
    SharedProgress& progress_;
};

}  // namespace kalvero
