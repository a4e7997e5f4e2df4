#pragma once
#include <string>
#include <vector>

#include "cli/CarriagePass.h"

namespace kalvero {

// The --report page: one self-contained HTML file (no external resource)
// with a table of the passes in the order given: each pass's crop inlined
// as a PNG data URL, its number, check digit, file, start and end times,
// frames, direction, best score, and a small SVG plot of its score over
// its frames.
std::string HtmlReport(const std::vector<CarriagePass>& passes, const std::string& title);

// `bytes` in base64 (RFC 4648, with padding).
std::string Base64(const std::vector<unsigned char>& bytes);

// The score plot of one pass: an inline <svg> of `width` x `height` pixels
// with one polyline point per frame read, frames along x from the pass's
// first to its last, scores up from 0 to 1.1 max(1, best score).
std::string ScorePlot(const CarriagePass& pass, int width, int height);

// Writes `text` to `path`; false with `error` set ("cannot write the report
// to 'P': reason").
bool WriteReportFile(const std::string& path, const std::string& text, std::string& error);

}  // namespace kalvero
