#pragma once
#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "serve/CameraBoard.h"
#include "serve/ServiceConfig.h"
#include "serve/StoredPass.h"

namespace kalvero {

class VideoThread;

// Reads one camera on a thread of its own with the reader's run of one
// input (InputRunner): its engine, zone, zoom, vote, damaged frames skipped
// and a stream's frames skipped to stay live. A file is read once, from
// start to end, and the camera is then finished. A stream is read for as
// long as the runner runs: one that breaks off or does not answer is tried
// again with growing waits (at most 8 s apart), for ever. Each pass goes to
// `keep` as it ends (StoringPassWriter), the camera's state to the board,
// and what happens to `say` as log lines ("connected", "the stream ... broke
// off; reconnecting in 0.5 s").
class CameraRunner {
public:
    // Adds the camera to `board`.
    CameraRunner(CameraConfig camera, CameraBoard& board, std::function<void(StoredPass)> keep,
                 std::function<void(const std::string& line)> say);
    ~CameraRunner();  // Stop, Join
    CameraRunner(const CameraRunner&) = delete;
    CameraRunner& operator=(const CameraRunner&) = delete;

    void Start();
    // Asks the reading to end after the frame under way (a stream waiting
    // for frames ends within its read timeout); returns at once.
    void Stop();
    // Waits for the thread to end: the passes the stop ended are then kept.
    void Join();
    // The thread has ended (a file read to its end, or stopped).
    bool Done() const { return done_.load(); }

    const CameraConfig& Camera() const { return camera_; }

private:
    void Run();
    // Reads the camera until it is done or stopped.
    void Read();

    CameraConfig camera_;
    CameraBoard& board_;
    std::function<void(StoredPass)> keep_;
    std::function<void(const std::string&)> say_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> done_{false};
    std::mutex blockMutex_;            // guards block_
    VideoThread* block_ = nullptr;     // the run's, while it reads
    std::thread thread_;
};

}  // namespace kalvero
