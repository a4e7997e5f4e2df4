// kalvero-read on damaged and unusual files: status 0 or 3, our own
// one-line message on a refusal and the summary otherwise, nothing else on
// standard error, and never a crash, a hang or a sanitizer report.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>

#include "ReaderProcess.h"
#include "support/BadInputs.h"

extern char** environ;

namespace kalvero {
namespace {

using namespace testing_cli;
using testing::BadInput;
using testing::BadInputOutcome;

struct TimedResult {
    bool finished = false;   // ended within the deadline
    bool exited = false;     // by exit(), not by a signal
    int status = -1;
    std::string out;
    std::string err;
};

// Runs kalvero-read with `args`; a process still running after `deadline`
// is killed and reported as a hang.
TimedResult RunWithDeadline(const std::vector<std::string>& args, std::chrono::seconds deadline) {
    static int counter = 0;
    const std::string base = ScratchDir() + "/bad" + std::to_string(++counter);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, (base + ".out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, (base + ".err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<std::string> all{ReaderExecutable()};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int failed = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    TimedResult result;
    if (failed != 0) return result;

    const auto until = std::chrono::steady_clock::now() + deadline;
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > until) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            result.out = ReadFile(base + ".out");
            result.err = ReadFile(base + ".err");
            return result;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    result.finished = true;
    result.exited = WIFEXITED(status);
    result.status = result.exited ? WEXITSTATUS(status) : -1;
    result.out = ReadFile(base + ".out");
    result.err = ReadFile(base + ".err");
    return result;
}

const std::vector<BadInput>& Inputs() {
    static const std::vector<BadInput> inputs = [] {
        const std::string folder = ScratchDir() + "/bad-inputs";
        std::filesystem::create_directories(folder);
        return testing::WriteBadInputs(folder);
    }();
    return inputs;
}

// The frame count of "Summary: <n> frame(s) read", or -1.
int FramesInSummary(const std::string& text) {
    const std::size_t at = text.find("Summary: ");
    if (at == std::string::npos) return -1;
    std::istringstream summary(text.substr(at + 9));
    int frames = -1;
    std::string word;
    summary >> frames >> word;
    return (word == "frame" || word == "frames") ? frames : -1;
}

// Standard error without the lines that libpng and libjpeg print straight
// to it (OpenCV leaves their default message handlers in place, so these
// cannot be silenced the way OpenCV's and FFmpeg's own logs are).
std::string WithoutDecoderLibraryLines(const std::string& text) {
    static const char* const kPrefixes[] = {"libpng error: ",          "libpng warning: ",
                                            "Premature end of JPEG file", "Corrupt JPEG data: "};
    std::istringstream lines(text);
    std::string line;
    std::string kept;
    while (std::getline(lines, line)) {
        bool library = false;
        for (const char* prefix : kPrefixes) library = library || line.rfind(prefix, 0) == 0;
        if (!library) kept += line + "\n";
    }
    return kept;
}

void ExpectClearAnswer(const BadInput& input, const std::vector<std::string>& extra, bool json) {
    std::vector<std::string> args{input.path};
    args.insert(args.end(), extra.begin(), extra.end());
    TimedResult r = RunWithDeadline(args, std::chrono::seconds(120));
    r.err = WithoutDecoderLibraryLines(r.err);
    ASSERT_TRUE(r.finished) << "hangs; standard error so far:\n" << r.err;
    ASSERT_TRUE(r.exited) << "killed by a signal:\n" << r.err;
    ASSERT_TRUE(r.status == 0 || r.status == 3) << "status " << r.status << "\n" << r.err;

    if (r.status == 3) {
        // One line, ours, naming the file.
        const std::string opening = "kalvero-read: cannot open '" + input.path + "': ";
        const std::string reading = "kalvero-read: cannot read the first frame of '" + input.path + "'\n";
        const bool ours = r.err == reading || (r.err.rfind(opening, 0) == 0 && r.err.size() > opening.size() + 1);
        EXPECT_TRUE(ours) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_EQ(r.err.back(), '\n');
        EXPECT_EQ(r.out, "");
        EXPECT_NE(input.outcome, BadInputOutcome::Played) << "a playable file was refused";
        return;
    }
    EXPECT_NE(input.outcome, BadInputOutcome::Refused) << "played " << r.out;
    // The summary on standard output (text) or standard error (JSON, after
    // nothing else); FFmpeg's and OpenCV's own complaints stay out of both.
    const std::string& summary = json ? r.err : r.out;
    const int frames = FramesInSummary(summary);
    EXPECT_GE(frames, 1) << summary;
    if (input.outcome == BadInputOutcome::Played) {
        EXPECT_EQ(frames, input.frames);
    }
    if (json) {
        EXPECT_EQ(r.err.rfind("Summary: ", 0), 0u) << r.err;
        std::istringstream lines(r.out);
        std::string line;
        int objects = 0;
        while (std::getline(lines, line)) {
            EXPECT_EQ(line.rfind("{\"frame\": " + std::to_string(++objects) + ",", 0), 0u) << line;
        }
        EXPECT_EQ(objects, frames);
    } else {
        EXPECT_EQ(r.err, "");
    }
}

TEST(BadInputsReader, EveryFileGetsStatusZeroOrThreeAndAClearAnswer) {
    ASSERT_GE(Inputs().size(), 39u);
    for (const BadInput& input : Inputs()) {
        SCOPED_TRACE(input.name);
        ExpectClearAnswer(input, {}, false);
    }
}

TEST(BadInputsReader, JsonAndExplainOutputStayWholeOnTheSameFiles) {
    for (const BadInput& input : Inputs()) {
        if (input.outcome == BadInputOutcome::Refused) continue;
        SCOPED_TRACE(input.name);
        ExpectClearAnswer(input, {"--json", "--zoom", "0.5", "--digit-height", "16", "--threshold", "1"}, true);
    }
}

TEST(BadInputsReader, DirectoriesAndNamedPipesAreRefusedAtOnce) {
    const std::string folder = ScratchDir() + "/not-files";
    std::filesystem::create_directories(folder + "/folder.avi");
    const std::string videoPipe = folder + "/pipe.avi";
    const std::string picturePipe = folder + "/pipe.png";
    ASSERT_EQ(::mkfifo(videoPipe.c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo(picturePipe.c_str(), 0600), 0);
    const std::pair<std::string, std::string> cases[] = {
        {folder + "/folder.avi", "Is a directory"},
        {videoPipe, "not a regular file"},
        {picturePipe, "not a regular file"},
        {folder + "/missing.png", "No such file or directory"},
    };
    for (const auto& [path, reason] : cases) {
        SCOPED_TRACE(path);
        const TimedResult r = RunWithDeadline({path}, std::chrono::seconds(30));
        ASSERT_TRUE(r.finished) << "waits on the pipe";
        EXPECT_EQ(r.status, 3);
        EXPECT_EQ(r.err, "kalvero-read: cannot open '" + path + "': " + reason + "\n");
        EXPECT_EQ(r.out, "");
    }
}

}  // namespace
}  // namespace kalvero
