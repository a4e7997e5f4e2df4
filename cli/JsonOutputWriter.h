#pragma once
#include <string>

#include "cli/ConsoleOutputWriter.h"

namespace kalvero {

// kalvero-read --json: one JSON object per frame on standard output and
// nothing else there; the summary, its JSON object last, on standard error
// with the --explain traces and --verbose lines.
class JsonOutputWriter : public ConsoleOutputWriter {
public:
    using ConsoleOutputWriter::ConsoleOutputWriter;

    bool BeginInput(const InputStart& start) override;
    void Frame(const FrameEvent& event) override;
    void EndInput(const InputEnd& end) override;

private:
    std::string file_;  // every frame object names its input
};

}  // namespace kalvero
