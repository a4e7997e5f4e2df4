#pragma once
#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace kalvero {

// What a video file's container states beside its pictures, read through
// libavformat without decoding a frame.
struct ContainerFacts {
    // The `creation_time` tag, when the file has one that parses: the
    // moment its first frame was taken.
    std::optional<std::chrono::system_clock::time_point> creationTime;
    // The demuxer numbers the frames it reads one after the other (AVI):
    // after damaged chunks it skips, the times it gives run behind the
    // container's, and only its index (PacketTimes) tells the true ones.
    bool timesCountFramesRead = false;
};

// The facts of the file at `path` (nothing when it cannot be opened).
ContainerFacts ReadContainerFacts(const std::string& path);

// FFmpeg's text of a creation_time ("2026-12-08T10:00:00.000000Z"; a time
// without a zone is UTC, as FFmpeg writes them); nullopt when it does not
// parse.
std::optional<std::chrono::system_clock::time_point> CreationTimeFrom(const std::string& text);

// The times of a file's video frames in milliseconds from the stream's start
// (as cv::VideoCapture counts them). Packets are read, not decoded; damaged
// stretches are read past.
struct PacketTimes {
    // Every frame the container lists, sorted: the k-th is the time of the
    // k-th frame shown. From the packets' presentation times, or from the
    // index of a container whose demuxer counts frames as it reads them
    // (then frames in chunks the demuxer skipped are listed too).
    std::vector<double> listedMs;
    // For such a container, the times the demuxer gives (and so the
    // capture) against the true times of those frames, sorted by the first;
    // empty when they are the same.
    std::vector<std::pair<double, double>> readToTrueMs;
};

// The packet times of the file at `path`; empty when it cannot be opened or
// its packets carry no times.
PacketTimes ReadPacketTimes(const std::string& path);

}  // namespace kalvero
