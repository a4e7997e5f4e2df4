#include "serve/WebServer.h"

#include <httplib.h>
#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <mutex>
#include <regex>
#include <thread>

#include "cli/JsonLine.h"
#include "serve/HealthCheck.h"
#include "serve/MetricsText.h"
#include "serve/PassCsv.h"
#include "serve/PassJson.h"
#include "serve/WebAssets.h"
#include "serve/WebPages.h"
#include "serve/WebPassSearch.h"
#include "serve/WebRedactedUrl.h"
#include "serve/WebSessions.h"
#include "serve/WebSignInThrottle.h"
#include "serve/WebTokenCompare.h"

namespace kalvero {

namespace {

using httplib::Request;
using httplib::Response;

constexpr const char* kSessionCookie = "kalvero_session";
constexpr int kPassesPerPage = 50;
constexpr int kMostExported = 10000;
const std::regex kEightDigits("[0-9]{8}");

// Who may call a route, and how a caller without the right is answered.
enum class Access {
    Open,  // anyone: the sign-in page, its stylesheet, /healthz
    Page,  // the session or the token; without, a redirect to sign-in
    Api,   // the token or the session; without, 401 and a JSON error
};

std::string JsonError(const std::string& message) { return JsonLine(JsonValue{{"error", message}}); }

void SendJson(Response& res, int status, const std::string& body) {
    res.status = status;
    res.set_content(body, "application/json");
}

void SendHtml(Response& res, int status, const std::string& body) {
    res.status = status;
    res.set_content(body, "text/html; charset=utf-8");
}

void Redirect(Response& res, const std::string& to) {
    res.status = 303;
    res.set_header("Location", to);
}

std::string CookieValue(const Request& req, const std::string& name) {
    const std::string header = req.get_header_value("Cookie");
    std::size_t at = 0;
    while (at < header.size()) {
        std::size_t end = header.find(';', at);
        if (end == std::string::npos) end = header.size();
        std::string pair = header.substr(at, end - at);
        const std::size_t first = pair.find_first_not_of(' ');
        pair = first == std::string::npos ? std::string() : pair.substr(first);
        const std::size_t equals = pair.find('=');
        if (equals != std::string::npos && pair.compare(0, equals, name) == 0 && equals == name.size()) {
            return pair.substr(equals + 1);
        }
        at = end + 1;
    }
    return {};
}

// The pass id in the route's first group; false when it is not one.
bool PassId(const Request& req, long long& id) {
    if (req.matches.size() < 2) return false;
    const std::string text = req.matches[1].str();
    if (text.empty() || text.size() > 18) return false;
    id = std::stoll(text);
    return id > 0;
}

// A path no route of ours can mean: climbing out (.., encoded or not),
// empty segments, backslashes, control bytes or a leftover escape.
bool SuspiciousPath(const std::string& path) {
    if (path.empty() || path[0] != '/') return true;
    if (path.find("..") != std::string::npos || path.find("//") != std::string::npos) return true;
    for (const char c : path) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7f || c == '\\' || c == '%') return true;
    }
    return false;
}

TimeOfDay StartOfDay(TimeOfDay now) {
    using Days = std::chrono::duration<long long, std::ratio<86400>>;
    return TimeOfDay(std::chrono::duration_cast<TimeOfDay::duration>(std::chrono::floor<Days>(now.time_since_epoch())));
}

// Why `host`:`port` cannot be bound, found by trying it once more.
std::string BindFailure(const std::string& host, int port) {
    addrinfo hints{};
    // ai_family stays 0: IPv4 or IPv6, whichever the host names.
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0 || found == nullptr) {
        return "unknown host '" + host + "'";
    }
    std::string reason = "cannot bind";
    const int fd = ::socket(found->ai_family, found->ai_socktype, found->ai_protocol);
    if (fd < 0) {
        reason = std::strerror(errno);
    } else {
        const int yes = 1;
        ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        if (::bind(fd, found->ai_addr, found->ai_addrlen) != 0) reason = std::strerror(errno);
        ::close(fd);
    }
    freeaddrinfo(found);
    if (reason == "Address already in use") reason = "address in use";
    return reason;
}

