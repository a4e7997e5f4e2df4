// kalvero-serve as its users run it, a child process on a configuration
// written here: a file camera's pass lands in the database with its camera,
// times, record and crop, and SIGTERM ends the service with status 0; a
// service killed with kill -9 and started again loses nothing it stored
// (its file camera is read again: once per start); a stream camera stores
// its pass while the service runs; a wrong configuration, option or store
// ends it at once with the status that says so.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <opencv2/imgcodecs.hpp>

#include "StoreTestSupport.h"
#include "cli/TimeOfDay.h"
#include "serve/PassStore.h"

extern char** environ;

namespace kalvero {
namespace {

using Clock = std::chrono::steady_clock;

const std::string kBuild = KALVERO_BUILD_DIR;

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// A program started with standard input from /dev/null and standard
// output and error into files.
class Child {
public:
    Child(const std::string& program, std::vector<std::string> args, const std::string& base)
        : outPath_(base + ".out"), errPath_(base + ".err") {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, outPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&actions, 2, errPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        args.insert(args.begin(), program);
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        if (posix_spawnp(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    ~Child() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            Wait();
        }
    }
    bool Started() const { return pid_ > 0; }
    void Signal(int signal) const {
        if (pid_ > 0) kill(pid_, signal);
    }
    bool Running() {
        int status = 0;
        if (pid_ <= 0 || waitpid(pid_, &status, WNOHANG) != pid_) return pid_ > 0;
        Keep(status);
        return false;
    }
    // The exit status; -1 when it did not exit (a signal ended it).
    int Wait() {
        if (pid_ > 0) {
            int status = 0;
            waitpid(pid_, &status, 0);
            Keep(status);
        }
        return status_;
    }
    std::string Out() const { return ReadText(outPath_); }
    std::string Err() const { return ReadText(errPath_); }

private:
    void Keep(int status) {
        status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        pid_ = -1;
    }
    std::string outPath_;
    std::string errPath_;
    pid_t pid_ = -1;
    int status_ = -1;
};

bool WaitFor(const std::function<bool()>& done, double seconds) {
    const auto until = Clock::now() + std::chrono::duration<double>(seconds);
    while (!done()) {
        if (Clock::now() > until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return true;
}

bool HaveFfmpeg() { return std::system("command -v ffmpeg >/dev/null 2>&1") == 0; }

// A port for this test process, away from other processes' tests.
int Port(int offset) { return 30000 + static_cast<int>(getpid() % 9000) + offset; }

class ServiceRun : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(folder_.path().empty()); }

    std::string Path(const std::string& name) const { return folder_.path() + "/" + name; }

    // Our sample maker's video of `args`, at `name` in the test's folder.
    std::string Sample(const std::string& name, const std::string& args = "--frames 40") {
        const std::string path = Path(name);
        const std::string command = "'" + kBuild + "/kalvero-make-sample' '" + path + "' " + args + " >/dev/null";
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
        return path;
    }

    std::string Config(const std::string& cameras) {
        const std::string path = Path("kalvero.yaml");
        std::ofstream(path) << "storage: " << Database() << "\nhttp:\n  listen: 127.0.0.1:0\n  token: t\n"
                            << "cameras:\n"
                            << cameras;
        return path;
    }

    std::string Database() const { return Path("passes.db"); }

    std::unique_ptr<Child> Serve(const std::string& config) {
        auto child = std::make_unique<Child>(kBuild + "/kalvero-serve", std::vector<std::string>{"--config", config},
                                             Path("serve" + std::to_string(++runs_)));
        EXPECT_TRUE(child->Started());
        return child;
    }

    // The passes stored so far, as a second program sees them.
    std::vector<StoredPass> Stored() {
        std::unique_ptr<PassStore> store = OpenPassStore(Database());
        PassQuery all;
        all.withCrops = true;
        return store->FindPasses(all);
    }

    bool WaitForPasses(std::size_t count, double seconds) {
        return WaitFor([&] { return Stored().size() >= count; }, seconds);
    }

    TemporaryFolder folder_;
    int runs_ = 0;
};

TEST_F(ServiceRun, AFileCamerasPassIsStoredWholeAndSigtermEndsTheServiceWithStatusZero) {
    const std::string video = Sample("archive.avi");
    const std::string config = Config("  - name: archive\n    url: archive.avi\n");
    const std::string started = IsoUtc(std::chrono::system_clock::now());
    auto service = Serve(config);
    ASSERT_TRUE(WaitForPasses(1, 120)) << service->Err();
    // Read once: the service goes on serving with the camera finished.
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_TRUE(service->Running());
    service->Signal(SIGTERM);
    EXPECT_EQ(service->Wait(), 0) << service->Err();

    const std::vector<StoredPass> passes = Stored();
    ASSERT_EQ(passes.size(), 1u);
    const StoredPass& pass = passes[0];
    EXPECT_EQ(pass.camera, "archive");
    EXPECT_EQ(pass.number, "52473063");
    EXPECT_TRUE(pass.checkDigit);
    EXPECT_GE(pass.startTime, started);
    EXPECT_GT(pass.endTime, pass.startTime);
    EXPECT_EQ(pass.direction, "left");
    EXPECT_GT(pass.framesRead, 0);
    const nlohmann::json record = nlohmann::json::parse(pass.record);
    EXPECT_EQ(record["file"], video);
    EXPECT_EQ(record["number"], pass.number);
    EXPECT_EQ(record["start_time"], pass.startTime);
    EXPECT_EQ(record["end_time"], pass.endTime);
    EXPECT_EQ(record["frames_read"], pass.framesRead);
    EXPECT_EQ(record["best_frame"], pass.bestFrame);
    const cv::Mat crop = cv::imdecode(pass.cropPng, cv::IMREAD_COLOR);
    EXPECT_FALSE(crop.empty());

    const std::string log = service->Err();
    EXPECT_NE(log.find("Z archive: pass 52473063 stored (id " + std::to_string(pass.id) + ")"), std::string::npos)
        << log;
    EXPECT_NE(log.find("Z service: stopped\n"), std::string::npos) << log;
}

TEST_F(ServiceRun, AServiceKilledAndStartedAgainLosesNothingAndReadsItsFileAgain) {
    Sample("archive.avi");
    const std::string config = Config("  - name: archive\n    url: archive.avi\n");
    auto first = Serve(config);
    ASSERT_TRUE(WaitForPasses(1, 120)) << first->Err();
    first->Signal(SIGKILL);
    EXPECT_EQ(first->Wait(), -1);
    const std::vector<StoredPass> before = Stored();
    ASSERT_EQ(before.size(), 1u);

    auto second = Serve(config);
    ASSERT_TRUE(WaitForPasses(2, 120)) << second->Err();
    second->Signal(SIGTERM);
    EXPECT_EQ(second->Wait(), 0) << second->Err();
    const std::vector<StoredPass> after = Stored();
    ASSERT_EQ(after.size(), 2u);  // newest first: the second reading of the file, then the first
    EXPECT_EQ(after[1].id, before[0].id);
    ExpectSamePass(before[0], after[1]);
    EXPECT_EQ(after[0].number, before[0].number);
    // Its times count from the second start (a file's times are laid out
    // from the moment its reading began, faster than it plays).
    EXPECT_GT(after[0].startTime, before[0].startTime);
}

TEST_F(ServiceRun, AStreamCameraConnectsAndStoresItsPassWhileTheServiceRuns) {
    if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed (scripts/bootstrap installs it)";
    // A carriage entering and leaving the view every four seconds, served
    // in real time and looped.
    const std::string video = Sample("passing.avi", "--scene enter-leave --frames 100 --size 320x240 --digit-height 20");
    const std::string address = "http://127.0.0.1:" + std::to_string(Port(0)) + "/east.ts";
    Child ffmpeg("ffmpeg",
                 {"-v", "quiet", "-nostdin", "-re", "-stream_loop", "-1", "-i", video, "-c:v", "mpeg4", "-q:v", "3",
                  "-f", "mpegts", "-listen", "1", address},
                 Path("ffmpeg"));
    ASSERT_TRUE(ffmpeg.Started());
    const std::string started = IsoUtc(std::chrono::system_clock::now());
    auto service = Serve(Config("  - name: east\n    url: " + address + "\n"));
    ASSERT_TRUE(WaitForPasses(1, 60)) << service->Err();
    EXPECT_TRUE(service->Running());
    service->Signal(SIGTERM);
    EXPECT_EQ(service->Wait(), 0) << service->Err();

    const std::vector<StoredPass> passes = Stored();
    ASSERT_GE(passes.size(), 1u);
    const StoredPass& pass = passes.back();  // the first
    EXPECT_EQ(pass.camera, "east");
    EXPECT_EQ(pass.number, "52473063");
    EXPECT_GE(pass.startTime, started);
    EXPECT_LE(pass.endTime, IsoUtc(std::chrono::system_clock::now()));
    EXPECT_EQ(nlohmann::json::parse(pass.record)["file"], address);
    EXPECT_FALSE(cv::imdecode(pass.cropPng, cv::IMREAD_COLOR).empty());
    EXPECT_NE(service->Err().find("Z east: connected\n"), std::string::npos) << service->Err();
}

struct Refusal {
    const char* what;
    std::vector<std::string> args;  // "CONFIG" stands for a configuration written by the test
    const char* config;             // its text, after the storage line
    int status;
    const char* says;
};

void PrintTo(const Refusal& refusal, std::ostream* os) { *os << refusal.what; }

class ServiceRefuses : public ServiceRun, public ::testing::WithParamInterface<Refusal> {};

TEST_P(ServiceRefuses, AtOnceWithTheStatusAndMessage) {
    const Refusal& refusal = GetParam();
    const std::string config = Path("kalvero.yaml");
    std::ofstream(config) << refusal.config;
    std::vector<std::string> args = refusal.args;
    for (std::string& arg : args) {
        if (arg == "CONFIG") arg = config;
    }
    Child service(kBuild + "/kalvero-serve", args, Path("refused"));
    ASSERT_TRUE(service.Started());
    ASSERT_TRUE(WaitFor([&] { return !service.Running(); }, 20)) << "still running";
    EXPECT_EQ(service.Wait(), refusal.status);
    std::string says = refusal.says;
    const std::size_t at = says.find("CONFIG");
    if (at != std::string::npos) says.replace(at, 6, config);
    EXPECT_NE(service.Err().find(says), std::string::npos) << service.Err();
}

INSTANTIATE_TEST_SUITE_P(
    Mistakes, ServiceRefuses,
    ::testing::Values(
        Refusal{"a wrong key", {"--config", "CONFIG"},
                "http:\n  token: t\ncameras:\n  - name: east\n    url: rtsp://cam/1\n    zome: [0, 0, 9, 9]\n", 2,
                "kalvero-serve: CONFIG:6: unknown key 'zome' in camera 'east'\n"},
        Refusal{"no configuration", {}, "", 2, "kalvero-serve: no --config FILE given\n"},
        Refusal{"an unknown option", {"--config", "CONFIG", "--port", "80"}, "", 2,
                "kalvero-serve: unknown option '--port'\nTry 'kalvero-serve --help'.\n"},
        Refusal{"a configuration that is not there", {"--config", "/nonexistent/kalvero.yaml"}, "", 2,
                "cannot read the configuration '/nonexistent/kalvero.yaml'"},
        Refusal{"a store that cannot be made", {"--config", "CONFIG"},
                "storage: /nonexistent/folder/passes.db\nhttp:\n  token: t\n", 1,
                "kalvero-serve: cannot open the store: "}));

TEST_F(ServiceRun, HelpAndVersionGoToStandardOutput) {
    Child help(kBuild + "/kalvero-serve", {"--help"}, Path("help"));
    EXPECT_EQ(help.Wait(), 0);
    EXPECT_EQ(help.Out().rfind("Usage: kalvero-serve --config FILE\n", 0), 0u);
    Child version(kBuild + "/kalvero-serve", {"--version"}, Path("version"));
    EXPECT_EQ(version.Wait(), 0);
    EXPECT_EQ(version.Out().rfind("kalvero-serve (Kalvero) ", 0), 0u);
}

}  // namespace
}  // namespace kalvero
