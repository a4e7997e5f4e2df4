#include "cli/HtmlReport.h"

#include <algorithm>
#include <cstdio>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "cli/AtomicFile.h"
#include "command_line/PrintableText.h"

namespace kalvero {

namespace {

std::string Escape(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out += c;
        }
    }
    return out;
}

std::string Fixed(double value, int decimals) {
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
    return buffer;
}

// The crop as shown in the page: at most this wide (the crop files keep the
// source's resolution; the page shows it at most 240 px wide, twice that
// stays sharp on a high-density screen).
constexpr int kPageCropWidth = 480;

std::string CropImage(const CarriagePass& pass) {
    if (pass.bestCrop.empty()) {
        return "<span class=\"none\">no picture</span>";
    }
    cv::Mat bgr;
    cv::cvtColor(pass.bestCrop, bgr, cv::COLOR_RGB2BGR);
    if (bgr.cols > kPageCropWidth) {
        const int rows = std::max(1, bgr.rows * kPageCropWidth / bgr.cols);
        cv::resize(bgr, bgr, cv::Size(kPageCropWidth, rows), 0.0, 0.0, cv::INTER_AREA);
    }
    std::vector<unsigned char> png;
    if (!cv::imencode(".png", bgr, png)) {
        return "<span class=\"none\">no picture</span>";
    }
    return "<img alt=\"" + Escape(pass.number) + "\" src=\"data:image/png;base64," + Base64(png) +
           "\">";
}

// The file cell: the folder in grey, cut after two lines (the cell's title
// holds the whole path), and the file's name in full below it.
std::string FileCell(const std::string& file) {
    const std::size_t slash = file.find_last_of('/');
    if (slash == std::string::npos) {
        return Escape(file);
    }
    return "<div class=\"folder\">" + Escape(file.substr(0, slash + 1)) + "</div>" + Escape(file.substr(slash + 1));
}

// A time of day as the page shows it: ISO 8601 UTC in a <time>, "-" when
// unknown.
std::string TimeCell(const std::optional<TimeOfDay>& time) {
    if (!time) {
        return "<span class=\"none\">-</span>";
    }
    const std::string iso = IsoUtc(*time);
    return "<time datetime=\"" + iso + "\">" + Escape(iso) + "</time>";
}

// The key the page sorts the time column by: the start's time of day when
// known (ISO text sorts in time order), else its seconds into the input,
// zero-padded to sort as text after every time of day.
std::string TimeKey(const CarriagePass& pass) {
    if (pass.startTime) {
        return IsoUtc(*pass.startTime);
    }
    char key[48];
    std::snprintf(key, sizeof key, "~%015.3f", std::max(0.0, pass.startSeconds));
    return key;
}

const char* const kStyle =
    "body{font-family:sans-serif;margin:16px;color:#222}"
    "h1{font-size:22px;margin:0 0 8px}"
    ".bar{display:flex;gap:16px;align-items:center;margin:8px 0}"
    ".bar input{font-size:15px;padding:4px 8px;width:320px}"
    "table{border-collapse:collapse;width:100%;table-layout:fixed}"
    "th,td{border:1px solid #bbb;padding:4px 6px;text-align:left;vertical-align:middle;"
    "overflow-wrap:anywhere;font-size:13px}"
    "th{background:#eee;position:sticky;top:0;overflow-wrap:normal}"
    "th.sort{cursor:pointer;user-select:none;text-decoration:underline dotted}"
    "th.sort[data-dir=up]::after{content:' \\25B2'}"
    "th.sort[data-dir=down]::after{content:' \\25BC'}"
    "td.number{font-family:monospace;font-size:16px;font-weight:bold}"
    "td.fails{color:#b00}"
    "td.file{font-family:monospace;font-size:12px}"
    "td.file .folder{color:#666;display:-webkit-box;-webkit-line-clamp:2;-webkit-box-orient:vertical;"
    "overflow:hidden}"
    "img{display:block;max-width:100%;max-height:90px}"
    "svg{display:block;max-width:100%}"
    ".none{color:#888}";

