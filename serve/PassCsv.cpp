#include "serve/PassCsv.h"

#include <cstdio>

namespace kalvero {

namespace {

// A field that is ours (numbers, times, fixed words): quoted when needed,
// never prefixed.
std::string Quoted(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string out = "\"";
    for (const char c : text) {
        out += c;
        if (c == '"') out += '"';
    }
    return out + "\"";
}

}  // namespace

std::string CsvField(const std::string& text) {
    const bool formula = !text.empty() && (text[0] == '=' || text[0] == '+' || text[0] == '-' || text[0] == '@' ||
                                           text[0] == '\t' || text[0] == '\r');
    return Quoted(formula ? "'" + text : text);
}

std::string PassCsvHeader() {
    return "id,number,corrected_number,corrected_at,camera,start_time,end_time,frames_read,direction,best_score,"
           "best_frame,check_digit\r\n";
}

std::string PassCsvLine(const StoredPass& pass) {
    char score[32];
    std::snprintf(score, sizeof score, "%.3f", pass.bestScore);
    return std::to_string(pass.id) + "," + CsvField(pass.number) + "," + CsvField(pass.correctedNumber) + "," +
           Quoted(pass.correctedAt) + "," + CsvField(pass.camera) + "," + Quoted(pass.startTime) + "," +
           Quoted(pass.endTime) + "," + std::to_string(pass.framesRead) + "," + CsvField(pass.direction) + "," + score +
           "," + std::to_string(pass.bestFrame) + "," + (pass.checkDigit ? "true" : "false") + "\r\n";
}

}  // namespace kalvero
