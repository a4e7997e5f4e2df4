// kalvero-read on live streams served by ffmpeg on loopback (UDP MPEG-TS
// and HTTP), cut off mid-run and started again.
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "ReaderProcess.h"
#include "cli/TimeOfDay.h"
#include "support/LocalPort.h"

extern char** environ;

namespace kalvero {
namespace {

using namespace testing_cli;

bool HaveFfmpeg() { return std::system("command -v ffmpeg >/dev/null 2>&1") == 0; }

// One ffmpeg serving `video` in real time to `address`; stopped (SIGKILL:
// the cut) when the object goes or Cut() is called.
class StreamServer {
public:
    // `loop` sends the video over and over until the server is cut.
    StreamServer(const std::string& video, const std::string& address, bool listen, bool loop = false) {
        std::vector<std::string> args = {"ffmpeg", "-v", "quiet", "-nostdin", "-re"};
        if (loop) args.insert(args.end(), {"-stream_loop", "-1"});
        args.insert(args.end(), {"-i", video, "-c:v", "mpeg4", "-q:v", "3", "-f", "mpegts"});
        if (listen) {
            args.insert(args.end(), {"-listen", "1"});
        }
        args.push_back(address);
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        if (posix_spawnp(&pid_, "ffmpeg", nullptr, nullptr, argv.data(), environ) != 0) pid_ = -1;
    }
    StreamServer(const StreamServer&) = delete;
    StreamServer& operator=(const StreamServer&) = delete;
    ~StreamServer() { Cut(); }
    void Cut() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
            pid_ = -1;
        }
    }
    bool Started() const { return pid_ > 0; }

private:
    pid_t pid_ = -1;
};

