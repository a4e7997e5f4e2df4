#pragma once
#include <string>

namespace kalvero {

// The run loop takes its file name through the window's settings record,
// which holds at most 499 bytes. A longer path is handed over as a short
// symbolic link to it, with the same extension (which decides whether it is
// a still image), in a private folder of its own under $TMPDIR or /tmp; the
// link and the folder go when this object does.
class LongPathLink {
public:
    LongPathLink() = default;
    LongPathLink(const LongPathLink&) = delete;
    LongPathLink& operator=(const LongPathLink&) = delete;
    ~LongPathLink();

    // The name to hand to the run loop for `path`: `path` itself when it is
    // at most `limit` bytes, else a link to it. Empty with `error` set when
    // the link cannot be made.
    std::string ShortName(const std::string& path, std::size_t limit, std::string& error);

private:
    std::string folder_;
    std::string link_;
};

}  // namespace kalvero
