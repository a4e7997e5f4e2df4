#pragma once
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include <opencv2/core.hpp>
#include <opencv2/videoio.hpp>

namespace kalvero {

// Reads a live stream on a thread of its own as fast as it arrives and
// keeps only the newest frame, so that a reader slower than the stream
// works on what is happening now instead of falling further behind.
//
// Every arriving frame is decoded (the stream's decoder needs them all),
// but only the frame that will be handed out is converted to BGR: while one
// waits to be taken, later arrivals are dropped and counted. A frame is
// handed out at most one reader's cycle after it arrived.
//
// The capture is borrowed: from construction to destruction only this
// object's thread touches it. The first failed read (the end, or a stream
// silent past its read timeout) ends the stream; the frame still waiting is
// handed out first.
//
// Threads: Next is called by one thread (the run loop); the destructor
// stops the reading thread once its current read returns, and joins it.
class NewestFrame {
public:
    using WallClock = std::chrono::system_clock;

    struct Frame {
        cv::Mat image;                  // 8-bit BGR
        double timestampMs = 0.0;       // the stream's own timestamp
        WallClock::time_point arrived;  // when the stream's frame had been read
        long long droppedBefore = 0;    // frames dropped since the one handed out before it
    };

    explicit NewestFrame(cv::VideoCapture& capture);
    ~NewestFrame();
    NewestFrame(const NewestFrame&) = delete;
    NewestFrame& operator=(const NewestFrame&) = delete;

    // The frame waiting, or the next one to arrive; false (and `frame`
    // empty) when the stream has ended.
    bool Next(Frame& frame);

    // Frames dropped so far.
    long long Dropped() const;

private:
    void Read();

    cv::VideoCapture& capture_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    Frame waiting_;             // valid while hasWaiting_
    bool hasWaiting_ = false;
    long long droppedSince_ = 0;  // dropped since the last frame handed out
    long long dropped_ = 0;
    bool ended_ = false;
    bool stopping_ = false;
    std::thread thread_;  // last: started once the rest is in place
};

}  // namespace kalvero
