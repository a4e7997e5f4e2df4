#include "worker/DecodeAhead.h"

#include "worker/FrameSource.h"

namespace kalvero {

DecodeAhead::DecodeAhead(cv::VideoCapture& capture) : capture_(capture), thread_([this] { Decode(); }) {}

DecodeAhead::~DecodeAhead() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

void DecodeAhead::Decode() {
    for (;;) {
        cv::Mat decoded;  // a new buffer each time: frames handed out are never written again
        bool read = false;
        double timestampMs = 0.0;
        try {
            read = capture_.read(decoded) && !decoded.empty();
            if (read) timestampMs = capture_.get(cv::CAP_PROP_POS_MSEC);
        } catch (const cv::Exception&) {
            read = false;  // a broken frame ends the video like its end does
        }
        cv::Mat frame = read ? ToBgr8(decoded) : cv::Mat();
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return stopping_ || frames_.size() < kDepth; });
        if (stopping_) return;
        if (frame.empty()) {
            ended_ = true;
            changed_.notify_all();
            return;
        }
        frames_.emplace_back(std::move(frame), timestampMs);
        changed_.notify_all();
    }
}

bool DecodeAhead::Next(cv::Mat& frame, double& timestampMs) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return !frames_.empty() || ended_; });
    if (frames_.empty()) {
        frame.release();
        return false;
    }
    frame = std::move(frames_.front().first);
    timestampMs = frames_.front().second;
    frames_.pop_front();
    changed_.notify_all();
    return true;
}

}  // namespace kalvero
