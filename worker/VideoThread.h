#pragma once
#include <atomic>

#include "worker/FrameOverlays.h"
#include "worker/FrameSink.h"
#include "worker/RunSettings.h"

namespace kalvero {

class RecognitionTrace;

// Control block shared by the thread that drives a run (the window's GUI
// thread, the reader) and the worker: run flags, the overlays with their
// font settings (FrameOverlays) and the run loop. Free of Qt: the window's
// worker body, which plays into its widgets, is WindowVideoThread::run in
// app/.
//
// Threads: the driver writes isPaused, stopRequest, optionsChanged,
// drawNumberH and drawZone; the worker raises isRunning and pauseEntered,
// clears optionsChanged and stopRequest and may raise drawZone. New
// RunSettings values are stored before optionsChanged is raised (release)
// and read by the worker after it has seen the flag (acquire).
class VideoThread : public FrameOverlays {
public:
    std::atomic<bool> isPaused{false};
    std::atomic<bool> isRunning{false};
    std::atomic<bool> optionsChanged{false};
    std::atomic<bool> drawNumberH{false};
    std::atomic<bool> drawZone{false};
    std::atomic<bool> stopRequest{false};

    // Raised by the worker while it holds before a frame because of the
    // pause, cleared when it goes on. Lets the window and tests see that the
    // pause has taken effect.
    std::atomic<bool> pauseEntered{false};

    // The pause re-tests isPaused after this long when nothing ends it.
    static constexpr int kPausePollMs = 1000;

    // The run loop: plays settings' path, every frame goes to `sink`.
    // `trace` observes recognition when non-null.
    void Run(FrameSink& sink, RunSettings& settings, RecognitionTrace* trace = nullptr);

private:
    // Holds while isPaused is set: re-tests it every kPausePollMs, waking
    // early (in short steps) when the pause is cleared or a stop is
    // requested, so that closing the window never waits on a pause.
    void waitWhilePaused();
};

}  // namespace kalvero
