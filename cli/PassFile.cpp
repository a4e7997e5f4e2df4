#include "cli/PassFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "cli/JsonOutput.h"
#include "cli/TimeOfDay.h"
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

// "879+3 880+40": after which frame how many frames were lost to damage.
std::string DamagedText(const CarriagePass& pass) {
    std::string out;
    for (const DamagedSpan& span : pass.damaged) {
        if (!out.empty()) {
            out += " ";
        }
        out += std::to_string(span.afterFrame) + "+" + std::to_string(span.frames);
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
    return "file,number,check_digit,first_frame,last_frame,start_s,end_s,start_time,end_time,first_confirmed_frame,"
           "frames_read,frames,best_score,best_frame,direction,damaged_frames,damaged";
}

std::string PassFile::CsvRecord(const CarriagePass& p) {
    return CsvField(p.file) + "," + p.number + "," + (p.checkDigit ? "holds" : "fails") + "," +
           std::to_string(p.firstFrame) + "," + std::to_string(p.lastFrame) + "," +
           SecondsText(p.startSeconds) + "," + SecondsText(p.endSeconds) + "," +
           (p.startTime ? IsoUtc(*p.startTime) : std::string()) + "," +
           (p.endTime ? IsoUtc(*p.endTime) : std::string()) + "," + std::to_string(p.firstConfirmedFrame) + "," + std::to_string(p.FramesRead()) + "," +
           Ranges(p) + "," + JsonNumber(p.bestScore) + "," +
           std::to_string(p.bestFrame) + "," + DirectionName(p.direction) + "," +
           std::to_string(p.DamagedFrames()) + "," + DamagedText(p);
}

std::string PassFile::JsonRecord(const CarriagePass& p) {
    JsonValue frames = JsonValue::array();
    for (const auto& [first, last] : p.readFrames) {
        frames.push_back({first, last});
    }
    JsonValue damaged = JsonValue::array();
    for (const DamagedSpan& span : p.damaged) {
        damaged.push_back({span.afterFrame, span.frames});
    }
    const JsonValue record = {{"file", p.file},
                              {"number", p.number},
                              {"check_digit", p.checkDigit},
                              {"first_frame", p.firstFrame},
                              {"last_frame", p.lastFrame},
                              {"start_s", p.startSeconds},
                              {"end_s", p.endSeconds},
                              {"start_time", p.startTime ? JsonValue(IsoUtc(*p.startTime)) : JsonValue()},
                              {"end_time", p.endTime ? JsonValue(IsoUtc(*p.endTime)) : JsonValue()},
                              {"first_confirmed_frame", p.firstConfirmedFrame},
                              {"frames_read", p.FramesRead()},
                              {"frames", std::move(frames)},
                              {"best_score", static_cast<double>(p.bestScore)},
                              {"best_frame", p.bestFrame},
                              {"direction", DirectionName(p.direction)},
                              {"damaged_frames", p.DamagedFrames()},
                              {"damaged", std::move(damaged)}};
    return JsonLine(record);
}

PassFile::Descriptor& PassFile::Descriptor::operator=(Descriptor&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

PassFile::Descriptor::~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
}

namespace {

// The size of an open file, or -1.
off_t SizeOf(int fd) {
    struct stat info {};
    return ::fstat(fd, &info) == 0 ? info.st_size : -1;
}

// Cuts a regular file back to the end of its last whole line: the bytes
// after its last line end are a record a killed reader or a full disk left
// unfinished. Reads backwards in blocks. False when it cannot be done.
bool CutUnfinishedLine(int fd) {
    const off_t size = SizeOf(fd);
    if (size <= 0) return size == 0;
    std::vector<char> block(4096);
    off_t end = size;
    while (end > 0) {
        const off_t start = std::max<off_t>(0, end - static_cast<off_t>(block.size()));
        const auto count = static_cast<std::size_t>(end - start);
        if (::pread(fd, block.data(), count, start) != static_cast<ssize_t>(count)) return false;
        for (std::size_t i = count; i > 0; --i) {
            if (block[i - 1] != '\n') continue;
            const off_t whole = start + static_cast<off_t>(i);
            return whole == size || ::ftruncate(fd, whole) == 0;
        }
        end = start;
    }
    return ::ftruncate(fd, 0) == 0;  // not one whole line
}

}  // namespace

bool PassFile::Open(const std::string& path, std::string& error) {
    path_ = path;
    failed_ = false;
    const std::string cannot = "cannot write passes to '" + PrintableText(path) + "': ";
    if (!FormFor(path, form_)) {
        error = cannot + "the name must end in .csv, .jsonl, .ndjson or .json";
        return false;
    }
    file_ = Descriptor(::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644));
    if (file_.get() < 0) {
        error = cannot + std::strerror(errno);
        return false;
    }
    struct stat info {};
    regular_ = ::fstat(file_.get(), &info) == 0 && S_ISREG(info.st_mode);
    if (regular_) {
        // Reading back needs a descriptor open for reading too.
        const Descriptor reading(::open(path.c_str(), O_RDWR | O_CLOEXEC));
        if (reading.get() < 0 || !CutUnfinishedLine(reading.get())) {
            error = cannot + std::strerror(errno != 0 ? errno : EIO);
            return false;
        }
    }
    const bool empty = !regular_ || SizeOf(file_.get()) == 0;
    return form_ == Form::Csv && empty ? Put(std::string(CsvHeader()) + "\n", error) : true;
}

bool PassFile::Write(const CarriagePass& pass, std::string& error) {
    return Put((form_ == Form::Csv ? CsvRecord(pass) : JsonRecord(pass)) + "\n", error);
}

bool PassFile::Put(const std::string& text, std::string& error) {
    const std::string cannot = "cannot write passes to '" + PrintableText(path_) + "': ";
    if (failed_ || file_.get() < 0) {
        error = cannot + "an earlier write failed";
        return false;
    }
    const off_t before = regular_ ? SizeOf(file_.get()) : -1;
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t wrote = ::write(file_.get(), text.data() + done, text.size() - done);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) {
            const int reason = wrote < 0 ? errno : ENOSPC;
            failed_ = true;
            // What of the record reached the file goes again: the file ends
            // with its last whole record.
            if (done > 0 && before >= 0 && ::ftruncate(file_.get(), before) != 0) {
                error = cannot + std::strerror(reason) + "; the unfinished record could not be removed";
                return false;
            }
            error = cannot + std::strerror(reason);
            return false;
        }
        done += static_cast<std::size_t>(wrote);
    }
    return true;
}

}  // namespace kalvero
