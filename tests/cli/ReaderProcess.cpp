#include "ReaderProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace kalvero {
namespace testing_cli {

namespace fs = std::filesystem;

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

namespace {

// Removes the scratch folder when the test process ends.
struct ScratchFolder {
    std::string path;
    ScratchFolder() {
        path = (fs::temp_directory_path() / ("kalvero-cli-test-" + std::to_string(::getpid())))
                   .string();
        fs::remove_all(path);
        fs::create_directories(path);
    }
    ~ScratchFolder() {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
};

// Starts `program` with `args`; stdout and stderr go to the given files
// (an empty `outPath`: stdout closed), or stdout to the pipe end `outFd`
// when it is given.
pid_t Spawn(const std::string& program, const std::vector<std::string>& args,
            const std::string& outPath, const std::string& errPath, int outFd = -1) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (outFd >= 0) {
        posix_spawn_file_actions_adddup2(&actions, outFd, 1);
        posix_spawn_file_actions_addclose(&actions, outFd);
    } else if (outPath.empty()) {
        posix_spawn_file_actions_addclose(&actions, 1);
    } else {
        posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    }
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<std::string> all{program};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int failed = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (failed != 0) {
        throw std::runtime_error("cannot start '" + program + "'");
    }
    return pid;
}

int Wait(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            return -1;
        }
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int Counter() {
    static std::atomic<int> next{0};
    return ++next;
}

}  // namespace

std::string ScratchDir() {
    static ScratchFolder folder;
    return folder.path;
}

std::string ReaderExecutable() {
#ifdef KALVERO_BUILD_DIR
    return std::string(KALVERO_BUILD_DIR) + "/kalvero-read";
#endif
    // Without the variable: this test program is <build>/tests/test_cli.
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    if (ec) {
        return "kalvero-read";
    }
    return (self.parent_path().parent_path() / "kalvero-read").string();
}

RunningReader::RunningReader(const std::vector<std::string>& args)
    : base_(ScratchDir() + "/run" + std::to_string(Counter())),
      pid_(Spawn(ReaderExecutable(), args, base_ + ".out", base_ + ".err")) {}

RunningReader::~RunningReader() {
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        testing_cli::Wait(pid_);
    }
}

std::string RunningReader::OutSoFar() const { return ReadFile(base_ + ".out"); }

bool RunningReader::HasEnded() {
    int status = 0;
    if (pid_ > 0 && waitpid(pid_, &status, WNOHANG) == pid_) {
        status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        pid_ = -1;
    }
    return pid_ <= 0;
}

void RunningReader::Signal(int signal) {
    if (pid_ > 0) kill(pid_, signal);
}

ProcessResult RunningReader::Wait() {
    if (pid_ > 0) {
        status_ = testing_cli::Wait(pid_);
        pid_ = -1;
    }
    ProcessResult result;
    result.status = status_;
    result.out = ReadFile(base_ + ".out");
    result.err = ReadFile(base_ + ".err");
    return result;
}

ProcessResult RunReaderProcess(const std::vector<std::string>& args) { return RunningReader(args).Wait(); }

std::vector<std::string> ConfirmedNumbers(const std::string& out) {
    std::vector<std::string> numbers;
    std::istringstream lines(out);
    const std::regex confirmed("  ([0-9]+)  confirmed in frames .*");
    bool inConfirmed = false;
    for (std::string line; std::getline(lines, line);) {
        std::smatch m;
        if (line.rfind("Summary:", 0) == 0) inConfirmed = true;
        if (line.rfind("Best readings never confirmed", 0) == 0) inConfirmed = false;
        if (inConfirmed && std::regex_match(line, m, confirmed)) numbers.push_back(m[1]);
    }
    return numbers;
}

ProcessResult RunReaderWithBrokenOutput(const std::vector<std::string>& args, BrokenOutput broken) {
    const std::string base = ScratchDir() + "/run" + std::to_string(Counter());
    pid_t pid = -1;
    if (broken == BrokenOutput::ReaderGone) {
        // A pipe whose reading end is closed before the reader writes (what
        // `| head -1` leaves once head has its line): every write to it
        // fails, and would raise SIGPIPE.
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC) != 0) throw std::runtime_error("cannot make a pipe");
        ::close(ends[0]);
        pid = Spawn(ReaderExecutable(), args, "", base + ".err", ends[1]);
        ::close(ends[1]);
    } else {
        pid = Spawn(ReaderExecutable(), args, broken == BrokenOutput::Full ? "/dev/full" : "", base + ".err");
    }
    ProcessResult result;
    result.status = Wait(pid);
    result.err = ReadFile(base + ".err");
    return result;
}

ProcessResult InterruptReaderProcess(const std::vector<std::string>& args,
                                     int linesBeforeInterrupt, int signal) {
    RunningReader reader(args);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    // One that ends before it could be interrupted is only waited for.
    while (!reader.HasEnded()) {
        if (static_cast<int>(Lines(reader.OutSoFar()).size()) >= linesBeforeInterrupt ||
            std::chrono::steady_clock::now() >= deadline) {
            reader.Signal(signal);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return reader.Wait();
}

SampleOptions SmallSample(cv::Size size, int frames, int digitHeight) {
    SampleOptions sample;
    sample.size = size;
    sample.frames = frames;
    sample.digitHeight = digitHeight;
    return sample;
}

std::string SampleFile(const std::string& name, const SampleOptions& sample) {
    static std::map<std::string, std::string> written;
    const std::string path = ScratchDir() + "/" + name;
    if (written.count(name) == 0) {
        const std::string error = WriteSample(path, sample);
        if (!error.empty()) {
            throw std::runtime_error(error);
        }
        written[name] = path;
    }
    return path;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        lines.push_back(line);
    }
    return lines;
}

bool RunPython(const std::string& script, const std::vector<std::string>& args,
               std::string& output) {
    const std::string base = ScratchDir() + "/py" + std::to_string(Counter());
    {
        std::ofstream file(base + ".py");
        file << script;
    }
    std::vector<std::string> all{base + ".py"};
    all.insert(all.end(), args.begin(), args.end());
    pid_t pid = -1;
    try {
        pid = Spawn("/usr/bin/python3", all, base + ".out", base + ".out.err");
    } catch (const std::exception&) {
        output = "python3 cannot be started (scripts/bootstrap installs it)";
        return false;
    }
    const int status = Wait(pid);
    output = ReadFile(base + ".out") + ReadFile(base + ".out.err");
    return status == 0;
}

}  // namespace testing_cli
}  // namespace kalvero
