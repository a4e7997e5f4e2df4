#pragma once
#include <cstdio>
#include <memory>
#include <string>

#include "cli/CarriagePass.h"

namespace kalvero {

// The file --passes writes: one record per carriage pass, written and
// flushed as each pass ends. The extension picks the form: .csv gives CSV
// with a header line, .jsonl, .ndjson or .json gives JSON Lines.
class PassFile {
public:
    enum class Form { Csv, JsonLines };

    // The form for `path`'s extension (any letter case); false when the
    // extension names neither.
    static bool FormFor(const std::string& path, Form& form);

    // Opens (creates or empties) `path`. False with `error` set ("cannot
    // write passes to 'P': reason") when the extension is unknown or the
    // file cannot be opened for writing.
    bool Open(const std::string& path, std::string& error);

    // Appends one pass and flushes it to the system. False with `error` set
    // when the write fails (a full disk); later calls fail too.
    bool Write(const CarriagePass& pass, std::string& error);

    // The record of one pass, without the line end.
    static std::string CsvRecord(const CarriagePass& pass);
    static std::string JsonRecord(const CarriagePass& pass);
    static const char* CsvHeader();

private:
    bool Put(const std::string& text, std::string& error);

    struct Closer {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    std::unique_ptr<std::FILE, Closer> file_;
    std::string path_;
    Form form_ = Form::Csv;
    bool failed_ = false;
};

}  // namespace kalvero
