#pragma once
#include <ostream>

#include "cli/OutputCheck.h"
#include "cli/SharedProgress.h"

namespace kalvero {

// Where one input's lines go: standard output and standard error (or, with
// several inputs, the buffers they are gathered in), sharing the terminal
// with the progress line.
struct ConsoleStreams {
    std::ostream& out;
    std::ostream& err;
    SharedProgress& progress;
    bool outOnTerminal = false;       // the progress line makes way for `out` too
    OutputCheck* outCheck = nullptr;  // checks `out` after each write when it is standard output
};

}  // namespace kalvero
