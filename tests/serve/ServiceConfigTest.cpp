// kalvero-serve's configuration: a file with every key gives every value,
// and each kind of mistake is refused with the line it is on.
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "StoreTestSupport.h"
#include "cli/ReaderOptions.h"
#include "serve/ServiceConfig.h"

namespace kalvero {
namespace {

// A folder of this test process's own, removed as it ends.
const std::string& TestFolder() {
    static const TemporaryFolder folder;
    return folder.path();
}

void WriteText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

TEST(ServiceConfig, AFileWithEveryKeyGivesEveryValue) {
    WriteText(TestFolder() + "/token.txt", "s3cret-token\n");
    const std::string text =
        "storage: postgresql://kalvero:pw@db/yard\n"
        "http:\n"
        "  listen: 0.0.0.0:9090\n"
        "  token_file: token.txt\n"
        "cameras:\n"
        "  - name: east\n"
        "    url: rtsp://user:pw@camera-east:554/stream1\n"
        "    zone: [0, 110, 640, 80]\n"
        "    engine: glyph\n"
        "    zoom: 0.5\n"
        "    digit_height: 30\n"
        "    depth: 40\n"
        "    threshold: 7\n"
        "  - name: archive\n"
        "    url: videos/monday.mp4\n"
        "  - name: yard\n"
        "    url: udp://@:5000\n"
        "webhooks:\n"
        "  - url: https://yard.example/passes\n"
        "    secret: hmac-key\n"
        "  - url: http://10.0.0.2:8000/in\n";
    const std::string path = TestFolder() + "/every.yaml";
    WriteText(path, text);
    ServiceConfig config;
    std::string error;
    ASSERT_TRUE(LoadServiceConfig(path, config, error)) << error;

    EXPECT_EQ(config.storage, "postgresql://kalvero:pw@db/yard");
    EXPECT_EQ(config.listen, "0.0.0.0:9090");
    EXPECT_EQ(config.token, "s3cret-token");  // the file's line end is no part of it
    ASSERT_EQ(config.cameras.size(), 3u);
    const CameraConfig& east = config.cameras[0];
    EXPECT_EQ(east.name, "east");
    EXPECT_EQ(east.url, "rtsp://user:pw@camera-east:554/stream1");
    EXPECT_FALSE(east.isFile);
    EXPECT_TRUE(east.hasZone);
    EXPECT_EQ(east.zone, cv::Rect(0, 110, 640, 80));
    EXPECT_EQ(east.engine, RecognitionEngine::Glyph);
    EXPECT_FLOAT_EQ(east.zoom, 0.5f);
    EXPECT_EQ(east.digitHeight, 30);
    EXPECT_EQ(east.depth, 40);
    EXPECT_EQ(east.threshold, 7);
    EXPECT_EQ(east.line, 6);
    const CameraConfig& archive = config.cameras[1];
    EXPECT_TRUE(archive.isFile);
    EXPECT_EQ(archive.url, TestFolder() + "/videos/monday.mp4");  // from the configuration's folder
    EXPECT_FALSE(archive.hasZone);
    EXPECT_EQ(archive.engine, RecognitionEngine::Learned);
    EXPECT_FLOAT_EQ(archive.zoom, 1.0f);
    EXPECT_EQ(archive.digitHeight, 0);
    EXPECT_FALSE(archive.depth);
    EXPECT_FALSE(archive.threshold);
    EXPECT_FALSE(config.cameras[2].isFile);
    ASSERT_EQ(config.webhooks.size(), 2u);
    EXPECT_EQ(config.webhooks[0].url, "https://yard.example/passes");
    EXPECT_EQ(config.webhooks[0].secret, "hmac-key");
    EXPECT_EQ(config.webhooks[1].secret, "");
}

TEST(ServiceConfig, WhatIsLeftOutTakesItsDefault) {
    ServiceConfig config;
    std::string error;
    ASSERT_TRUE(ParseServiceConfig("http:\n  token: t\ncameras:\n  - name: a\n    url: /v.avi\n", "k.yaml", "",
                                   config, error))
        << error;
    EXPECT_EQ(config.storage, "/var/lib/kalvero/passes.db");
    EXPECT_EQ(config.listen, "127.0.0.1:8080");
    EXPECT_EQ(config.cameras.at(0).url, "/v.avi");
    EXPECT_TRUE(config.webhooks.empty());
}

// The reader takes back what the configuration read, the same values with
// its own defaults filled in (a zoom at the bottom of its range included).
TEST(ServiceConfig, TheReaderTakesEachCameraAsConfigured) {
    ServiceConfig config;
    std::string error;
    ASSERT_TRUE(ParseServiceConfig("http: {token: t}\n"
                                   "cameras:\n"
                                   "  - {name: a, url: http://h/s.ts, zone: [1, 2, 30, 40], zoom: 0.3,"
                                   " engine: glyph, depth: 9, threshold: 9}\n"
                                   "  - {name: b, url: -odd.avi, digit_height: 200}\n"
                                   "  - {name: c, url: c.avi, engine: glyph}\n",
                                   "k.yaml", "", config, error))
        << error;
    ReaderOptions a;
    ASSERT_TRUE(ParseReaderOptions(ReaderArguments(config.cameras[0]), a).ok());
    EXPECT_EQ(a.file, "http://h/s.ts");
    EXPECT_EQ(a.zone, cv::Rect(1, 2, 30, 40));
    EXPECT_FLOAT_EQ(a.zoom, 0.3f);
    EXPECT_EQ(a.engine, RecognitionEngine::Glyph);
    EXPECT_EQ(a.depth, 9);
    EXPECT_EQ(a.threshold, 9);
    ReaderOptions b;
    ASSERT_TRUE(ParseReaderOptions(ReaderArguments(config.cameras[1]), b).ok());
    EXPECT_EQ(b.file, "-odd.avi");  // a name like an option is still the input
    EXPECT_EQ(b.digitHeight, 200);
    EXPECT_EQ(b.depth, 30);
    ReaderOptions c;
    ASSERT_TRUE(ParseReaderOptions(ReaderArguments(config.cameras[2]), c).ok());
    EXPECT_EQ(c.digitHeight, kDefaultGlyphDigitHeight);
}

struct BadConfig {
    const char* what;
    const char* text;
    int line;
    const char* says;
};

void PrintTo(const BadConfig& bad, std::ostream* os) { *os << bad.what; }

class ServiceConfigRefuses : public ::testing::TestWithParam<BadConfig> {};

TEST_P(ServiceConfigRefuses, WithTheLineAndWhatIsWrong) {
    const BadConfig& bad = GetParam();
    const std::string path = TestFolder() + "/kalvero.yaml";
    WriteText(path, bad.text);
    ServiceConfig config;
    config.storage = "left over";
    std::string error;
    ASSERT_FALSE(LoadServiceConfig(path, config, error));
    EXPECT_EQ(error.rfind(path + ":" + std::to_string(bad.line) + ": ", 0), 0u) << error;
    EXPECT_NE(error.find(bad.says), std::string::npos) << error;
    EXPECT_EQ(error.find('\n'), std::string::npos) << error;
    EXPECT_TRUE(config.cameras.empty());
}

// Every text starts with a sound http block on lines 1-2 and a first
// camera on lines 4-5, unless it is about them.
#define HEAD "http:\n  token: t\ncameras:\n  - name: east\n    url: rtsp://cam/1\n"

INSTANTIATE_TEST_SUITE_P(
    Mistakes, ServiceConfigRefuses,
    ::testing::Values(
        BadConfig{"unknown camera key", HEAD "    zome: [0, 0, 10, 10]\n", 6, "unknown key 'zome' in camera 'east'"},
        BadConfig{"unknown top key", HEAD "storge: x.db\n", 6, "unknown key 'storge'"},
        BadConfig{"unknown http key", "http:\n  token: t\n  port: 80\n", 3, "unknown key 'port' in http"},
        BadConfig{"unknown webhook key", HEAD "webhooks:\n  - url: http://h/\n    secrets: k\n", 8,
                  "unknown key 'secrets' in a webhook"},
        BadConfig{"key twice", HEAD "    url: rtsp://cam/2\n", 6, "key 'url' given twice in camera 'east'"},
        BadConfig{"camera without name", HEAD "  - url: rtsp://cam/2\n", 6, "a camera has no name"},
        BadConfig{"camera without url", HEAD "  - name: west\n", 6, "camera 'west' has no url"},
        BadConfig{"empty name", HEAD "  - name: ''\n    url: rtsp://cam/2\n", 6, "name needs a value"},
        BadConfig{"same name twice", HEAD "  - name: east\n    url: rtsp://cam/2\n", 6,
                  "camera name 'east' is used twice (first at line 4)"},
        BadConfig{"unknown scheme", HEAD "  - name: west\n    url: ftp://cam/2\n", 7, "'ftp://' is not a stream"},
        BadConfig{"file scheme", HEAD "  - name: west\n    url: file:///v.avi\n", 7, "a file is given by its path"},
        BadConfig{"no host", HEAD "  - name: west\n    url: rtsp:///stream\n", 7, "names no host"},
        BadConfig{"only a port", HEAD "  - name: west\n    url: http://:8000/s\n", 7, "names no host"},
        BadConfig{"zone of three", HEAD "    zone: [0, 0, 10]\n", 6, "zone must be [X, Y, W, H]"},
        BadConfig{"zone as text", HEAD "    zone: 0,0,10,10\n", 6, "zone must be [X, Y, W, H]"},
        BadConfig{"zone with no value", HEAD "    zone:\n", 6, "zone must be [X, Y, W, H]"},
        BadConfig{"negative zone", HEAD "    zone: [-1, 0, 10, 10]\n", 6, "zone: '-1,0,10,10' is not X,Y,W,H"},
        BadConfig{"zone of no size", HEAD "    zone: [0, 0, 0, 10]\n", 6, "W, H of 1 or more"},
        BadConfig{"zone not whole", HEAD "    zone: [0, 0, 1.5, 10]\n", 6, "is not X,Y,W,H"},
        BadConfig{"bad engine", HEAD "    engine: neural\n", 6, "engine: 'neural' is not an engine (learned or glyph)"},
        BadConfig{"zoom too large", HEAD "    zoom: 2\n", 6, "zoom 2 is out of range (0.3..1.0) in camera 'east'"},
        BadConfig{"zoom not a number", HEAD "    zoom: big\n", 6, "zoom: 'big' is not a number"},
        BadConfig{"digit height for the learned engine", HEAD "    digit_height: 5\n", 6,
                  "digit_height 5 is out of range (10..250)"},
        BadConfig{"digit height for the glyph engine", HEAD "    engine: glyph\n    digit_height: 120\n", 7,
                  "digit_height 120 is out of range for the glyph engine (16..99)"},
        BadConfig{"threshold past depth", HEAD "    depth: 6\n    threshold: 8\n", 7,
                  "threshold 8 is more than depth 6"},
        BadConfig{"threshold past default depth", HEAD "    threshold: 31\n", 6,
                  "threshold 31 is more than depth 30 (the default)"},
        BadConfig{"webhook not http", HEAD "webhooks:\n  - url: ftp://h/in\n", 7,
                  "webhook url 'ftp://h/in' is not an http:// or https:// address"},
        BadConfig{"webhook without host", HEAD "webhooks:\n  - url: https:///in\n", 7, "with a host"},
        BadConfig{"webhook without url", HEAD "webhooks:\n  - secret: k\n", 7, "a webhook has no url"},
        BadConfig{"both tokens", "http:\n  token: t\n  token_file: t.txt\n", 3, "token and token_file both given"},
        BadConfig{"no token", "http:\n  listen: 127.0.0.1:80\n", 2, "http needs token or token_file"},
        BadConfig{"no http", "cameras: []\n", 1, "http with its token (or token_file) is missing"},
        BadConfig{"missing token file", "http:\n  token_file: /nonexistent/token\n", 2,
                  "token_file '/nonexistent/token' cannot be read"},
        BadConfig{"listen without port", "http:\n  token: t\n  listen: localhost\n", 3, "is not host:port"},
        BadConfig{"listen past 65535", "http:\n  token: t\n  listen: localhost:70000\n", 3, "is not host:port"},
        BadConfig{"cameras not a list", "http: {token: t}\ncameras:\n  east: rtsp://cam/1\n", 3,
                  "cameras is a list"},
        BadConfig{"camera not a mapping", "http: {token: t}\ncameras:\n  - rtsp://cam/1\n", 3,
                  "a camera is a mapping"},
        BadConfig{"storage empty", "storage:\nhttp: {token: t}\n", 1, "storage needs a value"},
        BadConfig{"syntax error", "http:\n  token: t\ncameras:\n  - name: [east\n", 5, ""},
        BadConfig{"tab indentation", "http:\n\ttoken: t\n", 2, ""},
        BadConfig{"not a mapping", "- just\n- a list\n", 1, "the configuration is a mapping"},
        BadConfig{"empty", "# nothing here\n", 1, "the configuration is empty"}));

#undef HEAD

TEST(ServiceConfig, AnEmptyTokenFileIsRefused) {
    WriteText(TestFolder() + "/blank.txt", "\n  \n");
    ServiceConfig config;
    std::string error;
    ASSERT_FALSE(ParseServiceConfig("http:\n  token_file: blank.txt\n", "k.yaml", TestFolder(), config, error));
    EXPECT_EQ(error, "k.yaml:2: token_file '" + TestFolder() + "/blank.txt' is empty");
}

TEST(ServiceConfig, AFileThatCannotBeReadIsSaidByName) {
    ServiceConfig config;
    std::string error;
    EXPECT_FALSE(LoadServiceConfig(TestFolder() + "/absent.yaml", config, error));
    EXPECT_EQ(error, "cannot read the configuration '" + TestFolder() + "/absent.yaml'");
}

}  // namespace
}  // namespace kalvero

namespace kalvero {
namespace {

struct ShownCase {
    const char* url;
    bool isFile;
    const char* shown;
};

void PrintTo(const ShownCase& shown, std::ostream* os) { *os << shown.url; }

class CameraUrlShown : public ::testing::TestWithParam<ShownCase> {};

TEST_P(CameraUrlShown, LeavesOutTheUserAndPasswordOnly) {
    CameraConfig camera;
    camera.url = GetParam().url;
    camera.isFile = GetParam().isFile;
    EXPECT_EQ(ShownUrl(camera), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(
    Addresses, CameraUrlShown,
    ::testing::Values(ShownCase{"rtsp://admin:pw@cam:554/s1", false, "rtsp://cam:554/s1"},
                      ShownCase{"rtsp://a:p@ss@cam/s", false, "rtsp://cam/s"},  // '@' in the password
                      ShownCase{"http://cam/a@b.ts", false, "http://cam/a@b.ts"},  // '@' in the path stays
                      ShownCase{"srt://cam:9000?passphrase=x", false, "srt://cam:9000?passphrase=x"},
                      ShownCase{"/videos/me@yard.avi", true, "/videos/me@yard.avi"}));

}  // namespace
}  // namespace kalvero