bool ParseListen(const std::string& listen, std::string& host, int& port) {
    const std::size_t colon = listen.rfind(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 == listen.size()) return false;
    host = listen.substr(0, colon);
    if (host.size() > 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
    const std::string digits = listen.substr(colon + 1);
    if (digits.size() > 5 || digits.find_first_not_of("0123456789") != std::string::npos) return false;
    port = std::stoi(digits);
    return port <= 65535 && !host.empty();
}

}  // namespace

struct WebServer::State {
    State(ServiceView v, std::ostream& l) : view(std::move(v)), log(l) {}

    ServiceView view;
    std::ostream& log;
    std::mutex logMutex;
    httplib::Server server;
    std::thread thread;
    int port = 0;
    bool started = false;
    TimeOfDay startedAt = std::chrono::system_clock::now();
    WebSessions sessions;
    WebSignInThrottle throttle;

    void Log(const std::string& line) {
        std::lock_guard<std::mutex> lock(logMutex);
        log << "web: " + line + "\n" << std::flush;
    }

    // True when the request carries the token (Authorization: Bearer) or
    // an open session. A wrong token counts against its address.
    bool Authorised(const Request& req) {
        const std::string authorization = req.get_header_value("Authorization");
        // The scheme's name is case-insensitive.
        const std::string scheme = authorization.substr(0, 7);
        if (scheme == "Bearer " || scheme == "bearer " || scheme == "BEARER ") {
            if (TokensEqual(authorization.substr(7), view.token)) return true;
            throttle.Failed(req.remote_addr, WebSignInThrottle::Clock::now());
        }
        return sessions.Valid(CookieValue(req, kSessionCookie), WebSessions::Clock::now());
    }

    void Route(const char* method, const char* pattern, Access access,
               void (State::*handler)(const Request&, Response&)) {
        httplib::Server::Handler wrapped = [this, access, handler](const Request& req, Response& res) {
            const bool api = access == Access::Api;
            try {
                if (access != Access::Open) {
                    const long long wait = throttle.SecondsToWait(req.remote_addr, WebSignInThrottle::Clock::now());
                    if (wait > 0 && req.has_header("Authorization")) {
                        res.set_header("Retry-After", std::to_string(wait));
                        SendJson(res, 429, JsonError("too many wrong tokens; wait " + std::to_string(wait) + " s"));
                        return;
                    }
                    if (!Authorised(req)) {
                        if (api) {
                            res.set_header("WWW-Authenticate", "Bearer");
                            SendJson(res, 401, JsonError("sign in, or send the header Authorization: Bearer <token>"));
                        } else {
                            Redirect(res, "/signin");
                        }
                        return;
                    }
                }
                (this->*handler)(req, res);
            } catch (const StoreError& error) {
                Log(std::string("store error on ") + req.method + " " + req.path + ": " + error.what());
                const std::string message = std::string("the store is not available: ") + error.what();
                if (api)
                    SendJson(res, 503, JsonError(message));
                else
                    SendHtml(res, 503, MessagePage("Store not available", message));
            } catch (const std::exception& error) {
                Log(std::string("error on ") + req.method + " " + req.path + ": " + error.what());
                if (api)
                    SendJson(res, 500, JsonError("internal error"));
                else
                    SendHtml(res, 500, MessagePage("Internal error", "Something went wrong; see the log."));
            }
        };
        if (std::strcmp(method, "GET") == 0)
            server.Get(pattern, wrapped);
        else
            server.Post(pattern, wrapped);
    }

