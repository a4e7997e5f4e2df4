#pragma once
#include <optional>

#include "cli/ConsoleOutputWriter.h"

namespace kalvero {

// kalvero-read's text output: a line on standard output for every number
// confirmed anew, and the summary (what was read, the passes) at the end.
// --explain traces and --verbose lines go to standard error and standard
// output as they come.
class TextOutputWriter : public ConsoleOutputWriter {
public:
    // The summary prints times of day at `utcOffsetMinutes` when given,
    // else in the local time zone.
    TextOutputWriter(ConsoleStreams streams, bool verbose, std::optional<int> utcOffsetMinutes = std::nullopt)
        : ConsoleOutputWriter(streams, verbose), utcOffsetMinutes_(utcOffsetMinutes) {}

    void Frame(const FrameEvent& event) override;
    void EndInput(const InputEnd& end) override;

private:
    std::optional<int> utcOffsetMinutes_;
};

}  // namespace kalvero
