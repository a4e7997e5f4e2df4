#include "worker/DecodeAhead.h"

#include "worker/DamageSkippingReader.h"
#include "worker/FrameSource.h"

namespace kalvero {

DecodeAhead::DecodeAhead(DamageSkippingReader& reader) : reader_(reader), thread_([this] { Decode(); }) {}

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
        Decoded next;
        const bool read = reader_.Next(decoded, next.timestampMs, next.gap);
        next.frame = read ? ToBgr8(decoded) : cv::Mat();
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return stopping_ || frames_.size() < kDepth; });
        if (stopping_) return;
        if (next.frame.empty()) {
            ended_ = true;
            changed_.notify_all();
            return;
        }
        frames_.push_back(std::move(next));
        changed_.notify_all();
    }
}

bool DecodeAhead::Next(cv::Mat& frame, double& timestampMs, std::optional<DamagedGap>& gap) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return !frames_.empty() || ended_; });
    if (frames_.empty()) {
        frame.release();
        gap.reset();
        return false;
    }
    frame = std::move(frames_.front().frame);
    timestampMs = frames_.front().timestampMs;
    gap = frames_.front().gap;
    frames_.pop_front();
    changed_.notify_all();
    return true;
}

}  // namespace kalvero
