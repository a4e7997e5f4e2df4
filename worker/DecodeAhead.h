#pragma once
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

#include <opencv2/core.hpp>

#include "worker/DamagedGap.h"

namespace kalvero {

class DamageSkippingReader;

// Decodes the frames of an opened video on a thread of its own, a few
// frames ahead of the one who reads them, so that decoding the next frame
// and recognising this one use two cores instead of taking turns on one.
//
// The reader is borrowed: from construction to destruction only this
// object's thread touches it (and the capture it reads). Frames come out in
// order, each 8-bit BGR (see ToBgr8) with its time and the damaged frames
// skipped before it, as the reader gave them.
//
// Threads: Next is called by one thread (the run loop); the destructor
// stops the decoding thread (it finishes the frame it is decoding) and
// joins it.
class DecodeAhead {
public:
    // Frames decoded and not yet taken, at most: enough to keep the decoder
    // busy while a frame is recognised, also while the learned engine reads
    // a group of frames (two of them ahead, one searched whole, and the
    // others quickly), few enough that a 4K video holds about 100 MB.
    static constexpr std::size_t kDepth = 4;

    explicit DecodeAhead(DamageSkippingReader& reader);
    ~DecodeAhead();
    DecodeAhead(const DecodeAhead&) = delete;
    DecodeAhead& operator=(const DecodeAhead&) = delete;

    // The next frame, its timestamp in milliseconds and the frames lost
    // right before it, waiting for it if it is still being decoded; false
    // (and `frame` empty) at the end.
    bool Next(cv::Mat& frame, double& timestampMs, std::optional<DamagedGap>& gap);

    // The frame Next will give after `offset` others (0: the next one),
    // waiting for it if it is still being decoded, without taking it: its
    // pixels are shared and must not be written. False (and `frame` empty)
    // when the video ends before it, and for an offset of kDepth or more
    // (frames not decoded until earlier ones are taken).
    bool Peek(cv::Mat& frame, std::size_t offset = 0);

    // Frame buffers decoded into again once every frame decoded into them
    // was let go: a new buffer a frame costs an allocation and the page
    // faults of its first writing (25 MB a 4K frame).
    static constexpr std::size_t kBuffers = kDepth + 3;
    // Frames decoded into a new buffer so far, by all decoders of the process.
    static long long BuffersMade();

private:
    void Decode();
    // A buffer of the pool nobody else holds, or an empty one.
    cv::Mat FreeBuffer();
    // Takes the buffer just decoded into in the pool, when there is room.
    void Keep(const cv::Mat& decoded);

    struct Decoded {
        cv::Mat frame;
        double timestampMs = 0.0;
        std::optional<DamagedGap> gap;
    };
    DamageSkippingReader& reader_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Decoded> frames_;  // decoded, not yet taken
    std::vector<cv::Mat> buffers_;  // the decoding thread's alone
    bool ended_ = false;     // the decoder read its last frame
    bool stopping_ = false;  // the destructor asks the decoder to stop
    std::thread thread_;     // last: started once the rest is in place
};

}  // namespace kalvero
