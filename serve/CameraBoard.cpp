#include "serve/CameraBoard.h"

namespace kalvero {

namespace {

// The frame rate is counted over this long a window.
constexpr std::chrono::seconds kRateWindow{5};

}  // namespace

CameraBoard::Entry* CameraBoard::Find(const std::string& name) {
    for (Entry& entry : entries_) {
        if (entry.state.name == name) {
            return &entry;
        }
    }
    return nullptr;
}

void CameraBoard::Add(const std::string& name, const std::string& url, bool isFile) {
    std::lock_guard<std::mutex> lock(mutex_);
    Entry entry;
    entry.state.name = name;
    entry.state.url = url;
    entry.state.isFile = isFile;
    entries_.push_back(std::move(entry));
}

void CameraBoard::FrameRead(const std::string& name, TimeOfDay at, double recognitionSeconds) {
    std::lock_guard<std::mutex> lock(mutex_);
    Entry* entry = Find(name);
    if (entry == nullptr) {
        return;
    }
    CameraState& state = entry->state;
    state.connected = true;
    state.lastFrame = at;
    ++state.framesRead;
    state.recognitionSeconds += recognitionSeconds;
    entry->recent.push_back(at);
    while (!entry->recent.empty() && at - entry->recent.front() > kRateWindow) {
        entry->recent.pop_front();
    }
    const double span = std::chrono::duration<double>(entry->recent.back() - entry->recent.front()).count();
    state.framesPerSecond = entry->recent.size() > 1 && span > 0.0 ? (entry->recent.size() - 1) / span : 0.0;
}

void CameraBoard::Connected(const std::string& name, bool connected, const std::string& error) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (Entry* entry = Find(name)) {
        entry->state.connected = connected;
        if (!connected) {
            entry->recent.clear();
            entry->state.framesPerSecond = 0.0;
        }
        if (!error.empty()) {
            entry->state.lastError = error;
        }
    }
}

void CameraBoard::PassStored(const std::string& name) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (Entry* entry = Find(name)) {
        ++entry->state.passesStored;
    }
}

void CameraBoard::Finished(const std::string& name, const std::string& error) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (Entry* entry = Find(name)) {
        entry->state.finished = true;
        entry->state.connected = false;
        entry->recent.clear();
        entry->state.framesPerSecond = 0.0;
        if (!error.empty()) {
            entry->state.lastError = error;
        }
    }
}

std::vector<CameraState> CameraBoard::Snapshot() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<CameraState> states;
    states.reserve(entries_.size());
    for (const Entry& entry : entries_) {
        states.push_back(entry.state);
    }
    return states;
}

}  // namespace kalvero