    void Routes() {
        Route("GET", "/signin", Access::Open, &State::SignInForm);
        Route("POST", "/signin", Access::Open, &State::SignIn);
        Route("GET", "/style.css", Access::Open, &State::StyleSheet);
        Route("GET", "/healthz", Access::Open, &State::Health);
        Route("POST", "/signout", Access::Page, &State::SignOut);
        Route("GET", "/app.js", Access::Page, &State::Script);
        Route("GET", "/", Access::Page, &State::ListPage);
        Route("GET", R"(/passes/(\d+))", Access::Page, &State::OnePassPage);
        Route("POST", R"(/passes/(\d+)/correction)", Access::Page, &State::CorrectionForm);
        Route("GET", "/passes.csv", Access::Page, &State::Csv);
        Route("GET", "/cameras", Access::Page, &State::CamerasStatus);
        Route("GET", "/metrics", Access::Api, &State::Metrics);
        Route("GET", "/api/passes", Access::Api, &State::ApiPasses);
        Route("GET", R"(/api/passes/(\d+))", Access::Api, &State::ApiPass);
        Route("GET", R"(/api/passes/(\d+)/crop\.png)", Access::Api, &State::ApiCrop);
        Route("POST", R"(/api/passes/(\d+)/correction)", Access::Api, &State::ApiCorrection);
        Route("GET", "/api/cameras", Access::Api, &State::ApiCameras);
    }

    // --- sign-in ---
    void SignInForm(const Request&, Response& res) { SendHtml(res, 200, SignInPage({})); }

    void SignIn(const Request& req, Response& res) {
        const auto now = WebSignInThrottle::Clock::now();
        const long long wait = throttle.SecondsToWait(req.remote_addr, now);
        if (wait > 0) {
            res.set_header("Retry-After", std::to_string(wait));
            SendHtml(res, 429, SignInPage("Too many wrong tokens. Try again in " + std::to_string(wait) + " s."));
            return;
        }
        if (!TokensEqual(req.get_param_value("token"), view.token)) {
            throttle.Failed(req.remote_addr, now);
            Log("wrong token at sign-in from " + req.remote_addr);
            SendHtml(res, 401, SignInPage("That token is not right."));
            return;
        }
        throttle.Succeeded(req.remote_addr);
        const std::string id = sessions.Open(WebSessions::Clock::now());
        res.set_header("Set-Cookie", std::string(kSessionCookie) + "=" + id +
                                         "; Max-Age=" + std::to_string(sessions.Lifetime().count()) +
                                         "; Path=/; HttpOnly; SameSite=Strict");
        Redirect(res, "/");
    }

    void SignOut(const Request& req, Response& res) {
        sessions.Close(CookieValue(req, kSessionCookie));
        res.set_header("Set-Cookie", std::string(kSessionCookie) + "=; Max-Age=0; Path=/; HttpOnly; SameSite=Strict");
        Redirect(res, "/signin");
    }

    void StyleSheet(const Request&, Response& res) { res.set_content(WebStyleSheet(), "text/css; charset=utf-8"); }
    void Script(const Request&, Response& res) { res.set_content(WebScript(), "text/javascript; charset=utf-8"); }

    // --- pages ---
    std::vector<std::string> CameraNames() const {
        std::vector<std::string> names;
        for (const CameraState& camera : view.cameras.Snapshot()) names.push_back(camera.name);
        return names;
    }

    void ListPage(const Request& req, Response& res) {
        WebPassSearch search;
        std::string error;
        if (!ParsePassSearch(req.params, kPassesPerPage, search, error)) {
            SendHtml(res, 400, PassListPage(search, {}, false, CameraNames(), "Search not understood: " + error));
            return;
        }
        PassQuery query = search.query;
        query.limit = kPassesPerPage + 1;
        query.offset = (search.page - 1) * kPassesPerPage;
        std::vector<StoredPass> passes = view.store.FindPasses(query);
        const bool more = passes.size() > static_cast<std::size_t>(kPassesPerPage);
        if (more) passes.resize(kPassesPerPage);
        SendHtml(res, 200, PassListPage(search, passes, more, CameraNames(), {}));
    }

    void OnePassPage(const Request& req, Response& res) {
        long long id = 0;
        const std::optional<StoredPass> pass = PassId(req, id) ? view.store.Pass(id) : std::nullopt;
        if (!pass) {
            SendHtml(res, 404, MessagePage("No such pass", "There is no pass " + req.matches[1].str() + "."));
            return;
        }
        const bool saved = req.get_param_value("corrected") == "1";
        SendHtml(res, 200, PassPage(*pass, saved ? "Correction saved." : "", false, {}));
    }