void Sleep(double seconds) {
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

std::string LiveVideo() {
    SampleOptions sample = SmallSample(cv::Size(320, 180), 250, 20);  // ten seconds at 25 frames a second
    return SampleFile("live.avi", sample);
}

int FramesIn(const std::string& json) { return static_cast<int>(Lines(json).size()); }

// The frames of a stream run that arrived: those read (one JSON line each)
// and those the summary on standard error counts as skipped to keep up. A
// reader slower than the stream (a sanitizer build among other tests)
// skips many; what arrived still tells which sendings were read.
int FramesArrived(const ProcessResult& r) {
    std::smatch skipped;
    if (!std::regex_search(r.err, skipped, std::regex("\"frames_skipped\": ([0-9]+)"))) return FramesIn(r.out);
    return FramesIn(r.out) + std::stoi(skipped[1]);
}

// The stream came back, frames of both sendings were read, and the number
// was confirmed again after the cut (the vote starts afresh on reconnecting).
// The second sending's end is given up on after --reconnect-max: status 3,
// with what was read written first.
void ExpectReadAcrossTheCut(const ProcessResult& r, int framesOfOneSending) {
    EXPECT_EQ(r.status, 3) << r.err;
    EXPECT_NE(r.err.find("did not come back within "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("': no stream answered within 5 s"), std::string::npos) << r.err;
    const std::size_t broke = r.err.find("broke off; reconnecting in ");
    ASSERT_NE(broke, std::string::npos) << r.err;
    EXPECT_NE(r.err.find("reconnected after ", broke), std::string::npos) << r.err;
    EXPECT_GT(FramesArrived(r), framesOfOneSending / 2 + 10) << r.err;
    const std::vector<std::string> lines = Lines(r.out);
    ASSERT_FALSE(lines.empty());
    EXPECT_NE(lines.back().find("\"confirmed\": \"52473063\""), std::string::npos) << lines.back();
    EXPECT_NE(r.err.find("Carriage passes: "), std::string::npos) << r.err;
}

TEST(ReaderStream, AnHttpStreamCutMidRunIsReadAgainWhenItComesBack) {
    if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed (scripts/bootstrap installs it)";
    const std::string video = LiveVideo();
    const std::string address = "http://127.0.0.1:" + std::to_string(UnusedLocalPort()) + "/live.ts";
    auto first = std::make_unique<StreamServer>(video, address, true);
    ASSERT_TRUE(first->Started());
    Sleep(0.5);
    const std::string passes = ScratchDir() + "/http-cut-passes.jsonl";
    std::remove(passes.c_str());
    RunningReader reader({address, "--json", "--reconnect-max", "5", "--digit-height", "20", "--passes", passes});
    // The cut comes after about 60 frames, and not before the number is
    // confirmed (a reader slow to start, among many tests, may need more):
    // a pass is open then.
    const auto started = std::chrono::steady_clock::now();
    bool confirmed = false;
    while (std::chrono::steady_clock::now() - started < std::chrono::seconds(9) &&
           (!confirmed || std::chrono::steady_clock::now() - started < std::chrono::seconds(3))) {
        Sleep(0.05);
        confirmed = reader.OutSoFar().find("\"confirmed\": \"52473063\"") != std::string::npos;
    }
    first->Cut();
    ASSERT_TRUE(confirmed) << "not confirmed within 9 s of the first sending";
    // The pass the cut ended is written while the stream is away, not kept
    // open until it comes back (within 2 s: the reader tries again 0.5,
    // 1.5 and 3.5 s after the cut and gives up after 5).
    int writtenAway = 0;
    for (int i = 0; i < 20 && writtenAway == 0; ++i) {
        Sleep(0.1);
        writtenAway = static_cast<int>(Lines(ReadFile(passes)).size());
    }
    StreamServer second(video, address, true);
    const ProcessResult r = reader.Wait();
    ExpectReadAcrossTheCut(r, 250);
    // More than the first sending could have given.
    EXPECT_GT(FramesArrived(r), 120) << r.err;
    EXPECT_EQ(writtenAway, 1) << r.err;
    // One pass for each sending: the vote starts afresh after the break.
    const std::vector<std::string> written = Lines(ReadFile(passes));
    ASSERT_EQ(written.size(), 2u) << r.err;
    for (const std::string& line : written) {
        EXPECT_NE(line.find("\"number\": \"52473063\""), std::string::npos) << line;
    }
}

TEST(ReaderStream, AUdpStreamSilentLongerThanTheTimeoutIsReadAgain) {
    if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed (scripts/bootstrap installs it)";
    const std::string video = LiveVideo();
    const std::string port = std::to_string(UnusedLocalPort(SOCK_DGRAM));
    const std::string send = "udp://127.0.0.1:" + port + "?pkt_size=1316";
    ProcessResult r;
    std::thread reader([&] {
        r = RunReaderProcess({"udp://127.0.0.1:" + port, "--json", "--reconnect-max", "2",
                              "--digit-height", "20"});
    });
    Sleep(0.5);
    {
        StreamServer first(video, send, false);
        Sleep(2.5);
    }  // the cut, longer than the read timeout
    Sleep(6.0);
    StreamServer second(video, send, false);
    reader.join();
    // A reader that keeps up sees the silence and must reconnect to take
    // more than the 250 frames of one sending; one slower than the stream
    // (under a sanitizer) skips to the newest frames, which it counts, or
    // still has the first sending queued in the socket when the second
    // starts, sees no silence and reads on. Either way the second sending's
    // end is given up on: status 3.
    EXPECT_EQ(r.status, 3) << r.err;
    std::smatch skipped;
    ASSERT_TRUE(std::regex_search(r.err, skipped, std::regex("\"frames_skipped\": ([0-9]+)"))) << r.err;
    EXPECT_GT(FramesIn(r.out) + std::stoi(skipped[1]), 250) << r.err;
    const std::vector<std::string> lines = Lines(r.out);
    ASSERT_FALSE(lines.empty());
    EXPECT_NE(lines.back().find("\"confirmed\": \"52473063\""), std::string::npos) << lines.back();
}

TEST(ReaderStream, CtrlCEndsAStreamRunWithTheSummaryAndItsPasses) {
    if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed (scripts/bootstrap installs it)";
    const std::string video = LiveVideo();
    const std::string address = "http://127.0.0.1:" + std::to_string(UnusedLocalPort()) + "/live.ts";
    // Looped: a sanitizer build beside other tests can read fewer than 40 of
    // one sending's 250 frames, skipping the rest, and the stream would end
    // before the interrupt.
    StreamServer server(video, address, true, true);
    ASSERT_TRUE(server.Started());
    Sleep(0.5);
    const std::string passes = ScratchDir() + "/interrupted.jsonl";
    const auto before = std::chrono::system_clock::now();
    const ProcessResult r = InterruptReaderProcess(
        {address, "--json", "--digit-height", "20", "--passes", passes}, 40);
    EXPECT_EQ(r.status, 0) << r.err;
    const int frames = FramesIn(r.out);
    EXPECT_GE(frames, 40);
    EXPECT_LT(frames, 250);
    EXPECT_NE(r.err.find("Interrupted after frame " + std::to_string(frames) + "."), std::string::npos)
        << r.err;
    // The pass still open at Ctrl-C is written, its times in seconds since
    // the stream's first frame.
    std::smatch m;
    const std::string written = [&] {
        std::ifstream in(passes);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }();
    ASSERT_TRUE(std::regex_search(written, m, std::regex("\"start_s\": ([0-9.]+)"))) << written;
    EXPECT_GE(std::stod(m[1]), 0.0);
    EXPECT_LT(std::stod(m[1]), frames / 25.0 + 2.0) << written;
    // Its times of day are when its frames arrived: within the run, the end
    // no earlier than the start.
    const auto after = std::chrono::system_clock::now();
    std::smatch start;
    std::smatch end;
    ASSERT_TRUE(std::regex_search(written, start, std::regex("\"start_time\": \"([^\"]+)\""))) << written;
    ASSERT_TRUE(std::regex_search(written, end, std::regex("\"end_time\": \"([^\"]+)\""))) << written;
    const auto startTime = ParseIsoUtc(start[1]);
    const auto endTime = ParseIsoUtc(end[1]);
    ASSERT_TRUE(startTime && endTime) << written;
    EXPECT_LE(before - std::chrono::milliseconds(1), *startTime) << written;
    EXPECT_LE(*startTime, *endTime) << written;
    EXPECT_LE(*endTime, after) << written;
}

// Down at the start counts like broken off: tried again until
// --reconnect-max runs out, then named with status 3.
TEST(ReaderStream, AnAddressNobodyAnswersIsTriedAgainThenNamed) {
    const auto start = std::chrono::steady_clock::now();
    const std::string address = "http://127.0.0.1:" + std::to_string(UnusedLocalPort()) + "/none.ts";
    const ProcessResult r = RunReaderProcess({address, "--reconnect-max", "3"});
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(r.status, 3);
    EXPECT_NE(r.err.find("does not answer; reconnecting in 0.5 s"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("did not answer within 3 s"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("cannot open '" + address + "': no stream answered within 5 s"),
              std::string::npos)
        << r.err;
    EXPECT_GE(seconds, 3.0);
    EXPECT_LT(seconds, 15.0);
    EXPECT_EQ(r.out, "");
}

}  // namespace
}  // namespace kalvero