// Sorting (a click on a header with class "sort": again to reverse) and
// filtering (the search box over the number and file columns; every word
// typed must be in one of them). Rows carry their keys in data-*
// attributes. The page's address may ask for both after '#': q=WORDS,
// sort=KEY or sort=-KEY (descending).
const char* const kScript = R"JS(
(function(){
var table=document.getElementById('passes');
var body=table.tBodies[0];
var search=document.getElementById('search');
var shown=document.getElementById('shown');
function rows(){return Array.prototype.slice.call(body.rows);}
function filter(){
  var words=search.value.toLowerCase().split(/\s+/).filter(function(w){return w;});
  var n=0;
  rows().forEach(function(r){
    var hay=(r.dataset.number+' '+r.dataset.file).toLowerCase();
    var ok=words.every(function(w){return hay.indexOf(w)>=0;});
    r.style.display=ok?'':'none';
    if(ok)n++;
  });
  shown.textContent=n+' of '+body.rows.length+' shown';
}
function sortBy(th){
  var key=th.dataset.key, numeric=th.dataset.numeric==='1';
  var up=th.dataset.dir!=='up';
  Array.prototype.forEach.call(table.tHead.rows[0].cells,function(c){delete c.dataset.dir;});
  th.dataset.dir=up?'up':'down';
  var list=rows();
  list.sort(function(a,b){
    var x=a.dataset[key], y=b.dataset[key], d;
    if(numeric){d=parseFloat(x)-parseFloat(y);}else{d=x<y?-1:x>y?1:0;}
    if(d===0){d=parseFloat(a.dataset.index)-parseFloat(b.dataset.index);}
    return up?d:-d;
  });
  list.forEach(function(r){body.appendChild(r);});
}
Array.prototype.forEach.call(table.querySelectorAll('th.sort'),function(th){
  th.addEventListener('click',function(){sortBy(th);});
});
search.addEventListener('input',filter);
// A link can carry a search and an order: "report.html#q=east&sort=-time".
var asked=new URLSearchParams(location.hash.slice(1));
if(asked.get('q')){search.value=asked.get('q');}
var order=asked.get('sort');
if(order){
  var down=order.charAt(0)==='-', th=table.querySelector('th.sort[data-key="'+(down?order.slice(1):order)+'"]');
  if(th){sortBy(th);if(down){sortBy(th);}}
}
filter();
})();
)JS";

}  // namespace

std::string Base64(const std::vector<unsigned char>& bytes) {
    static const char* const kDigits =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        const unsigned v = (bytes[i] << 16) | (bytes[i + 1] << 8) | bytes[i + 2];
        out += kDigits[(v >> 18) & 63];
        out += kDigits[(v >> 12) & 63];
        out += kDigits[(v >> 6) & 63];
        out += kDigits[v & 63];
    }
    if (i + 1 == bytes.size()) {
        const unsigned v = bytes[i] << 16;
        out += kDigits[(v >> 18) & 63];
        out += kDigits[(v >> 12) & 63];
        out += "==";
    } else if (i + 2 == bytes.size()) {
        const unsigned v = (bytes[i] << 16) | (bytes[i + 1] << 8);
        out += kDigits[(v >> 18) & 63];
        out += kDigits[(v >> 12) & 63];
        out += kDigits[(v >> 6) & 63];
        out += '=';
    }
    return out;
}

std::string ScorePlot(const CarriagePass& pass, int width, int height) {
    float top = 1.0f;
    for (const auto& point : pass.scores) {
        top = std::max(top, point.second);
    }
    // Headroom, so that a line of near-perfect scores stays off the frame.
    top *= 1.1f;
    const int span = std::max(1, pass.lastFrame - pass.firstFrame);
    std::string points;
    for (const auto& [frame, score] : pass.scores) {
        const double x = 2.0 + (width - 4.0) * (frame - pass.firstFrame) / span;
        const double y = height - 2.0 - (height - 4.0) * std::max(0.0f, score) / top;
        points += (points.empty() ? "" : " ") + Fixed(x, 1) + "," + Fixed(y, 1);
    }
    const std::string w = std::to_string(width);
    const std::string h = std::to_string(height);
    return "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + w + "\" height=\"" + h +
           "\" viewBox=\"0 0 " + w + " " + h + "\"><rect width=\"" + w + "\" height=\"" + h +
           "\" fill=\"#f7f7f7\" stroke=\"#ccc\"/><polyline fill=\"none\" stroke=\"#1565c0\" "
           "stroke-width=\"1.5\" points=\"" + points + "\"/></svg>";
}

