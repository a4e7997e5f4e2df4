#pragma once
#include <optional>
#include <string>

#include "cli/ConsoleOutputWriter.h"

namespace kalvero {

// kalvero-read --json: one JSON object per frame on standard output and
// nothing else there; the summary, its JSON object last, on standard error
// with the --explain traces and --verbose lines.
class JsonOutputWriter : public ConsoleOutputWriter {
public:
    // The text summary prints times of day at `utcOffsetMinutes` when
    // given, else in the local time zone.
    JsonOutputWriter(ConsoleStreams streams, bool verbose, std::optional<int> utcOffsetMinutes = std::nullopt)
        : ConsoleOutputWriter(streams, verbose), utcOffsetMinutes_(utcOffsetMinutes) {}

    bool BeginInput(const InputStart& start) override;
    void Frame(const FrameEvent& event) override;
    void EndInput(const InputEnd& end) override;

private:
    std::string file_;  // every frame object names its input
    std::optional<int> utcOffsetMinutes_;
};

}  // namespace kalvero
