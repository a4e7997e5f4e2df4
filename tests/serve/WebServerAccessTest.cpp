// Who gets in: the sign-in, the session cookie, the token, refusals of every
// guarded route, path tricks and the headers every answer carries.
#include <regex>
#include <thread>

#include "WebTestServer.h"
#include "serve/WebSessions.h"
#include "serve/WebSignInThrottle.h"
#include "serve/WebTokenCompare.h"

namespace kalvero {
namespace {

class WebServerAccess : public ::testing::Test {
protected:
    void SetUp() override {
        web.memory.AddPass(WebSamplePass("east", "52473063", "2026-12-08T10:00:00.000Z"), {});
        web.board.Add("east", "rtsp://east/stream", false);
        web.Start();
    }
    WebTestServer web;
};

TEST_F(WebServerAccess, RightTokenGivesAStrictHttpOnlySessionCookieThatOpensThePages) {
    httplib::Client client = web.Client();
    const auto res = client.Post("/signin", httplib::Params{{"token", kWebTestToken}});
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 303);
    EXPECT_EQ(res->get_header_value("Location"), "/");
    const std::string cookie = res->get_header_value("Set-Cookie");
    EXPECT_TRUE(std::regex_search(cookie, std::regex("^kalvero_session=[0-9a-f]{64};"))) << cookie;
    EXPECT_NE(cookie.find("; HttpOnly"), std::string::npos) << cookie;
    EXPECT_NE(cookie.find("; SameSite=Strict"), std::string::npos) << cookie;
    EXPECT_NE(cookie.find("; Path=/"), std::string::npos) << cookie;
    EXPECT_NE(cookie.find("; Max-Age=43200"), std::string::npos) << cookie;

