#pragma once
#include <string>
#include <vector>

#include "cli/CarriagePass.h"

namespace kalvero {

// The --report page: one self-contained HTML file (no external resource)
// that fits a 1280-px window, with a table of the passes: each pass's crop
// inlined as a PNG data URL, its number, check digit, file (long paths
// wrap, a long folder is cut after two lines; the whole path is the cell's
// title), start and end in seconds and
// as times of day (ISO 8601 UTC, "-" when unknown), frames, direction,
// best score and a small SVG plot of its score over its frames. A small
// inline script sorts the table by number, file, time of day, score or
// order (a click on the header) and filters it by a search box over the
// number and the file; the page's address can ask for both
// ("report.html#q=east&sort=-time").
std::string HtmlReport(const std::vector<CarriagePass>& passes, const std::string& title);

// One table row of the page, for the pass numbered `index` (from 1).
std::string HtmlReportRow(const CarriagePass& pass, int index);

// The whole page around `rows` (HtmlReportRow's); `running` says the run
// goes on and the page will be rewritten.
std::string HtmlReportPage(const std::vector<std::string>& rows, const std::string& title, bool running);

// `bytes` in base64 (RFC 4648, with padding).
std::string Base64(const std::vector<unsigned char>& bytes);

// The score plot of one pass: an inline <svg> of `width` x `height` pixels
// with one polyline point per frame read, frames along x from the pass's
// first to its last, scores up from 0 to 1.1 max(1, best score).
std::string ScorePlot(const CarriagePass& pass, int width, int height);

// Writes `text` to `path` atomically (AtomicFile): a reader of `path` sees
// the previous page or the new one, never a part. False with `error` set
// ("cannot write the report to 'P': reason").
bool WriteReportFile(const std::string& path, const std::string& text, std::string& error);

}  // namespace kalvero
