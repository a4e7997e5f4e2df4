#include "worker/FrameOutbox.h"

#include <utility>

namespace kalvero {

void FrameOutbox::Post(OutboxFrame frame) {
    std::lock_guard<std::mutex> lock(mutex_);
    frames_.push_back(std::move(frame));
}

std::deque<OutboxFrame> FrameOutbox::TakeAll() {
    std::deque<OutboxFrame> taken;
    std::lock_guard<std::mutex> lock(mutex_);
    taken.swap(frames_);
    return taken;
}

std::size_t FrameOutbox::Pending() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return frames_.size();
}

void FrameOutbox::Clear() {
    std::deque<OutboxFrame> dropped;
    std::lock_guard<std::mutex> lock(mutex_);
    dropped.swap(frames_);
}

}  // namespace kalvero
