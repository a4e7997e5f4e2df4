#include "cli/OutputCheck.h"

#include <cerrno>
#include <cstring>

namespace kalvero {

OutputCheck::OutputCheck(std::ostream& out, std::string name, bool closed)
    : out_(out), name_(std::move(name)), closed_(closed) {}

bool OutputCheck::Check() {
    if (Failed()) {
        return false;
    }
    if (closed_) {
        problem_ = name_ + " is closed";
        return false;
    }
    // A write that failed inside the stream (its own flush, a full buffer)
    // left the stream failed: clear it and flush again, which tries any text
    // still held back once more and so finds the reason (ENOSPC, EPIPE).
    // Called right after the write, errno may still hold the reason when
    // the retry finds nothing left to write.
    const int earlier = errno;
    const bool alreadyFailed = out_.fail();
    out_.clear();
    errno = 0;
    out_.flush();
    const int reason = errno != 0 ? errno : alreadyFailed ? earlier : 0;
    if (alreadyFailed || out_.fail()) {
        out_.setstate(std::ios::badbit);
        problem_ = name_ + (reason != 0 ? std::string(": ") + std::strerror(reason) : ": a write failed");
    }
    return !Failed();
}

std::string OutputCheck::Message() const { return Failed() ? OutputFailure(problem_) : ""; }

std::string OutputFailure(const std::string& what) { return "output could not be written: " + what; }

}  // namespace kalvero