    void CorrectionForm(const Request& req, Response& res) {
        if (!SameOrigin(req, res)) return;
        long long id = 0;
        const std::optional<StoredPass> pass = PassId(req, id) ? view.store.Pass(id) : std::nullopt;
        if (!pass) {
            SendHtml(res, 404, MessagePage("No such pass", "There is no pass " + req.matches[1].str() + "."));
            return;
        }
        const std::string number = req.get_param_value("number");
        if (!std::regex_match(number, kEightDigits)) {
            SendHtml(res, 400,
                     PassPage(*pass, "A correction is exactly 8 digits, nothing else; not saved.", true,
                              number.substr(0, 32)));
            return;
        }
        if (!Correct(id, number)) {
            SendHtml(res, 404, MessagePage("No such pass", "There is no pass " + std::to_string(id) + "."));
            return;
        }
        Redirect(res, "/passes/" + std::to_string(id) + "?corrected=1");
    }

    // A form posted from another site is refused even when the browser
    // sent the cookie (SameSite=Strict already keeps it back): by the
    // browser's Sec-Fetch-Site, or by an Origin naming another host. With
    // Referrer-Policy no-referrer a browser sends "Origin: null" for the
    // page's own forms, so that one says nothing.
    bool SameOrigin(const Request& req, Response& res) {
        const std::string site = req.get_header_value("Sec-Fetch-Site");
        const std::string origin = req.get_header_value("Origin");
        const std::string host = req.get_header_value("Host");
        const bool crossSite = site == "cross-site" || site == "same-site";
        const bool otherOrigin =
            !origin.empty() && origin != "null" && origin != "http://" + host && origin != "https://" + host;
        if (!crossSite && !otherOrigin) return true;
        SendHtml(res, 403, MessagePage("Refused", "A form from another site cannot change this service."));
        return false;
    }

    bool Correct(long long id, const std::string& number) {
        const std::string at = IsoUtc(std::chrono::system_clock::now());
        const bool done = view.store.Correct(id, number, at, view.webhooks);
        if (done) Log("pass " + std::to_string(id) + " corrected to " + number);
        return done;
    }

    void Csv(const Request& req, Response& res) {
        WebPassSearch search;
        std::string error;
        if (!ParsePassSearch(req.params, kMostExported, search, error)) {
            res.status = 400;
            res.set_content("search not understood: " + error + "\n", "text/plain; charset=utf-8");
            return;
        }
        search.query.offset = 0;
        std::string csv = PassCsvHeader();
        for (const StoredPass& pass : view.store.FindPasses(search.query)) csv += PassCsvLine(pass);
        res.set_header("Content-Disposition", "attachment; filename=\"passes.csv\"");
        res.set_content(csv, "text/csv; charset=utf-8");
    }

    std::vector<CameraRow> CameraRows(TimeOfDay now) {
        const std::string today = IsoUtc(StartOfDay(now));
        std::vector<CameraRow> rows;
        for (const CameraState& camera : view.cameras.Snapshot()) {
            CameraRow row{camera, -1};
            try {
                row.passesToday = view.store.CountPasses(camera.name, today);
            } catch (const StoreError& error) {
                Log(std::string("cannot count passes: ") + error.what());
            }
            rows.push_back(row);
        }
        return rows;
    }

    void CamerasStatus(const Request&, Response& res) {
        const TimeOfDay now = std::chrono::system_clock::now();
        SendHtml(res, 200, CamerasPage(CameraRows(now), now));
    }

    // --- health and metrics ---
    void Health(const Request&, Response& res) {
        const std::vector<std::string> problems =
            HealthProblems(view.store, view.cameras.Snapshot(), std::chrono::system_clock::now(), startedAt);
        std::string text;
        for (const std::string& problem : problems) text += problem + "\n";
        res.status = problems.empty() ? 200 : 503;
        res.set_content(problems.empty() ? "ok\n" : text, "text/plain; charset=utf-8");
    }

