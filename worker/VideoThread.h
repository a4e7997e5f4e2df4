#pragma once
#include <atomic>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>

#include "worker/FrameOverlays.h"
#include "worker/FrameSink.h"
#include "worker/RunPlan.h"
#include "worker/RunSettings.h"

namespace kalvero {

class LineReader;
class RecognitionTrace;

// Control block shared by the thread that drives a run (the window's GUI
// thread, the reader) and the worker: run flags, the overlays with their
// font settings (FrameOverlays) and the run loop. Free of Qt: the window's
// worker body, which plays into its widgets, is WindowVideoThread::run in
// app/.
//
// Threads: the driver writes isPaused, stopRequest, optionsChanged,
// drawNumberH and drawZone; the worker raises isRunning and pauseEntered,
// clears optionsChanged and stopRequest and may raise drawZone. New settings
// go across as one RunPlan value (ApplyPlan): published under a lock, then
// optionsChanged is raised (release); the worker takes the flag down, then
// a copy of the latest plan, so a plan handed over meanwhile is taken on
// the next frame instead of lost. The run reads nothing else of the
// driver's settings.
//
// The block owns the learned engine's network for all its runs (one at a
// time), loaded once: the window's single block loads it once for the
// life of the program, and each of the reader's jobs once for all its
// inputs.
class VideoThread : public FrameOverlays {
public:
    VideoThread();
    ~VideoThread();
    VideoThread(const VideoThread&) = delete;
    VideoThread& operator=(const VideoThread&) = delete;

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

    // Hands the run a new plan: a running loop takes it whole before its
    // next frame (zoom, digit height, engine, vote and zone; a zone that
    // does not fit the frame is not taken and raises drawZone instead), and
    // the vote starts afresh. Raises optionsChanged.
    void ApplyPlan(const RunPlan& plan);
    // The plan the next run starts with, without raising optionsChanged.
    void SetStartPlan(const RunPlan& plan);
    // Hands over a plan for the overlays alone, without raising
    // optionsChanged (the window's Show buttons): a running loop draws the
    // digit-height sample and the zone box from it from its next frame on,
    // while recognition keeps the values it latched until the next
    // ApplyPlan, which takes the newer plan whole.
    void ShowPlan(const RunPlan& plan);

    // The run loop: plays `path`, every frame goes to `sink`, read with the
    // last plan handed over (SetStartPlan, ApplyPlan) and the ones handed
    // over during the run. `trace` observes the glyph engine when non-null.
    void Run(FrameSink& sink, const std::string& path, RecognitionTrace* trace = nullptr);
    // The same for a driver that keeps its settings in a RunSettings record
    // (the reader): its path and its values, converted once into the start
    // plan. Values stored into the record during the run are not seen: hand
    // them over with ApplyPlan(PlanOf(settings)).
    void Run(FrameSink& sink, RunSettings& settings, RecognitionTrace* trace = nullptr);

    // The learned engine's network of this block's runs: loaded the first
    // time it is asked for (the embedded model, or the file named by
    // KALVERO_LINE_MODEL at that moment) and kept for the block's life.
    // Null when it cannot be loaded, with `error` set to why; a failure is
    // not kept, so a later call tries again. Any thread may ask, to load it
    // or to learn that it cannot be loaded (the window's engine check), but
    // only the run loop reads with it.
    LineReader* learnedNetwork(std::string& error);
    // How many times this block has loaded its network (failures included).
    std::size_t networkLoads() const;

private:
    RunPlanHandoff plans_;
    mutable std::mutex networkMutex_;
    std::unique_ptr<LineReader> network_;
    std::size_t networkLoads_ = 0;

    // Holds while isPaused is set: re-tests it every kPausePollMs, waking
    // early (in short steps) when the pause is cleared or a stop is
    // requested, so that closing the window never waits on a pause.
    void waitWhilePaused();
};

}  // namespace kalvero
