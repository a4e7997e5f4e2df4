#include "serve/CameraRunner.h"

#include <chrono>
#include <limits>

#include "cli/InputRunner.h"
#include "cli/LineForwarder.h"
#include "cli/Reader.h"
#include "cli/ReaderOptions.h"
#include "cli/SharedProgress.h"
#include "command_line/PrintableText.h"
#include "serve/StoringPassWriter.h"
#include "worker/VideoThread.h"

namespace kalvero {

namespace {

// A stream whose reading ended for another reason than a lost connection
// (an exception, a network that cannot be loaded) is read again after this.
constexpr std::chrono::seconds kRestartWait{10};

bool Contains(const std::string& text, const char* part) { return text.find(part) != std::string::npos; }

}  // namespace

CameraRunner::CameraRunner(CameraConfig camera, CameraBoard& board, std::function<void(StoredPass)> keep,
                           std::function<void(const std::string& line)> say)
    : camera_(std::move(camera)), board_(board), keep_(std::move(keep)), say_(std::move(say)) {
    board_.Add(camera_.name, ShownUrl(camera_), camera_.isFile);
}

CameraRunner::~CameraRunner() {
    Stop();
    Join();
}

void CameraRunner::Start() {
    if (!thread_.joinable()) {
        thread_ = std::thread([this] { Run(); });
    }
}

void CameraRunner::Stop() {
    stop_.store(true);
    std::lock_guard<std::mutex> lock(blockMutex_);
    if (block_ != nullptr) {
        block_->stopRequest.store(true, std::memory_order_release);
    }
}

void CameraRunner::Join() {
    if (thread_.joinable()) {
        thread_.join();
    }
}

void CameraRunner::Run() {
    Read();
    done_.store(true);
}

void CameraRunner::Read() {
    ReaderOptions options;
    const ParseOutcome parsed = ParseReaderOptions(ReaderArguments(camera_), options);
    if (!parsed.ok()) {
        say_(parsed.message);
        board_.Finished(camera_.name, parsed.message);
        return;
    }
    // A stream is never given up: the service waits for it however long.
    options.reconnectMax = std::numeric_limits<int>::max();

    // The reader's lines, without its name, as the camera's log lines. Of
    // a stream's tries to reconnect only the first is said: one that
    // stays down for a day would otherwise fill the log.
    std::string lastLine;
    bool reconnectSaid = false;
    const std::string given = PrintableText(camera_.url);
    const std::string shown = PrintableText(ShownUrl(camera_));
    LineForwarder err([&](const std::string& text) {
        std::string line = text;
        if (!line.empty() && line.back() == '\n') line.pop_back();
        const std::string reader = "kalvero-read: ";
        if (line.rfind(reader, 0) == 0) line.erase(0, reader.size());
        // The reader names its input as given: a stream's password stays
        // out of the log.
        for (std::size_t at = 0; !given.empty() && (at = line.find(given, at)) != std::string::npos;) {
            line.replace(at, given.size(), shown);
            at += shown.size();
        }
        if (Contains(line, " reconnected after ")) {
            reconnectSaid = false;
        } else if (Contains(line, "; reconnecting in ")) {
            if (reconnectSaid) return;
            reconnectSaid = true;
        }
        lastLine = line;
        say_(line);
    });
    SharedProgress progress(err, false, 0);
    ReaderEnvironment environment;
    environment.interruptRequested = [this] { return stop_.load(); };
    StoringPassWriter writer(camera_, board_, keep_, say_);
    VideoThread block;
    {
        std::lock_guard<std::mutex> lock(blockMutex_);
        block_ = &block;
        if (stop_.load()) {
            block.stopRequest.store(true, std::memory_order_release);
        }
    }
    InputRunner runner(options, environment, progress, err, {&writer}, block);
    if (camera_.isFile) {
        say_("reading " + ShownUrl(camera_));
        const int status = runner.Read(camera_.url, false);
        err.flush();
        const bool whole = status == kExitOk && !stop_.load();
        say_(whole ? "read to its end" : status == kExitOk ? "stopped" : "stopped reading: " + lastLine);
        board_.Finished(camera_.name, status == kExitOk ? "" : lastLine);
    } else {
        say_("reading " + ShownUrl(camera_));
        while (!stop_.load()) {
            const int status = runner.Read(camera_.url, false);
            err.flush();
            if (stop_.load()) break;
            board_.Connected(camera_.name, false, lastLine);
            say_("reading stopped (status " + std::to_string(status) + "); starting again in " +
                 std::to_string(kRestartWait.count()) + " s");
            const auto until = std::chrono::steady_clock::now() + kRestartWait;
            while (!stop_.load() && std::chrono::steady_clock::now() < until) {
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            }
        }
        board_.Connected(camera_.name, false);
        say_("stopped");
    }
    std::lock_guard<std::mutex> lock(blockMutex_);
    block_ = nullptr;
}

}  // namespace kalvero
