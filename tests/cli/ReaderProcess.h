#pragma once
#include <string>
#include <vector>

#include "tools/SampleVideo.h"

// A sanitizer build runs several times slower than a release build: the
// reader cannot keep up with a live stream there, so tests check what it
// does and leave its timing to the release build.
#ifdef KALVERO_TESTS_UNDER_SANITIZER
constexpr bool kTimingMeasured = false;
#else
constexpr bool kTimingMeasured = true;
#endif

namespace kalvero {
namespace testing_cli {

// Exit status and captured output of one kalvero-read process.
struct ProcessResult {
    int status = -1;  // exit status; -1 when it did not exit normally
    std::string out;
    std::string err;
};

// <build folder>/kalvero-read (the folder is compiled in), or otherwise the
// kalvero-read of the build folder holding this test program.
std::string ReaderExecutable();

// Runs kalvero-read with `args` (no shell involved in the arguments),
// standard input from /dev/null, and waits for it.
ProcessResult RunReaderProcess(const std::vector<std::string>& args);

// kalvero-read started with `args` (standard input from /dev/null), its
// output gathered in files that can be read while it runs. One still
// running when the object goes is killed and waited for.
class RunningReader {
public:
    explicit RunningReader(const std::vector<std::string>& args);
    ~RunningReader();
    RunningReader(const RunningReader&) = delete;
    RunningReader& operator=(const RunningReader&) = delete;

    // What it wrote to standard output so far.
    std::string OutSoFar() const;
    // Whether it has ended, without waiting.
    bool HasEnded();
    // Sends it `signal` unless it has ended.
    void Signal(int signal);
    // Waits for its end: the status and all it wrote.
    ProcessResult Wait();

private:
    std::string base_;
    int pid_ = -1;   // -1 once it has ended and been waited for
    int status_ = -1;
};

// Standard output that takes no text: /dev/full (every write fails with
// ENOSPC) or a closed descriptor.
// Standard output on a full device, closed, or a pipe nobody reads any more.
enum class BrokenOutput { Full, Closed, ReaderGone };

// Runs kalvero-read with `args` and standard output broken that way; only
// the status and standard error come back.
ProcessResult RunReaderWithBrokenOutput(const std::vector<std::string>& args, BrokenOutput broken);

// Starts kalvero-read with `args`, sends it `signal` (SIGINT: Ctrl-C) once
// its standard output holds `linesBeforeInterrupt` lines, and waits for it.
ProcessResult InterruptReaderProcess(const std::vector<std::string>& args,
                                     int linesBeforeInterrupt, int signal = 2);

// Folder for this test process's files, removed when the process ends.
std::string ScratchDir();

// A sample of `size` with `frames` frames and digits `digitHeight` pixels
// high; the rest as SampleOptions has it.
SampleOptions SmallSample(cv::Size size, int frames, int digitHeight);

// Writes a sample (video or still, by extension) into ScratchDir() once per
// process and returns its path.
std::string SampleFile(const std::string& name, const SampleOptions& sample);

// The numbers the summary of kalvero-read's standard output `out` lists as
// confirmed, in its order.
std::vector<std::string> ConfirmedNumbers(const std::string& out);

// The whole content of the file at `path` (empty when it cannot be read).
std::string ReadFile(const std::string& path);

// Lines of `text` (without the line ends).
std::vector<std::string> Lines(const std::string& text);

// Runs python3 on `script` with `args`; true when it exits with status 0.
// `output` receives what it printed.
bool RunPython(const std::string& script, const std::vector<std::string>& args,
               std::string& output);

}  // namespace testing_cli
}  // namespace kalvero
