#pragma once
#include <ostream>
#include <string>

namespace kalvero {

// Watches the reader's standard output, where every line is output the
// user asked for: a write that does not arrive (a full disk, a closed pipe,
// standard output closed) must end the run with status 4 rather than let it
// read on into nothing. Buffered text only fails when it is flushed, so
// Check() flushes.
class OutputCheck {
public:
    // `closed`: the stream has no file behind it (standard output was closed
    // when the program started); the first write counts as failed.
    OutputCheck(std::ostream& out, std::string name, bool closed);

    // Flushes the stream; true when everything written to it so far
    // arrived. The first failure is remembered with its reason.
    bool Check();

    bool Failed() const { return !problem_.empty(); }

    // "output could not be written: standard output: No space left on
    // device"; empty while nothing failed.
    std::string Message() const;

private:
    std::ostream& out_;
    std::string name_;
    bool closed_;
    std::string problem_;
};

// "output could not be written: <what>", the one wording of every output
// failure (standard output and output files alike).
std::string OutputFailure(const std::string& what);

}  // namespace kalvero
