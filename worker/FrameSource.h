#pragma once
#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include <opencv2/core.hpp>
#include <opencv2/videoio.hpp>

#include "worker/DamagedGap.h"

namespace kalvero {

class DamageSkippingReader;
class DecodeAhead;
class NewestFrame;

// Converts any decoded picture to the 8-bit, three-channel BGR frame the rest
// of the program works on: grey and grey+alpha are expanded, alpha dropped,
// 16-bit values scaled by 1/257, floating point taken as 0..1. An empty input
// gives an empty output.
cv::Mat ToBgr8(const cv::Mat& picture);

// True when the file name ends in an extension of a still image format
// (IsStillImageExtension).
bool IsStillImageName(const std::string& path);

// True for a stream address, read through FFmpeg as it is: rtsp://,
// rtmp://, http://, https://, udp://, tcp:// or srt:// (any letter case).
bool IsStreamAddress(const std::string& name);

// Source of the frames of one run: a video decoded by cv::VideoCapture, or a
// still image that plays as a video of one frame. Every frame it hands out is
// 8-bit BGR (see ToBgr8).
class FrameSource {
public:
    // A stream that sends nothing for this long counts as broken off, both
    // when it is opened and while it is read.
    static constexpr int kStreamTimeoutMs = 5000;

    // Opens `path` (a file, or a stream address: see IsStreamAddress); false
    // when it cannot be opened (or, for a still image,
    // decoded, or when its header announces more than kMaxStillPixels
    // pixels: see IsOversizedStill). Reopening closes what was open before.
    bool open(const std::string& path);
    // Opens `path` like open, and decodes a video file's frames on a thread
    // of their own a few frames ahead of read (DecodeAhead): the run loop's
    // way, which overlaps decoding with recognition. A stream is read on a
    // thread of its own that keeps only its newest frame (NewestFrame): a
    // run slower than the stream skips frames instead of falling behind.
    bool openDecodingAhead(const std::string& path);
    bool isOpened() const;
    // Reads the next frame; false at the end, `frame` is then empty. A
    // video's frames that fail to decode are skipped (DamageSkippingReader).
    bool read(cv::Mat& frame);
    // The frame a read gives after `offset` others (0: the next read),
    // without taking it, for a video file opened by openDecodingAhead
    // (waiting while it is decoded; at most DecodeAhead::kDepth frames
    // ahead): its pixels are shared with that frame and must not be
    // written. False, and `frame` empty, past the end and for a still image,
    // a stream (whose next frame is not there yet), a source that does not
    // decode ahead and a frame put back.
    bool peekNext(cv::Mat& frame, int offset = 0);
    // The time of the frame last read in milliseconds from the start, from
    // the container's timestamps; 0 for a still image.
    double timestampMs() const;
    // The frames of a file that could not be decoded right before the frame
    // last read, if any.
    std::optional<DamagedGap> damageBefore() const;
    // The moment the file's first frame was taken, from its container's
    // creation_time (see ContainerFacts); nullopt for a file without one, a
    // still image or a stream.
    std::optional<std::chrono::system_clock::time_point> creationTime() const { return creationTime_; }
    void release();

    // For a stream opened by openDecodingAhead: when the frame last read
    // had arrived, and how many frames were skipped just before it to keep
    // up. Nothing and 0 for anything else.
    std::optional<std::chrono::system_clock::time_point> arrivalTime() const;
    long long skippedBeforeLast() const;

    // What the opened file states about itself: its frame count (1 for a
    // still image; 0 when a video states none or an absurd one) and its
    // frame rate (0 when it states none).
    long long announcedFrames() const;
    double framesPerSecond() const;

    // Puts back the frame last read: the next read returns it again, with
    // the same timestamp. Lets a caller look at the first frame and still
    // hand the whole video on.
    void putBack(const cv::Mat& frame);

    // Files any frame source of this process has opened or tried to open
    // (a still image or a video; a handover taken does not count, nor does a
    // name refused before the decoders are asked).
    static long long filesOpened();

    // Hands an open source to the next open of the same path on this thread:
    // while a Handover lives, FrameSource::open (and openDecodingAhead) of
    // `path` on the thread that made it takes over `source` instead of
    // opening the file again, once. The run loop opens its input by name;
    // this way a reader that probed the input first reads it from the same
    // opening.
    class Handover {
    public:
        Handover(const std::string& path, FrameSource& source);
        ~Handover();
        Handover(const Handover&) = delete;
        Handover& operator=(const Handover&) = delete;
        // The source was taken over.
        bool taken() const { return source_ == nullptr; }

    private:
        friend class FrameSource;
        std::string path_;
        FrameSource* source_;
        Handover* outer_;  // the handover this one hides, restored at its end
    };

    FrameSource();
    ~FrameSource();
    FrameSource(const FrameSource&) = delete;
    FrameSource& operator=(const FrameSource&) = delete;

private:
    // Takes what `other` holds (before either decodes ahead); `other` is
    // left closed.
    void takeOver(FrameSource& other);
    // read for a stream: the frame NewestFrame hands out.
    bool ReadNewest(cv::Mat& frame);

    cv::VideoCapture capture_;
    std::unique_ptr<DamageSkippingReader> reader_;  // reads capture_
    std::unique_ptr<DecodeAhead> ahead_;  // while set, only it touches reader_ and capture_
    double lastTimestampMs_ = 0.0;        // of the frame last read
    std::optional<DamagedGap> lastGap_;   // frames lost before the frame last read
    std::optional<std::chrono::system_clock::time_point> creationTime_;
    std::unique_ptr<NewestFrame> newest_;  // a stream's reader; while set, only it touches capture_
    std::optional<std::chrono::system_clock::time_point> arrived_;  // of the frame last taken from newest_
    long long skippedBeforeLast_ = 0;
    bool yielded_ = false;  // the reading thread has lowered its priority (ReadNewest)
    // The priority (nice value) a stream's recognising thread lowers itself to.
    static constexpr int kRecognitionNice = 5;
    cv::Mat still_;            // the picture of a still-image source
    bool isStill_ = false;
    bool stillDelivered_ = false;
    cv::Mat putBack_;                 // returned by the next read when set
    double putBackTimestampMs_ = 0.0;
    std::optional<DamagedGap> putBackGap_;
    bool readPutBack_ = false;        // the frame last read was the one put back
};

}  // namespace kalvero
