#pragma once
#include <memory>
#include <vector>

#include "cli/ConsoleStreams.h"
#include "cli/OutputWriter.h"
#include "cli/ReaderOptions.h"

namespace kalvero {

// The writers of one input, made from the options: its lines (text or
// JSON), crops, annotated video and progress; writers that outlive the
// input (the pass file, the report) are added to them.
class InputWriters {
public:
    // `severalInputs` no longer changes anything: crop names always name
    // their input.
    InputWriters(const ReaderOptions& options, const ConsoleStreams& streams, bool severalInputs);

    // A writer this input shares with the run; it comes before the input's own.
    // A null writer (an output not asked for) is left out.
    void Add(OutputWriter* shared) {
        if (shared != nullptr) {
            shared_.push_back(shared);
        }
    }

    // Every writer, in the order they hear of each frame and pass.
    std::vector<OutputWriter*> List() const;

private:
    std::vector<OutputWriter*> shared_;
    std::vector<std::unique_ptr<OutputWriter>> own_;
};

}  // namespace kalvero
