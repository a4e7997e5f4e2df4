#pragma once
#include <functional>
#include <ostream>
#include <streambuf>
#include <string>

namespace kalvero {

// An output stream that hands on each whole line as soon as its newline is
// written, keeping nothing but the line being written: a live input's
// lines go out as they happen however long it runs. A line left
// unfinished goes out when the forwarder is destroyed.
class LineForwarder : public std::ostream {
public:
    // `line` gets each line with its newline.
    explicit LineForwarder(std::function<void(const std::string& line)> line)
        : std::ostream(&buffer_), buffer_(std::move(line)) {}
    ~LineForwarder() override { buffer_.Finish(); }
    LineForwarder(const LineForwarder&) = delete;
    LineForwarder& operator=(const LineForwarder&) = delete;

private:
    class Buffer : public std::streambuf {
    public:
        explicit Buffer(std::function<void(const std::string&)> line) : line_(std::move(line)) {}
        void Finish() {
            if (!pending_.empty()) {
                line_(pending_);
                pending_.clear();
            }
        }

    protected:
        int_type overflow(int_type c) override {
            if (traits_type::eq_int_type(c, traits_type::eof())) {
                return traits_type::not_eof(c);
            }
            Put(traits_type::to_char_type(c));
            return c;
        }
        std::streamsize xsputn(const char* s, std::streamsize n) override {
            for (std::streamsize i = 0; i < n; ++i) {
                Put(s[i]);
            }
            return n;
        }

    private:
        void Put(char c) {
            pending_ += c;
            if (c == '\n') {
                line_(pending_);
                pending_.clear();
            }
        }
        std::function<void(const std::string&)> line_;
        std::string pending_;
    };
    Buffer buffer_;
};

}  // namespace kalvero
