#include "app/FrameOutbox.h"

#include <utility>

namespace kalvero {

void FrameOutbox::Post(OutboxFrame frame) {
    cv::Mat superseded;  // released after the lock, off the critical section
    std::lock_guard<std::mutex> lock(mutex_);
    if (!frame.rgbImage.empty()) {
        if (imageWaiting_) {
            // At most one entry holds an image; find it from the newest end.
            for (auto it = frames_.rbegin(); it != frames_.rend(); ++it) {
                if (it->rgbImage.empty()) continue;
                superseded = std::move(it->rgbImage);
                it->rgbImage = cv::Mat();
                ++imagesDropped_;
                break;
            }
        }
        imageWaiting_ = true;
        ++imagesPosted_;
    }
    // An entry left with neither image nor line carries nothing.
    if (!frames_.empty() && frames_.back().rgbImage.empty() && frames_.back().line.empty()) frames_.pop_back();
    frames_.push_back(std::move(frame));
}

std::deque<OutboxFrame> FrameOutbox::TakeAll() {
    std::deque<OutboxFrame> taken;
    std::lock_guard<std::mutex> lock(mutex_);
    taken.swap(frames_);
    imageWaiting_ = false;
    return taken;
}

std::size_t FrameOutbox::Pending() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return frames_.size();
}

std::size_t FrameOutbox::PendingImages() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return imageWaiting_ ? 1 : 0;
}

std::size_t FrameOutbox::ImagesPosted() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return imagesPosted_;
}

std::size_t FrameOutbox::ImagesDropped() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return imagesDropped_;
}

void FrameOutbox::Clear() {
    std::deque<OutboxFrame> dropped;
    std::lock_guard<std::mutex> lock(mutex_);
    dropped.swap(frames_);
    imageWaiting_ = false;
}

}  // namespace kalvero
