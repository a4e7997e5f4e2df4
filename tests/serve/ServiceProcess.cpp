#include "ServiceProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

extern char** environ;

namespace kalvero {

namespace {

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

ServiceProcess::ServiceProcess(const std::string& program, std::vector<std::string> args, const std::string& base)
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

ServiceProcess::~ServiceProcess() {
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        Wait();
    }
}

void ServiceProcess::Signal(int signal) const {
    if (pid_ > 0) kill(pid_, signal);
}

bool ServiceProcess::Running() {
    int status = 0;
    if (pid_ <= 0) return false;
    if (waitpid(pid_, &status, WNOHANG) != pid_) return true;
    Keep(status);
    return false;
}

int ServiceProcess::Wait() {
    if (pid_ > 0) {
        int status = 0;
        waitpid(pid_, &status, 0);
        Keep(status);
    }
    return status_;
}

std::string ServiceProcess::Out() const { return ReadText(outPath_); }
std::string ServiceProcess::Err() const { return ReadText(errPath_); }

void ServiceProcess::Keep(int status) {
    status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    pid_ = -1;
}

std::string BuiltProgram(const std::string& program) { return std::string(KALVERO_BUILD_DIR) + "/" + program; }

bool MakeSampleVideo(const std::string& path, const std::string& args) {
    const std::string command = "'" + BuiltProgram("kalvero-make-sample") + "' '" + path + "' " + args + " >/dev/null";
    return std::system(command.c_str()) == 0;
}

bool HaveFfmpeg() { return std::system("command -v ffmpeg >/dev/null 2>&1") == 0; }

std::unique_ptr<ServiceProcess> ServeOverHttp(const std::string& video, const std::string& address, bool loop,
                              const std::string& base, double rate) {
    std::vector<std::string> args = {"-v", "quiet", "-nostdin"};
    if (rate == 1.0) {
        args.push_back("-re");
    } else {
        args.insert(args.end(), {"-readrate", std::to_string(rate)});
    }
    if (loop) args.insert(args.end(), {"-stream_loop", "-1"});
    args.insert(args.end(), {"-i", video, "-c:v", "mpeg4", "-q:v", "3", "-f", "mpegts", "-listen", "1", address});
    return std::make_unique<ServiceProcess>("ffmpeg", args, base);
}

}  // namespace kalvero
