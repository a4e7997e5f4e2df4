#pragma once
#include "cli/ConsoleStreams.h"
#include "cli/OutputWriter.h"

namespace kalvero {

// What kalvero-read's console writers (the text lines or --json) hold in
// common: the console's streams and whether --verbose asks for more.
class ConsoleOutputWriter : public OutputWriter {
public:
    ConsoleOutputWriter(ConsoleStreams streams, bool verbose) : streams_(streams), verbose_(verbose) {}

protected:
    ConsoleStreams streams_;
    bool verbose_;
};

}  // namespace kalvero
