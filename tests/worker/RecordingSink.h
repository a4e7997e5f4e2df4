#pragma once
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <opencv2/core.hpp>

#include "worker/FrameSink.h"
#include "worker/VideoThread.h"

namespace kalvero::testing {

// What a run handed out for one frame, copied.
struct RecordedFrame {
    int frameNumber = 0;
    cv::Mat rgb;
    std::string line;
    std::vector<Reading> readings;
    RecognitionEngine engine = RecognitionEngine::Glyph;
    cv::Rect zone;
    int voteCode = kNoVote;
    std::string voted;
    std::string confirmed;
    double recognitionMs = 0.0;
};

// Keeps every frame of a run; `onFrame` (if set) runs on the worker thread
// after the frame has been recorded, to steer the run like the GUI would.
class RecordingSink : public FrameSink {
public:
    std::function<void(const FrameReport&)> onFrame;

    void OnFrame(const FrameReport& report) override {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            RecordedFrame frame;
            frame.frameNumber = report.frameNumber;
            frame.rgb = report.rgbImage.clone();
            frame.line = report.logLine;
            frame.readings = report.readings;
            frame.engine = report.engine;
            frame.zone = report.zone;
            frame.voteCode = report.voteCode;
            frame.voted = report.voted;
            frame.confirmed = report.confirmed;
            frame.recognitionMs = report.recognitionMs;
            frames_.push_back(std::move(frame));
        }
        changed_.notify_all();
        if (onFrame) onFrame(report);
    }

    void OnNotice(const std::string& line) override {
        std::lock_guard<std::mutex> lock(mutex_);
        notices_.push_back(line);
    }

    std::vector<std::string> notices() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return notices_;
    }

    void OnRunEnd(bool opened) override {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            ++runEnds_;
            lastOpened_ = opened;
        }
        changed_.notify_all();
    }

    std::vector<RecordedFrame> frames() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return frames_;
    }
    std::size_t count() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return frames_.size();
    }
    int runEnds() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return runEnds_;
    }
    bool lastOpened() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return lastOpened_;
    }
    void clear() {
        std::lock_guard<std::mutex> lock(mutex_);
        frames_.clear();
        runEnds_ = 0;
    }

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<RecordedFrame> frames_;
    std::vector<std::string> notices_;
    int runEnds_ = 0;
    bool lastOpened_ = false;
};

// Polls `condition` until it holds or `timeout` passes.
template <typename Condition>
bool WaitUntil(Condition condition, std::chrono::milliseconds timeout = std::chrono::seconds(30)) {
    const auto until = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

}  // namespace kalvero::testing