    void Metrics(const Request&, Response& res) {
        std::optional<long long> outbox;
        try {
            outbox = view.store.OutboxLength();
        } catch (const StoreError& error) {
            Log(std::string("cannot read the outbox's length: ") + error.what());
        }
        const DeliveryCounts counts = view.deliveries ? view.deliveries() : DeliveryCounts{};
        res.set_content(MetricsText(view.cameras.Snapshot(), outbox, counts, std::chrono::system_clock::now()),
                        "text/plain; version=0.0.4; charset=utf-8");
    }

    // --- API ---
    void ApiPasses(const Request& req, Response& res) {
        WebPassSearch search;
        std::string error;
        if (!ParsePassSearch(req.params, 100, search, error)) {
            SendJson(res, 400, JsonError(error));
            return;
        }
        SendJson(res, 200, PassListJsonText(view.store.FindPasses(search.query)));
    }

    void ApiPass(const Request& req, Response& res) {
        long long id = 0;
        const std::optional<StoredPass> pass = PassId(req, id) ? view.store.Pass(id) : std::nullopt;
        if (!pass) {
            SendJson(res, 404, JsonError("no pass " + req.matches[1].str()));
            return;
        }
        JsonValue json = PassJson(*pass, true);
        json["crop"] =
            pass->cropPng.empty() ? JsonValue() : JsonValue("/api/passes/" + std::to_string(id) + "/crop.png");
        SendJson(res, 200, JsonLine(json));
    }

    void ApiCrop(const Request& req, Response& res) {
        long long id = 0;
        const std::optional<StoredPass> pass = PassId(req, id) ? view.store.Pass(id) : std::nullopt;
        if (!pass || pass->cropPng.empty()) {
            SendJson(
                res, 404,
                JsonError(pass ? "pass " + std::to_string(id) + " has no crop" : "no pass " + req.matches[1].str()));
            return;
        }
        res.set_content(std::string(pass->cropPng.begin(), pass->cropPng.end()), "image/png");
    }

    void ApiCorrection(const Request& req, Response& res) {
        const JsonValue body = JsonValue::parse(req.body, nullptr, false);
        if (body.is_discarded() || !body.is_object()) {
            SendJson(res, 400, JsonError("the body must be a JSON object such as {\"number\": \"52473063\"}"));
            return;
        }
        const auto number = body.find("number");
        if (number == body.end() || !number->is_string() ||
            !std::regex_match(number->get<std::string>(), kEightDigits)) {
            SendJson(res, 400, JsonError("number must be a text of exactly 8 digits"));
            return;
        }
        long long id = 0;
        if (!PassId(req, id) || !Correct(id, number->get<std::string>())) {
            SendJson(res, 404, JsonError("no pass " + req.matches[1].str()));
            return;
        }
        const std::optional<StoredPass> pass = view.store.Pass(id);
        SendJson(res, 200, pass ? PassJsonText(*pass, false) : JsonLine(JsonValue{{"id", id}}));
    }

    void ApiCameras(const Request&, Response& res) {
        const TimeOfDay now = std::chrono::system_clock::now();
        JsonValue list = JsonValue::array();
        for (const CameraRow& row : CameraRows(now)) {
            const CameraState& c = row.state;
            list.push_back(
                {{"name", c.name},
                 {"url", RedactedUrl(c.url)},
                 {"is_file", c.isFile},
                 {"connected", c.connected},
                 {"finished", c.finished},
                 {"frames_per_second", c.framesPerSecond},
                 {"last_frame", c.lastFrame ? JsonValue(IsoUtc(*c.lastFrame)) : JsonValue()},
                 {"seconds_since_last_frame",
                  c.lastFrame ? JsonValue(std::chrono::duration<double>(now - *c.lastFrame).count()) : JsonValue()},
                 {"frames_read", c.framesRead},
                 {"passes_stored", c.passesStored},
                 {"passes_today", row.passesToday < 0 ? JsonValue() : JsonValue(row.passesToday)},
                 {"recognition_seconds", c.recognitionSeconds},
                 {"last_error", c.lastError.empty() ? JsonValue() : JsonValue(c.lastError)}});
        }
        SendJson(res, 200, JsonLine(list));
    }
};

