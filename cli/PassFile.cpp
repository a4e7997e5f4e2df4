#include "cli/PassFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "cli/JsonOutput.h"
#include "command_line/LowerCase.h"
#include "command_line/PrintableText.h"

namespace kalvero {

namespace {

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// Seconds to the millisecond.
std::string SecondsText(double seconds) {
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.3f", seconds);
    return buffer;
}

// A CSV field: quoted when it holds a comma, a quote or a line end.
std::string CsvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) {
        return text;
    }
    std::string out = "\"";
    for (char c : text) {
        out += c;
        if (c == '"') {
            out += '"';
        }
    }
    return out + "\"";
}

// "1-26 40-52": the frame ranges the pass was read in.
std::string Ranges(const CarriagePass& pass) {
    std::string out;
    for (const auto& [first, last] : pass.readFrames) {
        if (!out.empty()) {
            out += " ";
        }
        out += std::to_string(first) + "-" + std::to_string(last);
    }
    return out;
}

}  // namespace

bool PassFile::FormFor(const std::string& path, Form& form) {
    const std::string lower = LowerCase(path);
    if (EndsWith(lower, ".csv")) {
        form = Form::Csv;
        return true;
    }
    if (EndsWith(lower, ".jsonl") || EndsWith(lower, ".ndjson") || EndsWith(lower, ".json")) {
        form = Form::JsonLines;
        return true;
    }
    return false;
}

const char* PassFile::CsvHeader() {
    return "file,number,check_digit,first_frame,last_frame,start_s,end_s,first_confirmed_frame,"
           "frames_read,frames,best_score,best_frame,direction";
}

std::string PassFile::CsvRecord(const CarriagePass& p) {
    return CsvField(p.file) + "," + p.number + "," + (p.checkDigit ? "holds" : "fails") + "," +
           std::to_string(p.firstFrame) + "," + std::to_string(p.lastFrame) + "," +
           SecondsText(p.startSeconds) + "," + SecondsText(p.endSeconds) + "," +
           std::to_string(p.firstConfirmedFrame) + "," + std::to_string(p.FramesRead()) + "," +
           Ranges(p) + "," + JsonNumber(p.bestScore) + "," +
           std::to_string(p.bestFrame) + "," + DirectionName(p.direction);
}

std::string PassFile::JsonRecord(const CarriagePass& p) {
    JsonValue frames = JsonValue::array();
    for (const auto& [first, last] : p.readFrames) {
        frames.push_back({first, last});
    }
    const JsonValue record = {{"file", p.file},
                              {"number", p.number},
                              {"check_digit", p.checkDigit},
                              {"first_frame", p.firstFrame},
                              {"last_frame", p.lastFrame},
                              {"start_s", p.startSeconds},
                              {"end_s", p.endSeconds},
                              {"first_confirmed_frame", p.firstConfirmedFrame},
                              {"frames_read", p.FramesRead()},
                              {"frames", std::move(frames)},
                              {"best_score", static_cast<double>(p.bestScore)},
                              {"best_frame", p.bestFrame},
                              {"direction", DirectionName(p.direction)}};
    return JsonLine(record);
}

bool PassFile::Open(const std::string& path, std::string& error) {
    path_ = path;
    const std::string cannot = "cannot write passes to '" + PrintableText(path) + "': ";
    if (!FormFor(path, form_)) {
        error = cannot + "the name must end in .csv, .jsonl, .ndjson or .json";
        return false;
    }
    file_.reset(std::fopen(path.c_str(), "w"));
    if (!file_) {
        error = cannot + std::strerror(errno);
        return false;
    }
    return form_ == Form::Csv ? Put(std::string(CsvHeader()) + "\n", error) : true;
}

bool PassFile::Write(const CarriagePass& pass, std::string& error) {
    return Put((form_ == Form::Csv ? CsvRecord(pass) : JsonRecord(pass)) + "\n", error);
}

bool PassFile::Put(const std::string& text, std::string& error) {
    const std::string cannot = "cannot write passes to '" + PrintableText(path_) + "': ";
    if (failed_ || !file_) {
        error = cannot + "an earlier write failed";
        return false;
    }
    errno = 0;
    if (std::fwrite(text.data(), 1, text.size(), file_.get()) != text.size() ||
        std::fflush(file_.get()) != 0) {
        failed_ = true;
        error = cannot + std::strerror(errno != 0 ? errno : EIO);
        return false;
    }
    return true;
}

}  // namespace kalvero
