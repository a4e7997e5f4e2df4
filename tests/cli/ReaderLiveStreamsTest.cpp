// kalvero-read on live streams served by ffmpeg on loopback: several read
// together write as they go, a stream down at the start is waited for, a
// stream faster than recognition is skipped through, and a zone the
// stream's frames clip is said once instead of painted.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <cstdlib>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "ReaderProcess.h"
#include "support/LocalPort.h"

extern char** environ;

namespace kalvero {
namespace {

using namespace testing_cli;
using Clock = std::chrono::steady_clock;

bool HaveFfmpeg() { return std::system("command -v ffmpeg >/dev/null 2>&1") == 0; }

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

void Sleep(double seconds) { std::this_thread::sleep_for(std::chrono::duration<double>(seconds)); }

// A program started with its standard output and error in files.
class Process {
public:
    Process(const std::string& program, std::vector<std::string> args, const std::string& base)
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
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;
    ~Process() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            Wait();
        }
    }
    bool Started() const { return pid_ > 0; }
    void Signal(int signal) const {
        if (pid_ > 0) kill(pid_, signal);
    }
    // True once it has ended (its status is then kept).
    bool Ended() {
        if (pid_ <= 0) return true;
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) != pid_) return false;
        Keep(status);
        return true;
    }
    // Waits for the end; the exit status, -1 when it did not exit.
    int Wait() {
        if (pid_ > 0) {
            int status = 0;
            waitpid(pid_, &status, 0);
            Keep(status);
        }
        return status_;
    }
    std::string Out() const { return ReadFile(outPath_); }
    std::string Err() const { return ReadFile(errPath_); }

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

int Counter() {
    static int count = 0;
    return ++count;
}

std::string Base(const std::string& name) { return ScratchDir() + "/" + name + std::to_string(Counter()); }

// ffmpeg serving `video` over HTTP at `address` (it waits for the reader),
// looped for ever and in real time unless asked otherwise; `rate` below 1
// sends it slower than real time.
std::unique_ptr<Process> Serve(const std::string& video, const std::string& address, bool loop = true,
                               bool realTime = true, double rate = 1.0) {
    std::vector<std::string> args = {"-v", "quiet", "-nostdin"};
    if (realTime && rate == 1.0) args.push_back("-re");
    if (realTime && rate != 1.0) args.insert(args.end(), {"-readrate", std::to_string(rate)});
    if (loop) args.insert(args.end(), {"-stream_loop", "-1"});
    args.insert(args.end(), {"-i", video, "-c:v", "mpeg4", "-q:v", "3", "-f", "mpegts", "-listen", "1", address});
    return std::make_unique<Process>("ffmpeg", args, Base("ffmpeg"));
}

std::string Address(int port, const std::string& name) {
    return "http://127.0.0.1:" + std::to_string(port) + "/" + name + ".ts";
}

// A carriage entering and leaving a 320x240 view in four seconds: looped,
// a pass every four seconds.
std::string PassingVideo() {
    const std::string path = ScratchDir() + "/passing.avi";
    static bool written = false;
    if (!written) {
        const std::string reader = ReaderExecutable();
        const std::string maker = reader.substr(0, reader.rfind('/') + 1) + "kalvero-make-sample";
        const std::string command = "'" + maker + "' '" + path +
                                    "' --scene enter-leave --frames 100 --size 320x240 --digit-height 20 >/dev/null";
        written = std::system(command.c_str()) == 0;
        if (!written) throw std::runtime_error("cannot write " + path);
    }
    return path;
}

std::unique_ptr<Process> Read(const std::vector<std::string>& args) {
    return std::make_unique<Process>(ReaderExecutable(), args, Base("reader"));
}

double NumberAfter(const std::string& text, const std::string& key) {
    std::smatch m;
    if (!std::regex_search(text, m, std::regex("\"" + key + "\": ([0-9.]+)"))) return -1.0;
    return std::stod(m[1]);
}

