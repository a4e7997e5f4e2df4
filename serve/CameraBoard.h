#pragma once
#include <chrono>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "cli/TimeOfDay.h"

namespace kalvero {

// How one camera is doing, as the status page, the API, /healthz and
// /metrics show it.
struct CameraState {
    std::string name;
    std::string url;
    bool isFile = false;          // a file: read once, then finished
    bool connected = false;       // frames are arriving
    bool finished = false;        // a file read to its end, or a stream given up
    double framesPerSecond = 0.0; // frames read over the last few seconds
    std::optional<TimeOfDay> lastFrame;  // when the last frame arrived
    long long framesRead = 0;
    long long passesStored = 0;   // since the service started
    double recognitionSeconds = 0.0;  // time spent recognising, all frames
    std::string lastError;        // the last thing that went wrong; empty when none
};

// The cameras' states, written by each camera's thread and read by the web
// server's: every call takes the board's lock.
class CameraBoard {
public:
    // Adds a camera; names are unique (the configuration checks).
    void Add(const std::string& name, const std::string& url, bool isFile);

    // A frame arrived at `at` and took `recognitionSeconds` to recognise.
    void FrameRead(const std::string& name, TimeOfDay at, double recognitionSeconds);
    // The stream opened or broke off (`error` says why when it broke off).
    void Connected(const std::string& name, bool connected, const std::string& error = {});
    void PassStored(const std::string& name);
    // The camera is done (a file read to its end, a stream given up).
    void Finished(const std::string& name, const std::string& error = {});

    // Every camera, in the order they were added.
    std::vector<CameraState> Snapshot() const;

private:
    struct Entry {
        CameraState state;
        std::deque<TimeOfDay> recent;  // arrival times of the last few seconds
    };
    Entry* Find(const std::string& name);

    mutable std::mutex mutex_;
    std::vector<Entry> entries_;
};

}  // namespace kalvero