    const std::string pair = cookie.substr(0, cookie.find(';'));
    const auto page = client.Get("/", {{"Cookie", pair}});
    ASSERT_TRUE(page);
    EXPECT_EQ(page->status, 200);
    EXPECT_NE(page->body.find("52473063"), std::string::npos);
    EXPECT_NE(web.SignIn(), pair) << "every sign-in gets its own session";
}

TEST_F(WebServerAccess, WrongTokenGivesTheSignInPageAgainWithAMessageAndNoCookie) {
    httplib::Client client = web.Client();
    for (const std::string wrong : {"s3cret-tokeN", "s3cret-token ", "", "s3cret"}) {
        const auto res = client.Post("/signin", httplib::Params{{"token", wrong}});
        ASSERT_TRUE(res);
        EXPECT_EQ(res->status, 401) << wrong;
        EXPECT_FALSE(res->has_header("Set-Cookie")) << wrong;
        EXPECT_NE(res->body.find("not right"), std::string::npos) << wrong;
        EXPECT_NE(res->body.find("action=\"/signin\""), std::string::npos) << wrong;
    }
}

TEST_F(WebServerAccess, RepeatedWrongTokensMakeTheAddressWaitEvenWithTheRightOne) {
    httplib::Client client = web.Client();
    for (int i = 0; i < WebSignInThrottle::kFreeTries + 1; ++i) {
        const auto res = client.Post("/signin", httplib::Params{{"token", "guess"}});
        ASSERT_TRUE(res);
        EXPECT_EQ(res->status, 401);
    }
    const auto blocked = client.Post("/signin", httplib::Params{{"token", kWebTestToken}});
    ASSERT_TRUE(blocked);
    EXPECT_EQ(blocked->status, 429);
    EXPECT_TRUE(blocked->has_header("Retry-After"));
    EXPECT_FALSE(blocked->has_header("Set-Cookie"));
    const auto api = client.Get("/api/passes", web.Bearer());
    ASSERT_TRUE(api);
    EXPECT_EQ(api->status, 429) << "the API's token is slowed down by the same count";
}

TEST_F(WebServerAccess, SignOutEndsTheSession) {
    const std::string cookie = web.SignIn();
    ASSERT_FALSE(cookie.empty());
    httplib::Client client = web.Client();
    const auto out = client.Post("/signout", {{"Cookie", cookie}}, "", "application/x-www-form-urlencoded");
    ASSERT_TRUE(out);
    EXPECT_EQ(out->status, 303);
    EXPECT_NE(out->get_header_value("Set-Cookie").find("Max-Age=0"), std::string::npos);
    const auto after = client.Get("/api/passes", {{"Cookie", cookie}});
    ASSERT_TRUE(after);
    EXPECT_EQ(after->status, 401);
}

TEST_F(WebServerAccess, OpenRoutesNeedNothing) {
    httplib::Client client = web.Client();
    for (const char* path : {"/signin", "/style.css", "/healthz"}) {
        const auto res = client.Get(path);
        ASSERT_TRUE(res) << path;
        EXPECT_NE(res->status, 401) << path;
        EXPECT_NE(res->status, 303) << path;
        EXPECT_NE(res->status, 404) << path;
    }
}

TEST_F(WebServerAccess, EveryAnswerCarriesTheSecurityHeaders) {
    httplib::Client client = web.Client();
    for (const char* path : {"/signin", "/nowhere", "/api/passes", "/healthz"}) {
        const auto res = client.Get(path);
        ASSERT_TRUE(res) << path;
        EXPECT_EQ(res->get_header_value("Content-Security-Policy").rfind("default-src 'self'", 0), 0u) << path;
        EXPECT_EQ(res->get_header_value("X-Content-Type-Options"), "nosniff") << path;
        EXPECT_EQ(res->get_header_value("X-Frame-Options"), "DENY") << path;
        EXPECT_EQ(res->get_header_value("Referrer-Policy"), "no-referrer") << path;
    }
}

TEST_F(WebServerAccess, PagesHoldNoInlineScriptNorOutsideResource) {
    const std::string cookie = web.SignIn();
    httplib::Client client = web.Client();
    for (const char* path : {"/", "/passes/1", "/cameras", "/signin"}) {
        const auto res = client.Get(path, {{"Cookie", cookie}});
        ASSERT_TRUE(res) << path;
        ASSERT_EQ(res->status, 200) << path;
        EXPECT_FALSE(std::regex_search(res->body, std::regex("<script>|<script [^>]*>[^<]"))) << path;
        EXPECT_FALSE(std::regex_search(res->body, std::regex(R"((src|href)="(https?:)?//)"))) << path;
        EXPECT_EQ(res->body.find(" style=\""), std::string::npos) << path;
        EXPECT_FALSE(std::regex_search(res->body, std::regex(" on[a-z]+="))) << path << ": inline event handler";
    }
}

TEST_F(WebServerAccess, CrossSiteFormPostIsRefusedAndTheSameSitesIsTaken) {
    const std::string cookie = web.SignIn();
    httplib::Client client = web.Client();
    const std::string self = "http://127.0.0.1:" + std::to_string(web.Port());
    const httplib::Headers refused[] = {{{"Cookie", cookie}, {"Origin", "https://evil.example"}},
                                        {{"Cookie", cookie}, {"Origin", self + ".evil.example"}},
                                        {{"Cookie", cookie}, {"Sec-Fetch-Site", "cross-site"}},
                                        {{"Cookie", cookie}, {"Origin", "null"}, {"Sec-Fetch-Site", "same-site"}}};
    for (const httplib::Headers& headers : refused) {
        const auto res =
            client.Post("/passes/1/correction", headers, "number=11111111", "application/x-www-form-urlencoded");
        ASSERT_TRUE(res);
        EXPECT_EQ(res->status, 403) << headers.begin()->second;
        EXPECT_TRUE(web.memory.Pass(1)->correctedNumber.empty());
    }
    // What a browser sends for the page's own form under no-referrer.
    const auto res =
        client.Post("/passes/1/correction", {{"Cookie", cookie}, {"Origin", "null"}, {"Sec-Fetch-Site", "same-origin"}},
                    "number=11111111", "application/x-www-form-urlencoded");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 303);
    EXPECT_EQ(web.memory.Pass(1)->correctedNumber, "11111111");
}

// Every guarded route, asked without the session or the token.
struct GuardedRoute {
    const char* method;
    const char* path;
    bool api;  // answers 401 (else redirects to sign-in)
};
void PrintTo(const GuardedRoute& route, std::ostream* out) { *out << route.method << " " << route.path; }

class WebServerGuardedRoute : public WebServerAccess, public ::testing::WithParamInterface<GuardedRoute> {
protected:
    httplib::Result Ask(const httplib::Headers& headers) {
        httplib::Client client = web.Client();
        const GuardedRoute& route = GetParam();
        if (std::string(route.method) == "POST") {
            return client.Post(route.path, headers, "{\"number\": \"11111111\"}", "application/json");
        }
        return client.Get(route.path, headers);
    }
    void ExpectRefused(const httplib::Result& res) {
        ASSERT_TRUE(res);
        if (GetParam().api) {
            EXPECT_EQ(res->status, 401);
            EXPECT_NE(res->body.find("\"error\""), std::string::npos);
        } else {
            EXPECT_EQ(res->status, 303);
            EXPECT_EQ(res->get_header_value("Location"), "/signin");
        }
        EXPECT_EQ(res->body.find("52473063"), std::string::npos) << "no data in a refusal";
        EXPECT_TRUE(web.memory.Pass(1)->correctedNumber.empty()) << "a refused POST changed the pass";
    }
};

TEST_P(WebServerGuardedRoute, IsRefusedWithoutTheSessionOrTheToken) { ExpectRefused(Ask({})); }

TEST_P(WebServerGuardedRoute, IsRefusedWithAForgedCookieOrAWrongToken) {
    ExpectRefused(Ask({{"Cookie", "kalvero_session=" + std::string(64, 'a')}}));
    ExpectRefused(Ask({{"Authorization", "Bearer s3cret-tokeM"}}));
    ExpectRefused(Ask({{"Authorization", std::string("Basic ") + kWebTestToken}}));
}

TEST_P(WebServerGuardedRoute, IsOpenToTheTokenAndToTheSession) {
    for (const httplib::Headers& headers :
         {web.Bearer(), httplib::Headers{{"Cookie", web.SignIn()}},
          httplib::Headers{{"Authorization", std::string("bearer ") + kWebTestToken}}}) {
        const auto res = Ask(headers);
        ASSERT_TRUE(res);
        EXPECT_NE(res->status, 401);
        EXPECT_NE(res->status, 404);
        if (std::string(GetParam().path) == "/signout") {
            EXPECT_NE(res->get_header_value("Set-Cookie").find("Max-Age=0"), std::string::npos);
        } else {
            EXPECT_FALSE(res->status == 303 && res->get_header_value("Location") == "/signin");
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Routes, WebServerGuardedRoute,
    ::testing::Values(GuardedRoute{"GET", "/", false}, GuardedRoute{"GET", "/app.js", false},
                      GuardedRoute{"GET", "/passes/1", false}, GuardedRoute{"POST", "/passes/1/correction", false},
                      GuardedRoute{"GET", "/passes.csv", false}, GuardedRoute{"GET", "/cameras", false},
                      GuardedRoute{"POST", "/signout", false}, GuardedRoute{"GET", "/metrics", true},
                      GuardedRoute{"GET", "/api/passes", true}, GuardedRoute{"GET", "/api/passes/1", true},
                      GuardedRoute{"GET", "/api/passes/1/crop.png", true},
                      GuardedRoute{"POST", "/api/passes/1/correction", true},
                      GuardedRoute{"GET", "/api/cameras", true}));

// Paths that try to reach anything but the service's own pages, asked
// with the token: nothing but 404.
class WebServerPathTrick : public WebServerAccess, public ::testing::WithParamInterface<const char*> {};

TEST_P(WebServerPathTrick, IsNotFound) {
    httplib::Client client = web.Client();
    const auto res = client.Get(GetParam(), web.Bearer());
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 404);
    EXPECT_EQ(res->body.find("root:"), std::string::npos);
    EXPECT_EQ(res->body.find("52473063"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Paths, WebServerPathTrick,
                         ::testing::Values("/../etc/passwd", "/../../../../etc/passwd", "/%2e%2e/%2e%2e/etc/passwd",
                                           "/%2E%2E%2F%2E%2E%2Fetc%2Fpasswd", "//etc/passwd", "/etc/passwd",
                                           "/style.css/../app.js", "/api/../healthz", "/api/passes/../passes",
                                           "/api//passes", "/passes/1/../../etc/passwd", "/%252e%252e/etc/passwd",
                                           "/..%5c..%5cetc%5cpasswd", "/serve/WebServer.cpp", "/index.html",
                                           "/api/passes/1x", "/api/passes/-1", "/api/passes/0",
                                           "/api/passes/99999999999999999999999", "/passes/1/crop.png/.."));

TEST(WebServerStart, ABusyPortOrABadAddressIsRefusedWithAMessage) {
    WebTestServer first;
    first.Start();
    MemoryPassStore store;
    CameraBoard board;
    std::ostringstream log;
    WebServer second(ServiceView{store, board, {}, {}, kWebTestToken}, log);
    std::string error;
    EXPECT_FALSE(second.Start("127.0.0.1:" + std::to_string(first.Port()), error));
    EXPECT_EQ(error, "cannot listen on 127.0.0.1:" + std::to_string(first.Port()) + ": address in use");
    for (const char* bad :
         {"8080", "127.0.0.1:", ":8080", "127.0.0.1:http", "127.0.0.1:70000", "no.such.host.invalid:8080"}) {
        error.clear();
        EXPECT_FALSE(second.Start(bad, error)) << bad;
        EXPECT_NE(error.find("cannot listen on"), std::string::npos) << bad << ": " << error;
    }
}

TEST(WebTokensEqual, OnlyTheWholeTokenMatchesAndAnEmptyTokenMatchesNothing) {
    EXPECT_TRUE(TokensEqual("abc", "abc"));
    EXPECT_FALSE(TokensEqual("abd", "abc"));
    EXPECT_FALSE(TokensEqual("ab", "abc"));
    EXPECT_FALSE(TokensEqual("abcd", "abc"));
    EXPECT_FALSE(TokensEqual("", ""));
}

TEST(WebSessions, ExpireAfterTheirLifetimeAndMakeRoomForNewOnes) {
    WebSessions sessions(std::chrono::seconds(10), 2);
    const auto t0 = WebSessions::Clock::time_point{} + std::chrono::hours(1);
    const std::string a = sessions.Open(t0);
    EXPECT_TRUE(sessions.Valid(a, t0 + std::chrono::seconds(9)));
    EXPECT_FALSE(sessions.Valid(a, t0 + std::chrono::seconds(10)));
    EXPECT_FALSE(sessions.Valid(a, t0)) << "an expired session stays ended";

    const std::string b = sessions.Open(t0);
    const std::string c = sessions.Open(t0 + std::chrono::seconds(1));
    const std::string d = sessions.Open(t0 + std::chrono::seconds(2));
    EXPECT_FALSE(sessions.Valid(b, t0 + std::chrono::seconds(3))) << "the one closest to expiring made room";
    EXPECT_TRUE(sessions.Valid(c, t0 + std::chrono::seconds(3)));
    EXPECT_TRUE(sessions.Valid(d, t0 + std::chrono::seconds(3)));
    sessions.Close(d);
    EXPECT_FALSE(sessions.Valid(d, t0 + std::chrono::seconds(3)));
    EXPECT_FALSE(sessions.Valid("", t0));
}

TEST(WebSignInThrottle, WaitsDoubleAfterTheFreeTriesUpToACapAndARightTokenClears) {
    WebSignInThrottle throttle;
    const auto t0 = WebSignInThrottle::Clock::time_point{} + std::chrono::hours(1);
    for (int i = 0; i < WebSignInThrottle::kFreeTries; ++i) throttle.Failed("a", t0);
    EXPECT_EQ(throttle.SecondsToWait("a", t0), 0);
    throttle.Failed("a", t0);
    EXPECT_EQ(throttle.SecondsToWait("a", t0), 1);
    throttle.Failed("a", t0);
    EXPECT_EQ(throttle.SecondsToWait("a", t0), 2);
    throttle.Failed("a", t0);
    EXPECT_EQ(throttle.SecondsToWait("a", t0), 4);
    for (int i = 0; i < 20; ++i) throttle.Failed("a", t0);
    EXPECT_EQ(throttle.SecondsToWait("a", t0), WebSignInThrottle::kLongestWait.count());
    EXPECT_EQ(throttle.SecondsToWait("a", t0 + WebSignInThrottle::kLongestWait), 0);
    EXPECT_EQ(throttle.SecondsToWait("b", t0), 0) << "another address is not held up";
    throttle.Succeeded("a");
    throttle.Failed("a", t0);
    EXPECT_EQ(throttle.SecondsToWait("a", t0), 0);
}

}  // namespace
}  // namespace kalvero
