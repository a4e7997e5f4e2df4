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
};

// The facts of the file at `path` (nothing when it cannot be opened).
ContainerFacts ReadContainerFacts(const std::string& path);

// FFmpeg's text of a creation_time ("2026-12-08T10:00:00.000000Z"; a time
// without a zone is UTC, as FFmpeg writes them); nullopt when it does not
// parse.
std::optional<std::chrono::system_clock::time_point> CreationTimeFrom(const std::string& text);

// The presentation times of every packet of the file's video stream in
// milliseconds from the stream's start (as cv::VideoCapture counts them),
// sorted: the k-th is the time of the k-th frame shown. Packets are read,
// not decoded; damaged stretches are read past. Empty when the file cannot
// be opened or its packets carry no times.
std::vector<double> PresentationTimesMs(const std::string& path);

}  // namespace kalvero