TEST(ReaderLiveStreams, TwoStreamsReadTogetherWriteEachPassWithinTwoSecondsOfItsEnd) {
    if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed (scripts/bootstrap installs it)";
    const std::string video = PassingVideo();
    const std::vector<int> ports = UnusedLocalPorts(2);
    const std::vector<std::string> addresses = {Address(ports[0], "east"), Address(ports[1], "west")};
    // A sanitizer build reads two streams at a few frames a second, fewer
    // while other tests run beside it: at real time it may see a carriage
    // on too few frames to confirm it. There the streams are sent at a
    // quarter of real time (a carriage every sixteen seconds).
    const double rate = kTimingMeasured ? 1.0 : 0.25;
    auto east = Serve(video, addresses[0], true, true, rate);
    auto west = Serve(video, addresses[1], true, true, rate);
    ASSERT_TRUE(east->Started() && west->Started());
    Sleep(0.5);
    const std::string passes = ScratchDir() + "/together.jsonl";
    const auto start = Clock::now();
    auto reader = Read({addresses[0], addresses[1], "--jobs", "2", "--passes", passes, "--digit-height", "20"});
    // Each record with the moment it was first seen in the file.
    std::vector<std::pair<std::string, double>> seen;
    const auto streamOf = [&](const std::string& line) {
        return std::find_if(addresses.begin(), addresses.end(), [&](const std::string& a) {
            return line.find("\"file\": \"" + a + "\"") != std::string::npos;
        });
    };
    if (kTimingMeasured) {
        while (SecondsSince(start) < 12.0 && !reader->Ended()) {
            const std::vector<std::string> lines = Lines(ReadFile(passes));
            for (std::size_t i = seen.size(); i < lines.size(); ++i) seen.emplace_back(lines[i], SecondsSince(start));
            Sleep(0.05);
        }
    } else {
        // A sanitizer build beside another sanitizer test reads a frame or
        // two a second per stream, skipping the rest: too few frames of the
        // empty view between two loops of the video to end a pass (the vote
        // depth counts frames read), so a pass may stay open to the end. It
        // runs until both streams have confirmed their number (at most two
        // and a half minutes); the passes are those in the file at the end.
        const auto confirmed = [&](const std::string& address) {
            for (const std::string& line : Lines(reader->Out()))
                if (line.rfind(address, 0) == 0 && line.find(": confirmed ") != std::string::npos) return true;
            return false;
        };
        while (SecondsSince(start) < 150.0 && !reader->Ended() &&
               !(confirmed(addresses[0]) && confirmed(addresses[1])))
            Sleep(0.2);
    }
    reader->Signal(SIGINT);
    EXPECT_EQ(reader->Wait(), 0) << reader->Err();
    if (!kTimingMeasured)
        for (const std::string& line : Lines(ReadFile(passes))) seen.emplace_back(line, SecondsSince(start));
    std::map<std::string, int> perStream;
    for (const auto& [record, at] : seen) {
        const auto named = streamOf(record);
        ASSERT_NE(named, addresses.end()) << record;
        ++perStream[*named];
        // The stream's first frame came after the reader started: its end
        // in the reader's clock is no earlier than start + end_s.
        const double end = NumberAfter(record, "end_s");
        ASSERT_GE(end, 0.0) << record;
        if (kTimingMeasured) {
            EXPECT_LT(at - end, 2.0) << record;
        }
    }
    // A pass every four seconds on each stream, written while both ran (in
    // a sanitizer build, at least one on each, written by the end).
    EXPECT_GE(perStream[addresses[0]], kTimingMeasured ? 2 : 1) << reader->Out() << reader->Err();
    EXPECT_GE(perStream[addresses[1]], kTimingMeasured ? 2 : 1) << reader->Out() << reader->Err();
    // Every line on standard output names its stream.
    for (const std::string& line : Lines(reader->Out())) {
        const bool named = line.rfind(addresses[0], 0) == 0 || line.rfind(addresses[1], 0) == 0 ||
                           line.rfind("File ", 0) == 0;
        EXPECT_TRUE(named) << line;
    }
}

// A stream never ends: one given before a file, with a single job, does not
// keep the file from being read and printed meanwhile.
TEST(ReaderLiveStreams, AStreamDoesNotHoldBackTheFilesAfterIt) {
    if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed (scripts/bootstrap installs it)";
    const std::string video = PassingVideo();
    const std::string address = Address(UnusedLocalPort(), "first");
    auto server = Serve(video, address);
    Sleep(0.5);
    const std::string passes = ScratchDir() + "/stream-then-file.jsonl";
    auto reader = Read({address, video, "--jobs", "1", "--passes", passes, "--digit-height", "20"});
    const auto start = Clock::now();
    const std::string fileRecord = "{\"file\": \"" + video + "\"";
    while (SecondsSince(start) < 20.0 && ReadFile(passes).find(fileRecord) == std::string::npos) Sleep(0.05);
    EXPECT_FALSE(reader->Ended()) << reader->Err();
    EXPECT_NE(ReadFile(passes).find(fileRecord), std::string::npos);
    EXPECT_NE(reader->Out().find("File " + video + ":\nFrame "), std::string::npos) << reader->Out();
    reader->Signal(SIGINT);
    EXPECT_EQ(reader->Wait(), 0) << reader->Err();
    EXPECT_NE(reader->Err().find("Files: 2 given, 2 read"), std::string::npos) << reader->Err();
}

