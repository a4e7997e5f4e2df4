#pragma once
#include <optional>
#include <string>
#include <vector>

#include <opencv2/core.hpp>
#include <opencv2/videoio.hpp>

#include "worker/ContainerFacts.h"
#include "worker/DamagedGap.h"

namespace kalvero {

// Reads the frames of an opened capture past the ones that fail to decode.
//
// A failed read does not end a video file: reading goes on with the frames
// after it. The file ends when reads keep failing for kGiveUpMs of the
// video's time (one frame interval a failed read), or at once when the last
// frame the container lists was read. A stream's failed read ends it as
// before: the stream is connected again (StreamReconnect), which is how a
// stream outlives damage.
//
// Times: a file's frames take the container's presentation times. The
// capture gives each frame the time of the packet it was decoded from; the
// frames a decoder holds back to reorder (H.264 and HEVC with B-frames) come
// out at the end of the file with no packet and so with time 0: those take
// the next time in the container's packet list instead (ReadPacketTimes,
// read once when first needed), or the last frame's time plus the last
// interval where the list is empty. A demuxer that counts the frames it
// reads (AVI) gives the frames after damaged chunks it skipped times that
// run behind: with `timesCountFramesRead` the list is read at the start and
// every frame takes its true time from the container's index.
//
// Damage: frames missing between two good frames of a file, by the packet
// list (or by the frame rate when it is empty and reads failed), are handed
// out as the gap before the next good frame.
class DamageSkippingReader {
public:
    static constexpr double kGiveUpMs = 10000.0;

    DamageSkippingReader(cv::VideoCapture& capture, std::string path, bool stream,
                         bool timesCountFramesRead = false);

    // The capture to read from from now on (the source was handed over).
    void Rebind(cv::VideoCapture& capture) { capture_ = &capture; }

    // The next frame that decodes, as the capture gives it, its time in
    // milliseconds and the frames lost right before it; false at the end.
    // A `decoded` that holds a buffer of the frame's size and type is
    // decoded into (no allocation, no page faults): hand in one nobody else
    // holds, or an empty one.
    bool Next(cv::Mat& decoded, double& timestampMs, std::optional<DamagedGap>& gap);

private:
    double IntervalMs() const;
    const std::vector<double>& ListedTimes();
    // The true time of a frame the capture gives `readMs`.
    double TrueTime(double readMs);
    // The time of the frame after one at `ms`.
    double FollowingTime(double ms);
    // Frames lost between good frames at `fromMs` and `toMs` (fromMs < 0:
    // from the start of the file).
    long long LostBetween(double fromMs, double toMs, int failures);
    // The last frame the container lists was read.
    bool AtListedEnd() const;

    cv::VideoCapture* capture_;
    std::string path_;
    bool stream_;
    long long delivered_ = 0;
    double lastMs_ = 0.0;
    double lastReadMs_ = 0.0;  // the capture's time of the frame last delivered
    double lastIntervalMs_ = 0.0;
    bool packetTimesRead_ = false;
    PacketTimes packetTimes_;
};

}  // namespace kalvero