WebServer::WebServer(ServiceView view, std::ostream& log) : state_(std::make_unique<State>(std::move(view), log)) {}

WebServer::~WebServer() { Stop(); }

bool WebServer::Start(const std::string& listen, std::string& error) {
    State& s = *state_;
    if (s.started) {
        error = "the web server is already running";
        return false;
    }
    std::string host;
    int port = 0;
    if (!ParseListen(listen, host, port)) {
        error = "cannot listen on '" + listen + "': expected host:port, such as 127.0.0.1:8080";
        return false;
    }
    httplib::Server& server = s.server;
    // httplib's default also sets SO_REUSEPORT, which would let a second
    // service share the port unnoticed; only SO_REUSEADDR here.
    server.set_socket_options([](socket_t sock) {
        const int yes = 1;
        ::setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });
    // A browser keeps up to six connections open per page (the list's
    // thumbnails); each holds a thread while it idles, so idling is kept
    // short and there are threads for a few browsers at once.
    server.new_task_queue = [] { return new httplib::ThreadPool(16); };
    server.set_keep_alive_timeout(2);
    server.set_payload_max_length(64 * 1024);
    server.set_read_timeout(10, 0);
    server.set_write_timeout(10, 0);
    const httplib::Headers guards = {{"Content-Security-Policy", "default-src 'self'; frame-ancestors 'none'"},
                                     {"X-Content-Type-Options", "nosniff"},
                                     {"X-Frame-Options", "DENY"},
                                     {"Referrer-Policy", "no-referrer"},
                                     {"Cache-Control", "no-store"}};
    server.set_post_routing_handler([guards](const Request&, Response& res) {
        for (const auto& [name, value] : guards) {
            if (!res.has_header(name.c_str())) res.set_header(name.c_str(), value);
        }
    });
    server.set_pre_routing_handler([](const Request& req, Response& res) {
        if (!SuspiciousPath(req.path)) return httplib::Server::HandlerResponse::Unhandled;
        res.status = 404;
        return httplib::Server::HandlerResponse::Handled;
    });
    server.set_error_handler(httplib::Server::HandlerWithResponse([](const Request& req, Response& res) {
        if (!res.body.empty()) return httplib::Server::HandlerResponse::Unhandled;
        const std::string what = res.status == 404   ? "not found"
                                 : res.status == 400 ? "bad request"
                                 : res.status == 413 ? "request too large"
                                                     : "HTTP " + std::to_string(res.status);
        if (req.path.rfind("/api/", 0) == 0)
            res.set_content(JsonError(what), "application/json");
        else
            res.set_content(what + "\n", "text/plain; charset=utf-8");
        return httplib::Server::HandlerResponse::Handled;
    }));
    s.Routes();
    if (port == 0) {
        port = server.bind_to_any_port(host);
        if (port <= 0) {
            error = "cannot listen on " + listen + ": " + BindFailure(host, 0);
            return false;
        }
    } else if (!server.bind_to_port(host, port)) {
        error = "cannot listen on " + listen + ": " + BindFailure(host, port);
        return false;
    }
    s.port = port;
    s.started = true;
    s.startedAt = std::chrono::system_clock::now();
    s.thread = std::thread([&server] { server.listen_after_bind(); });
    // A stop before the accept loop runs would be missed and leave the
    // loop waiting for ever: Start returns once it runs.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!server.is_running() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    s.Log("listening on " + host + ":" + std::to_string(port));
    return true;
}

void WebServer::Stop() {
    State& s = *state_;
    if (!s.started) return;
    s.server.stop();
    if (s.thread.joinable()) s.thread.join();
    s.started = false;
}

int WebServer::Port() const { return state_->port; }

}  // namespace kalvero
