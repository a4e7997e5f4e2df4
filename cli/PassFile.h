#pragma once
#include <string>

#include "cli/CarriagePass.h"

namespace kalvero {

// The file --passes writes: one record per carriage pass, written as each
// pass ends. The extension picks the form: .csv gives CSV with a header
// line, .jsonl, .ndjson or .json gives JSON Lines. Nothing written before is
// lost: an existing file is appended to (a CSV header goes only into an
// empty file), and every record reaches the file whole or not at all.
class PassFile {
public:
    enum class Form { Csv, JsonLines };

    // The form for `path`'s extension (any letter case); false when the
    // extension names neither.
    static bool FormFor(const std::string& path, Form& form);

    // Opens `path` for appending, creating it when it does not exist. A
    // regular file whose last line was left unfinished (a reader killed in
    // the middle of a write, a disk that filled up) is first cut back to
    // its last whole line. False with `error` set ("cannot write passes to
    // 'P': reason") when the extension is unknown or the file cannot be
    // opened for writing.
    bool Open(const std::string& path, std::string& error);

    // Appends one pass in one write, which the system holds from then on
    // (a process killed later loses nothing of it). When the write fails
    // (a full disk) what of it reached a regular file is cut off again;
    // false with `error` set, and later calls fail too.
    bool Write(const CarriagePass& pass, std::string& error);

    // The record of one pass, without the line end.
    static std::string CsvRecord(const CarriagePass& pass);
    static std::string JsonRecord(const CarriagePass& pass);
    static const char* CsvHeader();

private:
    bool Put(const std::string& text, std::string& error);

    // Closes the descriptor it holds.
    class Descriptor {
    public:
        Descriptor() = default;
        explicit Descriptor(int fd) : fd_(fd) {}
        Descriptor(const Descriptor&) = delete;
        Descriptor& operator=(const Descriptor&) = delete;
        Descriptor& operator=(Descriptor&& other) noexcept;
        ~Descriptor();
        int get() const { return fd_; }

    private:
        int fd_ = -1;
    };
    Descriptor file_;
    bool regular_ = false;  // a regular file: a failed write can be cut back
    std::string path_;
    Form form_ = Form::Csv;
    bool failed_ = false;
};

}  // namespace kalvero
