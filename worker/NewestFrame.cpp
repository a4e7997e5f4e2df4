#include "worker/NewestFrame.h"

#include "worker/FrameSource.h"

namespace kalvero {

NewestFrame::NewestFrame(cv::VideoCapture& capture) : capture_(capture), thread_([this] { Read(); }) {}

NewestFrame::~NewestFrame() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

void NewestFrame::Read() {
    for (;;) {
        bool ok = false;
        try {
            ok = capture_.grab();
        } catch (const cv::Exception&) {
            ok = false;
        }
        const WallClock::time_point arrived = WallClock::now();
        bool convert = false;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (stopping_) return;
            if (!ok) {
                ended_ = true;
                changed_.notify_all();
                return;
            }
            if (hasWaiting_) {
                // The reader has not taken the frame before: this one goes.
                ++droppedSince_;
                ++dropped_;
            } else {
                convert = true;
            }
        }
        if (!convert) continue;
        Frame frame;
        cv::Mat decoded;
        try {
            capture_.retrieve(decoded);
        } catch (const cv::Exception&) {
            decoded.release();
        }
        frame.image = ToBgr8(decoded);
        frame.timestampMs = capture_.get(cv::CAP_PROP_POS_MSEC);
        frame.arrived = arrived;
        std::lock_guard<std::mutex> lock(mutex_);
        if (stopping_) return;
        if (frame.image.empty()) {
            // A frame that would not convert counts as dropped.
            ++droppedSince_;
            ++dropped_;
            continue;
        }
        frame.droppedBefore = droppedSince_;
        droppedSince_ = 0;
        waiting_ = std::move(frame);
        hasWaiting_ = true;
        changed_.notify_all();
    }
}

bool NewestFrame::Next(Frame& frame) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return hasWaiting_ || ended_; });
    if (!hasWaiting_) {
        frame = Frame();
        return false;
    }
    frame = std::move(waiting_);
    waiting_ = Frame();
    hasWaiting_ = false;
    return true;
}

long long NewestFrame::Dropped() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return dropped_;
}

}  // namespace kalvero
