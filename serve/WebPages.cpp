#include "serve/WebPages.h"

#include <cstdio>

#include "serve/WebHtml.h"
#include "serve/WebRedactedUrl.h"
#include "serve/WebScorePlot.h"

namespace kalvero {

namespace {

enum class Tab { None, Passes, Cameras };

std::string Layout(const std::string& title, Tab tab, const std::string& body, const std::string& bodyAttributes = {}) {
    std::string html =
        "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
        "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"
        "<title>" +
        HtmlEscape(title) +
        " · Kalvero</title>"
        "<link rel=\"stylesheet\" href=\"/style.css\"></head><body" +
        bodyAttributes + ">";
    if (tab != Tab::None) {
        html += "<header class=\"bar\"><a class=\"brand\" href=\"/\">Kalvero</a><nav>";
        html += std::string("<a href=\"/\"") + (tab == Tab::Passes ? " class=\"here\"" : "") + ">Passes</a>";
        html += std::string("<a href=\"/cameras\"") + (tab == Tab::Cameras ? " class=\"here\"" : "") + ">Cameras</a>";
        html +=
            "</nav><form method=\"post\" action=\"/signout\"><button type=\"submit\">Sign out</button></form>"
            "</header>";
    }
    html += "<main>" + body + "</main>";
    if (tab != Tab::None) html += "<script src=\"/app.js\"></script>";
    return html + "</body></html>\n";
}

std::string Message(const std::string& text, bool isError) {
    if (text.empty()) return {};
    return std::string("<p class=\"message ") + (isError ? "error" : "ok") + "\" role=\"" +
           (isError ? "alert" : "status") + "\">" + HtmlEscape(text) + "</p>";
}

std::string Score(double score) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", score);
    return text;
}

std::string CropUrl(long long id) { return "/api/passes/" + std::to_string(id) + "/crop.png"; }
std::string PassUrl(long long id) { return "/passes/" + std::to_string(id); }

// The number shown for a pass: the correction, with the read number beside
// it, or the read number alone.
std::string NumberCell(const StoredPass& pass) {
    if (pass.correctedNumber.empty()) return "<span class=\"num\">" + HtmlEscape(pass.number) + "</span>";
    return "<span class=\"num\">" + HtmlEscape(pass.correctedNumber) +
           "</span><span class=\"read\" title=\"read as\">" + HtmlEscape(pass.number) +
           "</span><span class=\"corrected\">corrected</span>";
}

std::string DirectionText(const std::string& direction) {
    if (direction == "left") return "← left";
    if (direction == "right") return "right →";
    return HtmlEscape(direction.empty() ? std::string("none") : direction);
}

}  // namespace

std::string ShownTime(const std::string& iso) {
    if (iso.size() < 19) return iso;
    std::string shown = iso.substr(0, 19);
    if (shown[10] == 'T') shown[10] = ' ';
    return shown;
}

std::string SignInPage(const std::string& message) {
    const std::string body =
        "<div class=\"signin card\"><h1>Kalvero</h1>"
        "<p class=\"muted\">Sign in with the service's token.</p>" +
        Message(message, true) +
        "<form method=\"post\" action=\"/signin\">"
        "<label for=\"token\">Token</label>"
        "<input id=\"token\" name=\"token\" type=\"password\" autocomplete=\"current-password\" "
        "required autofocus>"
        "<button class=\"primary\" type=\"submit\">Sign in</button></form></div>";
    return Layout("Sign in", Tab::None, body);
}

