#pragma once
#include "cli/ConsoleOutputWriter.h"

namespace kalvero {

// kalvero-read's text output: a line on standard output for every number
// confirmed anew, and the summary (what was read, the passes) at the end.
// --explain traces and --verbose lines go to standard error and standard
// output as they come.
class TextOutputWriter : public ConsoleOutputWriter {
public:
    using ConsoleOutputWriter::ConsoleOutputWriter;

    void Frame(const FrameEvent& event) override;
    void EndInput(const InputEnd& end) override;
};

}  // namespace kalvero
