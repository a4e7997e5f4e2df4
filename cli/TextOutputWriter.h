#pragma once
#include "cli/ConsoleStreams.h"
#include "cli/OutputWriter.h"

namespace kalvero {

// kalvero-read's text output: a line on standard output for every number
// confirmed anew, and the summary (what was read, the passes) at the end.
// --explain traces and --verbose lines go to standard error and standard
// output as they come.
class TextOutputWriter : public OutputWriter {
public:
    TextOutputWriter(ConsoleStreams streams, bool verbose) : streams_(streams), verbose_(verbose) {}

    void Frame(const FrameEvent& event) override;
    void EndInput(const InputEnd& end) override;

private:
    ConsoleStreams streams_;
    bool verbose_;
};

}  // namespace kalvero