std::string PassListPage(const WebPassSearch& search, const std::vector<StoredPass>& passes, bool more,
                         const std::vector<std::string>& cameras, const std::string& error) {
    std::string body = "<h1>Passes</h1>" + Message(error, true);
    body +=
        "<form class=\"search card\" method=\"get\" action=\"/\">"
        "<label>Number (or some of its digits)<input class=\"number\" id=\"number\" name=\"number\" "
        "inputmode=\"numeric\" "
        "maxlength=\"8\" value=\"" +
        HtmlEscape(search.number) +
        "\"></label>"
        "<label>Camera<select id=\"camera\" name=\"camera\"><option value=\"\">All cameras</option>";
    for (const std::string& camera : cameras) {
        body += "<option value=\"" + HtmlEscape(camera) + "\"" + (camera == search.camera ? " selected" : "") + ">" +
                HtmlEscape(camera) + "</option>";
    }
    body +=
        "</select></label>"
        "<label>From (UTC)<input type=\"datetime-local\" id=\"from\" name=\"from\" value=\"" +
        HtmlEscape(search.from) +
        "\"></label>"
        "<label>To (UTC)<input type=\"datetime-local\" id=\"to\" name=\"to\" value=\"" +
        HtmlEscape(search.to) +
        "\"></label>"
        "<button class=\"primary\" id=\"search\" type=\"submit\">Search</button>"
        "<a class=\"button plain\" href=\"/\">Clear</a>"
        "<a class=\"button plain\" id=\"csv\" href=\"/passes.csv?" +
        HtmlEscape(SearchQueryString(search, 1)) + "\">Export CSV</a></form>";
    body += "<p class=\"note\">All times are UTC. The search form's times are taken as UTC too.</p>";
    if (passes.empty()) {
        body += "<div class=\"card\"><p class=\"muted\">No passes" +
                std::string(search.query.offset > 0 ? " on this page." : " match.") + "</p></div>";
    } else {
        body +=
            "<table class=\"list\" id=\"passes\"><thead><tr><th>Crop</th><th>Number</th><th>Camera</th>"
            "<th>Start (UTC)</th><th>Direction</th><th class=\"right\">Score</th></tr></thead><tbody>";
        for (const StoredPass& pass : passes) {
            const std::string url = PassUrl(pass.id);
            body += "<tr data-id=\"" + std::to_string(pass.id) + "\"><td><a href=\"" + url +
                    "\"><img class=\"thumb\" loading=\"lazy\" alt=\"crop\" src=\"" + CropUrl(pass.id) +
                    "\"></a></td><td><a href=\"" + url + "\">" + NumberCell(pass) + "</a></td><td>" +
                    HtmlEscape(pass.camera) + "</td><td class=\"time\">" + HtmlEscape(ShownTime(pass.startTime)) +
                    "</td><td>" + DirectionText(pass.direction) + "</td><td class=\"right\">" + Score(pass.bestScore) +
                    "</td></tr>";
        }
        body += "</tbody></table>";
    }
    body += "<div class=\"pager\"><span>";
    if (search.page > 1) {
        body += "<a class=\"button plain\" href=\"/?" + HtmlEscape(SearchQueryString(search, search.page - 1)) +
                "\">← Newer</a>";
    }
    body += "</span><span class=\"muted\">Page " + std::to_string(search.page) + "</span><span>";
    if (more) {
        body += "<a class=\"button plain\" id=\"older\" href=\"/?" +
                HtmlEscape(SearchQueryString(search, search.page + 1)) + "\">Older →</a>";
    }
    body += "</span></div>";
    return Layout("Passes", Tab::Passes, body);
}

std::string PassPage(const StoredPass& pass, const std::string& message, bool isError, const std::string& typed) {
    const std::string id = std::to_string(pass.id);
    std::string body = "<p><a href=\"/\">← All passes</a></p><h1>Pass " + id + ": " + NumberCell(pass) + "</h1>" +
                       Message(message, isError);
    body += "<div class=\"grid2\"><div class=\"card\">";
    body += pass.cropPng.empty()
                ? std::string("<p class=\"muted\">No crop was kept for this pass.</p>")
                : "<img class=\"crop\" alt=\"best crop of pass " + id + "\" src=\"" + CropUrl(pass.id) + "\">";
    body += "<h2>Correction</h2>";
    if (!pass.correctedNumber.empty()) {
        body += "<p id=\"correction-note\">Corrected to <span class=\"num\">" + HtmlEscape(pass.correctedNumber) +
                "</span> at " + HtmlEscape(ShownTime(pass.correctedAt)) + " UTC; read as <span class=\"num\">" +
                HtmlEscape(pass.number) + "</span>.</p>";
    }
    body += "<form method=\"post\" action=\"/passes/" + id +
            "/correction\" class=\"search\">"
            "<label>Right number (8 digits)<input class=\"number\" id=\"correction\" name=\"number\" "
            "inputmode=\"numeric\" pattern=\"[0-9]{8}\" maxlength=\"8\" required value=\"" +
            HtmlEscape(typed.empty() ? (pass.correctedNumber.empty() ? pass.number : pass.correctedNumber) : typed) +
            "\"></label><button class=\"primary\" id=\"correct\" type=\"submit\">Save correction</button></form>";
    body += "</div><div class=\"card\"><dl class=\"fields\">";
    const auto field = [&body](const std::string& name, const std::string& html) {
        body += "<dt>" + name + "</dt><dd>" + html + "</dd>";
    };
    field("Number read", "<span class=\"num\">" + HtmlEscape(pass.number) + "</span>");
    field("Check digit", pass.checkDigit ? "holds" : "does not hold");
    field("Corrected number", pass.correctedNumber.empty()
                                  ? "<span class=\"muted\">none</span>"
                                  : "<span class=\"num\">" + HtmlEscape(pass.correctedNumber) + "</span>");
    field("Corrected at", pass.correctedAt.empty() ? "<span class=\"muted\">—</span>"
                                                   : HtmlEscape(ShownTime(pass.correctedAt)) + " UTC");
    field("Camera", HtmlEscape(pass.camera));
    field("Start", HtmlEscape(ShownTime(pass.startTime)) + " UTC");
    field("End", HtmlEscape(ShownTime(pass.endTime)) + " UTC");
    field("Direction", DirectionText(pass.direction));
    field("Frames read", std::to_string(pass.framesRead));
    field("Best score", Score(pass.bestScore) + " (frame " + std::to_string(pass.bestFrame) + ")");
    body += "</dl></div></div>";
    body += "<h2>Score of each frame</h2><div class=\"card\">" + ScorePlotSvg(pass.scores) + "</div>";
    body += "<h2>Frames</h2><div class=\"card\">";
    if (pass.scores.empty()) {
        body += "<p class=\"muted\">None recorded.</p>";
    } else {
        body += "<table id=\"frames\"><thead><tr><th>Frame</th><th class=\"right\">Score</th></tr></thead><tbody>";
        for (const auto& [frame, score] : pass.scores) {
            body += "<tr><td>" + std::to_string(frame) +
                    (frame == pass.bestFrame ? " <span class=\"corrected\">best</span>" : "") +
                    "</td><td class=\"right\">" + Score(score) + "</td></tr>";
        }
        body += "</tbody></table>";
    }
    body += "</div><p class=\"note\"><a href=\"/api/passes/" + id + "\">This pass as JSON</a></p>";
    return Layout("Pass " + id, Tab::Passes, body);
}