std::string HtmlReportRow(const CarriagePass& p, int index) {
    const std::string file = PrintableText(p.file);
    return "<tr data-index=\"" + std::to_string(index) + "\" data-number=\"" + Escape(p.number) +
           "\" data-file=\"" + Escape(file) + "\" data-time=\"" + Escape(TimeKey(p)) + "\" data-score=\"" +
           Fixed(p.bestScore, 3) + "\"><td>" + std::to_string(index) + "</td><td>" + CropImage(p) +
           "</td><td class=\"number\">" + Escape(p.number) + "</td><td class=\"" +
           (p.checkDigit ? "holds\">holds" : "fails\">fails") + "</td><td class=\"file\" title=\"" +
           Escape(file) + "\">" + FileCell(file) + "</td><td>" + Fixed(p.startSeconds, 3) + "&ndash;" +
           Fixed(p.endSeconds, 3) + "</td><td>" + TimeCell(p.startTime) + "<br>" + TimeCell(p.endTime) +
           "</td><td>" + std::to_string(p.firstFrame) + "&ndash;" + std::to_string(p.lastFrame) +
           "<br><span class=\"none\">confirmed in " + std::to_string(p.firstConfirmedFrame) +
           "</span></td><td>" + DirectionName(p.direction) + "</td><td>" + Fixed(p.bestScore, 3) +
           "<br><span class=\"none\">frame " + std::to_string(p.bestFrame) + "</span></td><td>" +
           ScorePlot(p, 100, 36) + "</td></tr>\n";
}

std::string HtmlReportPage(const std::vector<std::string>& rows, const std::string& title, bool running) {
    std::string html = "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\"><title>" +
                       Escape(title) + "</title><style>" + kStyle + "</style></head><body>\n<h1>" +
                       Escape(title) + "</h1>\n<div class=\"bar\"><span>" + std::to_string(rows.size()) +
                       (rows.size() == 1 ? " carriage pass" : " carriage passes") +
                       (running ? " so far (the run goes on; reload for more)" : "") +
                       "</span><input id=\"search\" type=\"search\" placeholder=\"Search number or file\" "
                       "aria-label=\"Search number or file\"><span id=\"shown\"></span></div>\n";
    // Column shares of the page's width (1248 px in a 1280-px window).
    html += "<table id=\"passes\"><colgroup><col style=\"width:3%\"><col style=\"width:17%\">"
            "<col style=\"width:9%\"><col style=\"width:5%\"><col style=\"width:15%\">"
            "<col style=\"width:8.5%\"><col style=\"width:14.5%\"><col style=\"width:7.5%\">"
            "<col style=\"width:6.5%\"><col style=\"width:6%\"><col style=\"width:8%\"></colgroup>\n"
            "<thead><tr><th class=\"sort\" data-key=\"index\" data-numeric=\"1\">#</th><th>Picture</th>"
            "<th class=\"sort\" data-key=\"number\">Number</th><th>Check digit</th>"
            "<th class=\"sort\" data-key=\"file\">File</th><th>Start&ndash;end, s</th>"
            "<th class=\"sort\" data-key=\"time\">Time of day (UTC)</th><th>Frames</th><th>Direction</th>"
            "<th class=\"sort\" data-key=\"score\" data-numeric=\"1\">Best score</th>"
            "<th>Score over frames</th></tr></thead>\n<tbody>\n";
    for (const std::string& row : rows) {
        html += row;
    }
    html += "</tbody></table>\n<script type=\"text/javascript\">";
    html += kScript;
    html += "</script>\n</body></html>\n";
    return html;
}

std::string HtmlReport(const std::vector<CarriagePass>& passes, const std::string& title) {
    std::vector<std::string> rows;
    rows.reserve(passes.size());
    for (const CarriagePass& p : passes) {
        rows.push_back(HtmlReportRow(p, static_cast<int>(rows.size()) + 1));
    }
    return HtmlReportPage(rows, title, false);
}

bool WriteReportFile(const std::string& path, const std::string& text, std::string& error) {
    std::string reason;
    if (!WriteFileAtomically(path, text, reason)) {
        error = "cannot write the report to '" + PrintableText(path) + "': " + reason;
        return false;
    }
    return true;
}

}  // namespace kalvero
