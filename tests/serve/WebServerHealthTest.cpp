// /healthz and /metrics: when the service says it is unwell, and the
// figures it gives Prometheus.
#include <atomic>
#include <map>
#include <regex>

#include "WebTestServer.h"
#include "serve/HealthCheck.h"
#include "serve/MetricsText.h"

namespace kalvero {
namespace {

using std::chrono::seconds;

const TimeOfDay kNow = *ParseIsoUtc("2026-12-08T12:00:00.000Z");

CameraState Camera(const std::string& name, bool isFile, std::optional<seconds> lastFrameAgo, bool finished = false) {
    CameraState state;
    state.name = name;
    state.isFile = isFile;
    state.finished = finished;
    if (lastFrameAgo) state.lastFrame = kNow - *lastFrameAgo;
    return state;
}

struct HealthCase {
    const char* what;
    CameraState camera;
    seconds serviceRunning;
    bool healthy;
};
void PrintTo(const HealthCase& c, std::ostream* out) { *out << c.what; }

class WebHealthProblems : public ::testing::TestWithParam<HealthCase> {};

TEST_P(WebHealthProblems, JudgeEachCamera) {
    MemoryPassStore store;
    const HealthCase& c = GetParam();
    const std::vector<std::string> problems = HealthProblems(store, {c.camera}, kNow, kNow - c.serviceRunning);
    EXPECT_EQ(problems.empty(), c.healthy) << c.what << (problems.empty() ? "" : ": " + problems[0]);
    if (!problems.empty()) {
        EXPECT_NE(problems[0].find("camera " + c.camera.name), std::string::npos);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cameras, WebHealthProblems,
    ::testing::Values(
        HealthCase{"stream with a frame 5 s ago", Camera("a", false, seconds(5)), seconds(600), true},
        HealthCase{"stream with a frame 59 s ago", Camera("a", false, seconds(59)), seconds(600), true},
        HealthCase{"stream silent 61 s", Camera("a", false, seconds(61)), seconds(600), false},
        HealthCase{"stream silent an hour", Camera("a", false, seconds(3600)), seconds(7200), false},
        HealthCase{"stream never heard, service just up", Camera("a", false, std::nullopt), seconds(10), true},
        HealthCase{"stream never heard, service up 61 s", Camera("a", false, std::nullopt), seconds(61), false},
        HealthCase{"file read long ago", Camera("a", true, seconds(3600)), seconds(7200), true},
        HealthCase{"file never read", Camera("a", true, std::nullopt), seconds(7200), true},
        HealthCase{"stream given up", Camera("a", false, seconds(3600), true), seconds(7200), true}));

TEST(WebHealthProblemsStore, AStoreThatTakesNoWriteIsAProblemWithItsReason) {
    MemoryPassStore store;
    store.failWrites = true;
    const std::vector<std::string> problems =
        HealthProblems(store, {Camera("a", false, seconds(1)), Camera("b", false, seconds(300))}, kNow, kNow);
    ASSERT_EQ(problems.size(), 2u);
    EXPECT_EQ(problems[0], "store not writable: the store is failing on purpose");
    EXPECT_EQ(problems[1], "camera b: no frame for 300 s");
}

// A store whose writes can be made to fail while the server reads it.
class SwitchableStore : public MemoryPassStore {
public:
    bool Writable(std::string& reason) override {
        if (failing) reason = "disk full";
        return !failing;
    }
    std::atomic<bool> failing{false};
};

TEST(WebServerHealth, HealthzIsOkOrListsEveryReasonWithoutAToken) {
    SwitchableStore store;
    WebTestServer web(&store);
    web.board.Add("east", "rtsp://east", false);
    web.board.Add("gate", "/videos/gate.mp4", true);
    web.board.FrameRead("east", std::chrono::system_clock::now(), 0.01);
    web.Start();
    httplib::Client client = web.Client();
    auto res = client.Get("/healthz");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);
    EXPECT_EQ(res->body, "ok\n");

    store.failing = true;
    web.board.FrameRead("east", std::chrono::system_clock::now() - std::chrono::seconds(90), 0.01);
    res = client.Get("/healthz");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 503);
    EXPECT_TRUE(
        std::regex_match(res->body, std::regex("store not writable: disk full\ncamera east: no frame for 9[0-9] s\n")))
        << res->body;
}

// Prometheus's text format, read back: every sample line is
// name{label="value",...} number, every family has HELP and TYPE first.
struct Sample {
    std::string name;
    std::map<std::string, std::string> labels;
    double value = 0;
};

std::vector<Sample> ParseExposition(const std::string& text) {
    static const std::regex sampleLine(R"(^([a-zA-Z_:][a-zA-Z0-9_:]*)(\{(.*)\})? ([^ ]+)$)");
    static const std::regex label(R"re(([a-zA-Z_][a-zA-Z0-9_]*)="((?:[^"\\]|\\.)*)",?)re");
    std::vector<Sample> samples;
    std::map<std::string, int> described;  // HELP = 1, TYPE = 2
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        std::smatch m;
        if (line.rfind("# HELP ", 0) == 0) {
            described[line.substr(7, line.find(' ', 7) - 7)] |= 1;
            continue;
        }
        if (line.rfind("# TYPE ", 0) == 0) {
            EXPECT_TRUE(std::regex_search(line, std::regex(" (counter|gauge)$"))) << line;
            described[line.substr(7, line.find(' ', 7) - 7)] |= 2;
            continue;
        }
        if (!std::regex_match(line, m, sampleLine)) {
            ADD_FAILURE() << "not a sample line: " << line;
            continue;
        }
        Sample sample;
        sample.name = m[1];
        EXPECT_EQ(described[sample.name], 3) << sample.name << " without HELP and TYPE before it";
        const std::string labels = m[3];
        for (std::sregex_iterator it(labels.begin(), labels.end(), label), end; it != end; ++it) {
            std::string value = (*it)[2];
            value = std::regex_replace(value, std::regex(R"(\\n)"), "\n");
            value = std::regex_replace(value, std::regex(R"(\\(["\\]))"), "$1");
            sample.labels[(*it)[1]] = value;
        }
        const std::string number = m[4];
        sample.value = number == "+Inf" ? HUGE_VAL : std::stod(number);
        samples.push_back(sample);
    }
    return samples;
}

double Value(const std::vector<Sample>& samples, const std::string& name, const std::string& camera = {}) {
    for (const Sample& s : samples) {
        if (s.name == name && (camera.empty() || (s.labels.count("camera") && s.labels.at("camera") == camera)))
            return s.value;
    }
    ADD_FAILURE() << "no sample " << name << " for camera '" << camera << "'";
    return -1;
}

TEST(WebServerMetrics, GivesEveryFigureParseablyWithEscapedLabelsAndNeedsTheToken) {
    WebTestServer web;
    const std::string odd = "yard \"A\"\\gate\n2";
    web.board.Add("east", "rtsp://east", false);
    web.board.Add(odd, "rtsp://odd", false);
    const TimeOfDay now = std::chrono::system_clock::now();
    web.board.FrameRead("east", now - std::chrono::seconds(2), 0.25);
    web.board.FrameRead("east", now - std::chrono::seconds(1), 0.5);
    web.board.PassStored("east");
    web.memory.AddPass(WebSamplePass("east", "52473063", "2026-12-08T10:00:00.000Z"),
                       {"http://a/hook", "http://b/hook"});
    web.counts = DeliveryCounts{7, 3, 1};
    web.Start();
    httplib::Client client = web.Client();
    const auto refused = client.Get("/metrics");
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->status, 401);

    const auto res = client.Get("/metrics", web.Bearer());
    ASSERT_TRUE(res);
    ASSERT_EQ(res->status, 200);
    EXPECT_EQ(res->get_header_value("Content-Type"), "text/plain; version=0.0.4; charset=utf-8");
    const std::vector<Sample> samples = ParseExposition(res->body);
    EXPECT_EQ(Value(samples, "kalvero_frames_read_total", "east"), 2);
    EXPECT_EQ(Value(samples, "kalvero_frames_read_total", odd), 0) << "the odd name's label came back whole";
    EXPECT_EQ(Value(samples, "kalvero_passes_total", "east"), 1);
    EXPECT_EQ(Value(samples, "kalvero_camera_connected", "east"), 1);
    EXPECT_EQ(Value(samples, "kalvero_camera_connected", odd), 0);
    const double silent = Value(samples, "kalvero_camera_seconds_since_last_frame", "east");
    EXPECT_GE(silent, 1.0);
    EXPECT_LT(silent, 30.0);
    EXPECT_EQ(Value(samples, "kalvero_camera_seconds_since_last_frame", odd), HUGE_VAL);
    EXPECT_DOUBLE_EQ(Value(samples, "kalvero_recognition_seconds_total", "east"), 0.75);
    EXPECT_EQ(Value(samples, "kalvero_webhook_outbox_length"), 2);
    EXPECT_EQ(Value(samples, "kalvero_webhook_delivered_total"), 7);
    EXPECT_EQ(Value(samples, "kalvero_webhook_failures_total"), 3);
    EXPECT_EQ(Value(samples, "kalvero_webhook_dropped_total"), 1);
}

}  // namespace
}  // namespace kalvero