std::string CamerasPage(const std::vector<CameraRow>& cameras, TimeOfDay now) {
    std::string body =
        "<h1>Cameras</h1><p class=\"note\">Refreshes every 10 seconds. Times are UTC; passes today "
        "count from 00:00 UTC.</p>";
    if (cameras.empty()) {
        body += "<div class=\"card\"><p class=\"muted\">No cameras are configured.</p></div>";
        return Layout("Cameras", Tab::Cameras, body, " data-refresh=\"10\"");
    }
    body +=
        "<table class=\"list\" id=\"cameras\"><thead><tr><th>Camera</th><th>Status</th><th class=\"right\">"
        "Frames/s</th><th>Last frame (UTC)</th><th class=\"right\">Passes today</th><th class=\"right\">Frames "
        "read</th><th>Last error</th></tr></thead><tbody>";
    for (const CameraRow& row : cameras) {
        const CameraState& c = row.state;
        std::string status = c.connected  ? "<span class=\"status on\">connected</span>"
                             : c.finished ? "<span class=\"status done\">finished</span>"
                                          : "<span class=\"status off\">not connected</span>";
        char fps[32];
        std::snprintf(fps, sizeof fps, "%.1f", c.framesPerSecond);
        std::string last = "<span class=\"muted\">never</span>";
        if (c.lastFrame) {
            const long long ago = std::chrono::duration_cast<std::chrono::seconds>(now - *c.lastFrame).count();
            last = HtmlEscape(ShownTime(IsoUtc(*c.lastFrame))) + " <span class=\"muted\">(" + std::to_string(ago) +
                   " s ago)</span>";
        }
        body += "<tr><td><strong>" + HtmlEscape(c.name) + "</strong><br><span class=\"note\">" +
                HtmlEscape(RedactedUrl(c.url)) + "</span></td><td>" + status + "</td><td class=\"right\">" + fps +
                "</td><td class=\"time\">" + last + "</td><td class=\"right\">" +
                (row.passesToday < 0 ? std::string("?") : std::to_string(row.passesToday)) +
                "</td><td class=\"right\">" + std::to_string(c.framesRead) + "</td><td class=\"error-text\">" +
                HtmlEscape(c.lastError) + "</td></tr>";
    }
    body += "</tbody></table>";
    return Layout("Cameras", Tab::Cameras, body, " data-refresh=\"10\"");
}

std::string MessagePage(const std::string& title, const std::string& message) {
    return Layout(title, Tab::Passes,
                  "<p><a href=\"/\">← All passes</a></p><h1>" + HtmlEscape(title) + "</h1>" + Message(message, true));
}

}  // namespace kalvero
