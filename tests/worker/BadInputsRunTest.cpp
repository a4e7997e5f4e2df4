// The window's run loop on damaged and unusual files: every run ends by
// itself, hands out only whole 8-bit BGR-derived frames numbered from 1, and
// never throws.
#include <cctype>
#include <filesystem>
#include <thread>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "RecordingSink.h"
#include "support/BadInputs.h"
#include "worker/VideoThread.h"

namespace kalvero::testing {
namespace {

class BadInputsFolder {
public:
    BadInputsFolder()
        : path_((std::filesystem::temp_directory_path() / ("kalvero-bad-inputs-" + std::to_string(::getpid())))
                    .string()) {
        std::filesystem::create_directories(path_);
        inputs_ = WriteBadInputs(path_);
    }
    ~BadInputsFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    const std::vector<BadInput>& inputs() const { return inputs_; }

private:
    std::string path_;
    std::vector<BadInput> inputs_;
};

const std::vector<BadInput>& Inputs() {
    static BadInputsFolder folder;
    return folder.inputs();
}

// "Frame #<n>: Time recognition: <s>.<ddd> s" (std::regex is avoided: GCC
// warns inside it in the sanitizer builds).
bool IsFrameLine(const std::string& line, int frameNumber) {
    const std::string head = "Frame #" + std::to_string(frameNumber) + ": Time recognition: ";
    if (line.compare(0, head.size(), head) != 0 || line.size() < head.size() + 7) return false;
    const std::string seconds = line.substr(head.size(), line.size() - head.size() - 2);
    const std::size_t dot = seconds.find('.');
    if (dot == 0 || dot == std::string::npos || seconds.size() - dot != 4) return false;
    for (std::size_t i = 0; i < seconds.size(); ++i) {
        if (i != dot && !std::isdigit(static_cast<unsigned char>(seconds[i]))) return false;
    }
    return line.compare(line.size() - 2, 2, " s") == 0;
}

struct RunOutcome {
    bool ended = false;
    bool threw = false;
    std::vector<RecordedFrame> frames;
    int runEnds = 0;
    bool opened = false;
};

// Runs the loop on its own thread, as the window does, and gives it a
// minute; a run that has not ended by then is stopped and reported.
RunOutcome Play(const std::string& path, float zoom = 1.0f) {
    VideoThread block;
    RunSettings options;
    StoreRunPath(options, path);
    options.zoom.store(zoom);
    block.optionsChanged.store(true);
    RecordingSink sink;
    RunOutcome outcome;
    std::atomic<bool> done{false};
    std::thread worker([&] {
        try {
            block.Run(sink, options);
        } catch (...) {
            outcome.threw = true;
        }
        done.store(true);
    });
    outcome.ended = WaitUntil([&] { return done.load(); }, std::chrono::seconds(60));
    if (!outcome.ended) block.stopRequest.store(true);
    worker.join();
    outcome.frames = sink.frames();
    outcome.runEnds = sink.runEnds();
    outcome.opened = sink.lastOpened();
    return outcome;
}

TEST(BadInputsRun, EveryDamagedOrOddFileEndsTheRunQuietly) {
    ASSERT_GE(Inputs().size(), 39u);
    for (const BadInput& input : Inputs()) {
        SCOPED_TRACE(input.name);
        const RunOutcome run = Play(input.path);
        ASSERT_TRUE(run.ended) << "the run did not end";
        EXPECT_FALSE(run.threw);
        EXPECT_EQ(run.runEnds, 1);
        for (std::size_t i = 0; i < run.frames.size(); ++i) {
            const RecordedFrame& frame = run.frames[i];
            EXPECT_EQ(frame.frameNumber, static_cast<int>(i) + 1);
            EXPECT_EQ(frame.rgb.type(), CV_8UC3);
            EXPECT_FALSE(frame.rgb.empty());
            EXPECT_TRUE(IsFrameLine(frame.line, static_cast<int>(i) + 1)) << frame.line;
        }
        switch (input.outcome) {
        case BadInputOutcome::Refused:
            EXPECT_TRUE(run.frames.empty());
            break;
        case BadInputOutcome::Played:
            EXPECT_TRUE(run.opened);
            EXPECT_EQ(static_cast<int>(run.frames.size()), input.frames);
            break;
        case BadInputOutcome::Either:
            break;
        }
        if (!run.opened) {
            EXPECT_TRUE(run.frames.empty());
        }
    }
}

// A directory or a named pipe under a video's or a picture's name does not
// open, and at once: opening a pipe would wait for a writer.
TEST(BadInputsRun, DirectoriesAndNamedPipesDoNotOpen) {
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("kalvero-not-files-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder / "folder.avi");
    const std::string pipes[] = {(folder / "pipe.avi").string(), (folder / "pipe.png").string()};
    for (const std::string& pipe : pipes) ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0) << pipe;

    const std::string paths[] = {(folder / "folder.avi").string(), pipes[0], pipes[1]};
    for (const std::string& path : paths) {
        SCOPED_TRACE(path);
        VideoThread block;
        RunSettings options;
        StoreRunPath(options, path);
        RecordingSink sink;
        std::atomic<bool> done{false};
        std::thread worker([&] {
            block.Run(sink, options);
            done.store(true);
        });
        const bool ended = WaitUntil([&] { return done.load(); }, std::chrono::seconds(10));
        EXPECT_TRUE(ended) << "waits on the pipe";
        if (!ended) {
            // Release an open() that waits for a writer, so the test can end.
            const int writer = ::open(path.c_str(), O_WRONLY | O_NONBLOCK);
            if (writer >= 0) ::close(writer);
        }
        worker.join();
        EXPECT_FALSE(sink.lastOpened());
        EXPECT_EQ(sink.count(), 0u);
    }
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
}

}  // namespace
}  // namespace kalvero::testing