TEST(ReaderLiveStreams, AStreamDownAtTheStartIsReadOnceItComesUp) {
    if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed (scripts/bootstrap installs it)";
    const std::string video = PassingVideo();
    const std::string address = Address(UnusedLocalPort(), "late");
    auto reader = Read({address, "--json", "--reconnect-max", "20", "--digit-height", "20"});
    Sleep(2.5);
    ASSERT_FALSE(reader->Ended()) << reader->Err();
    auto server = Serve(video, address);
    const auto cameUp = Clock::now();
    // Said as it comes back, while the stream is being read.
    while (SecondsSince(cameUp) < 10.0 && reader->Err().find("reconnected after") == std::string::npos) {
        Sleep(0.05);
    }
    const std::string saidMeanwhile = reader->Err();
    EXPECT_NE(saidMeanwhile.find("kalvero-read: the stream '" + address + "' reconnected after "), std::string::npos)
        << saidMeanwhile;
    EXPECT_LT(SecondsSince(cameUp), 6.0);
    // Sixty frames read: in a sanitizer build, which reads a few frames a
    // second among other tests, that may take longer.
    const double readFor = kTimingMeasured ? 10.0 : 40.0;
    while (SecondsSince(cameUp) < readFor && Lines(reader->Out()).size() < 60) Sleep(0.05);
    reader->Signal(SIGINT);
    EXPECT_EQ(reader->Wait(), 0) << reader->Err();
    EXPECT_NE(reader->Err().find("' does not answer; reconnecting in 0.5 s"), std::string::npos) << reader->Err();
    EXPECT_GE(Lines(reader->Out()).size(), 60u) << reader->Err();
    EXPECT_NE(reader->Out().find("\"confirmed\": \"52473063\""), std::string::npos);
}

// A stream sent as fast as ffmpeg can: the reader keeps to the newest frame,
// so it ends soon after the stream does, with every frame either read or
// counted as skipped.
TEST(ReaderLiveStreams, AStreamFasterThanRecognitionIsSkippedThroughAndTheSkipsCounted) {
    if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed (scripts/bootstrap installs it)";
    SampleOptions sample = SmallSample(cv::Size(640, 360), 500, 29);
    const std::string video = SampleFile("fast.avi", sample);
    const std::string address = Address(UnusedLocalPort(), "fast");
    auto server = Serve(video, address, false, false);
    Sleep(0.5);
    auto reader = Read({address, "--json", "--verbose", "--reconnect-max", "0"});
    double serverEnd = -1.0;
    const auto start = Clock::now();
    while (SecondsSince(start) < 30.0) {
        if (serverEnd < 0.0 && server->Ended()) serverEnd = SecondsSince(start);
        if (reader->Ended()) break;
        Sleep(0.02);
    }
    const double readerEnd = SecondsSince(start);
    ASSERT_GE(serverEnd, 0.0);
    // The end of the stream is given up on at once (--reconnect-max 0).
    EXPECT_EQ(reader->Wait(), 3) << reader->Err();
    if (kTimingMeasured) {
        EXPECT_LT(readerEnd - serverEnd, 2.0) << reader->Err();
    }
    const std::string err = reader->Err();
    const double read = NumberAfter(err, "frames_read");
    const double skipped = NumberAfter(err, "frames_skipped");
    EXPECT_GT(skipped, 0.0) << err;
    // Every frame read or counted; FFmpeg's demuxer and threaded decoder
    // may keep the stream's last frames when the connection closes: up to
    // 25 of the 500 with both cores busy (and in a sanitizer build,
    // decoding itself falls behind a stream sent this fast).
    EXPECT_LE(read + skipped, 500.0) << err;
    EXPECT_GE(read + skipped, kTimingMeasured ? 460.0 : 400.0) << err;
    EXPECT_NE(err.find("is read slower than it comes: skipping to its newest frame from frame "), std::string::npos)
        << err;
    EXPECT_NE(err.find(std::to_string(static_cast<long long>(skipped)) + " frames skipped to keep up with the stream"),
              std::string::npos)
        << err;
}

TEST(ReaderLiveStreams, AZoneTheStreamClipsIsSaidOnce) {
    if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed (scripts/bootstrap installs it)";
    const std::string video = PassingVideo();
    const std::string address = Address(UnusedLocalPort(), "zone");
    auto server = Serve(video, address);
    Sleep(0.5);
    const ProcessResult r = InterruptReaderProcess(
        {address, "--json", "--zone", "0,60,2000,120", "--digit-height", "20", "--reconnect-max", "1"}, 60);
    EXPECT_EQ(r.status, 0) << r.err;
    const std::string said = "--zone 0,60,2000,120 does not fit its frames; it is clipped to 0,60,320,120";
    const std::size_t first = r.err.find(said);
    EXPECT_NE(first, std::string::npos) << r.err;
    EXPECT_EQ(r.err.find(said, first + 1), std::string::npos) << r.err;
    EXPECT_NE(r.out.find("\"confirmed\": \"52473063\""), std::string::npos);
}

}  // namespace
}  // namespace kalvero
