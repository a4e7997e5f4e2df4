#include "worker/DecodeAhead.h"

#include <atomic>

#include "worker/DamageSkippingReader.h"
#include "worker/FrameSource.h"

namespace kalvero {

namespace {
std::atomic<long long> buffersMade{0};
}  // namespace

long long DecodeAhead::BuffersMade() { return buffersMade.load(); }

DecodeAhead::DecodeAhead(DamageSkippingReader& reader) : reader_(reader), thread_([this] { Decode(); }) {}

DecodeAhead::~DecodeAhead() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

cv::Mat DecodeAhead::FreeBuffer() {
    for (const cv::Mat& buffer : buffers_) {
        // Held by the pool alone: every frame decoded into it was let go.
        // (The count only falls while the pool holds it: nobody else can
        // take a new reference.)
        if (__atomic_load_n(&buffer.u->refcount, __ATOMIC_ACQUIRE) == 1) return buffer;
    }
    return cv::Mat();
}

void DecodeAhead::Keep(const cv::Mat& decoded) {
    if (decoded.u == nullptr || decoded.data != decoded.datastart) return;
    for (cv::Mat& buffer : buffers_) {
        if (buffer.u == decoded.u) return;
    }
    if (buffers_.size() < kBuffers) {
        buffers_.push_back(decoded);
        return;
    }
    // A full pool: a free buffer makes room (one of a size the video no
    // longer has, after a change of resolution).
    for (cv::Mat& buffer : buffers_) {
        if (__atomic_load_n(&buffer.u->refcount, __ATOMIC_ACQUIRE) == 1) {
            buffer = decoded;
            return;
        }
    }
}

void DecodeAhead::Decode() {
    for (;;) {
        // A buffer no frame handed out uses any more, or a new one: frames
        // handed out are never written again.
        cv::Mat given = FreeBuffer();
        cv::Mat decoded = given;
        Decoded next;
        const bool read = reader_.Next(decoded, next.timestampMs, next.gap);
        if (read && decoded.u != given.u) ++buffersMade;
        given.release();
        if (read) Keep(decoded);
        next.frame = read ? ToBgr8(decoded) : cv::Mat();
        decoded.release();
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

bool DecodeAhead::Peek(cv::Mat& frame, std::size_t offset) {
    frame.release();
    if (offset >= kDepth) return false;
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return frames_.size() > offset || ended_ || stopping_; });
    if (frames_.size() <= offset) return false;
    frame = frames_[offset].frame;
    return true;
}

}  // namespace kalvero
