#pragma once
#include <ostream>
#include <string>

#include "cli/OutputCheck.h"
#include "cli/ReaderOptions.h"

namespace kalvero {

// kalvero-read FILE --sign X,Y,W,H: reads the speed value in the box of
// the file's first frame and says it on `out` (a line, or a JSON object
// with --json). Returns the exit status.
int ReadSignCommand(const ReaderOptions& options, const std::string& file, std::ostream& out, std::ostream& err,
                    OutputCheck* outCheck);

}  // namespace kalvero
