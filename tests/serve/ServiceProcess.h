#pragma once
#include <sys/types.h>

#include <memory>
#include <string>
#include <vector>

namespace kalvero {

// A program the service's tests start: standard input from /dev/null,
// standard output and error into `base`.out and `base`.err. Killed (and
// waited for) when destroyed while it still runs.
class ServiceProcess {
public:
    ServiceProcess(const std::string& program, std::vector<std::string> args, const std::string& base);
    ~ServiceProcess();
    ServiceProcess(const ServiceProcess&) = delete;
    ServiceProcess& operator=(const ServiceProcess&) = delete;

    bool Started() const { return pid_ > 0; }
    void Signal(int signal) const;
    // False once it has ended (its status is then kept).
    bool Running();
    // Waits for the end: the exit status, -1 when a signal ended it.
    int Wait();
    std::string Out() const;
    std::string Err() const;

private:
    void Keep(int status);
    std::string outPath_;
    std::string errPath_;
    pid_t pid_ = -1;
    int status_ = -1;
};

// <build folder>/`program`.
std::string BuiltProgram(const std::string& program);

// Writes our sample maker's video of `args` (its command line after the
// file name) to `path`; false when it fails.
bool MakeSampleVideo(const std::string& path, const std::string& args);

// The ffmpeg program is there.
bool HaveFfmpeg();

// ffmpeg serving `video` over HTTP at `address` in real time (waiting for
// its one client), looped for ever or played once; `rate` below 1 sends it
// slower than real time.
std::unique_ptr<ServiceProcess> ServeOverHttp(const std::string& video, const std::string& address, bool loop,
                              const std::string& base, double rate = 1.0);

// The rate at which tests send a looped stream whose carriage must be seen
// to leave between two loops, and what the camera reading it adds to its
// configuration. A pass ends after more than the vote depth's frames read
// without its number (30 by default); a sanitizer build, with other tests
// beside it, reads a frame or two a second and drops the rest, and then
// saw too few frames in the gap between two loops: one pass ran on over
// every loop and was never stored. There the stream comes at an eighth of
// real time (the empty view about 13 s between carriages) and the camera
// votes over the least depth, 5 (the learned engine confirms on its streak
// of 3 frames, which the depth does not change).
#ifdef KALVERO_TESTS_UNDER_SANITIZER
constexpr double kLoopedStreamRate = 0.125;
constexpr const char* kLoopedStreamCamera = "    depth: 5\n";
#else
constexpr double kLoopedStreamRate = 1.0;
constexpr const char* kLoopedStreamCamera = "";
#endif

}  // namespace kalvero
