#pragma once
#include <string>

#include "serve/StoredPass.h"

namespace kalvero {

// The CSV export of a search: a header line, then one line per pass with
// both the read and the corrected number. Lines end in CRLF; a field with
// a comma, a quote or a line break is quoted, its quotes doubled; a text
// field a spreadsheet would take for a formula (starting with = + - @) is
// prefixed with a single quote.
std::string PassCsvHeader();
std::string PassCsvLine(const StoredPass& pass);

// One field as written to the file.
std::string CsvField(const std::string& text);

}  // namespace kalvero
