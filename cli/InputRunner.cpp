#include "cli/InputRunner.h"

#include <algorithm>
#include <chrono>
#include <exception>
#include <memory>
#include <optional>

#include "cli/BoxText.h"
#include "cli/ExplainTrace.h"
#include "cli/OpenFailure.h"
#include "cli/OpenedInput.h"
#include "cli/PassTracker.h"
#include "cli/RunSettingsFor.h"
#include "cli/StreamReconnect.h"
#include "command_line/PrintableText.h"
#include "worker/VideoThread.h"

namespace kalvero {

namespace {

// Takes the loop's frames, keeps the run's account (ReadReport, the
// passes) and hands both to the writers.
class RunSink : public FrameSink {
public:
    RunSink(const std::string& file, int depth, bool stream, ExplainTrace* explain, VideoThread& thread,
            const std::vector<OutputWriter*>& writers, SharedProgress& progress, std::ostream& err,
            const std::function<bool()>& interrupted)
        : file_(file), stream_(stream), tracker_(file, depth), explain_(explain), thread_(thread),
          writers_(writers), progress_(progress), err_(err), interrupted_(interrupted) {
        wantsImage_ = std::any_of(writers.begin(), writers.end(), [](const OutputWriter* w) { return w->WantsImage(); });
        if (stream_) {
            report_.SetLiveInput(file);
        }
    }

    void OnFrame(const FrameReport& loopReport) override {
        FrameReport report = loopReport;
        report.frameNumber += frameOffset_;
        if (stream_) {
            StreamFrame(report);
        }
        lastFrame_ = report.frameNumber;
        std::string explainLine;
        if (explain_ != nullptr) {
            explainLine = explain_->TakeFrameLine(report.frameNumber, report.zone.tl());
        }
        const auto change = report_.AddFrame(report);
        TakePasses(tracker_.AddFrame(PassFrameFrom(report)));
        FrameEvent event{report, change ? &*change : nullptr, explain_ != nullptr ? &explainLine : nullptr};
        for (OutputWriter* writer : writers_) {
            writer->Frame(event);
        }
        SayFailures();
        // Ctrl-C: the loop tests the stop request before it reads the next
        // frame, so the run ends after this one.
        if (interrupted_ && interrupted_() && !stopped_) {
            report_.MarkInterrupted();
            Stop();
        }
    }

    void OnNotice(const std::string& line) override { progress_.Print(err_, "kalvero-read: " + line + "\n", true); }
    void OnRunEnd(bool opened) override {
        opened_ = opened;
        for (OutputWriter* writer : writers_) {
            writer->LoopEnded(opened);
        }
        // A stream that broke off ends the passes it showed: the vote
        // starts afresh when it comes back, and a pass held open until then
        // (minutes, or never) would be written late or lost with the
        // process.
        if (stream_) {
            FinishPasses();
        }
    }
    bool WantsImage() const override { return wantsImage_; }
    // Crops are cut from the frame as decoded.
    bool WantsSourceImage() const override { return wantsImage_; }

    // Ends the passes still open.
    void FinishPasses() {
        TakePasses(tracker_.Finish());
        SayFailures();
    }

    // The passes in the order of their first frame (a pass can end after a
    // later one).
    std::vector<CarriagePass> Passes() const {
        std::vector<CarriagePass> list = passes_;
        std::stable_sort(list.begin(), list.end(),
                         [](const CarriagePass& a, const CarriagePass& b) { return a.firstFrame < b.firstFrame; });
        return list;
    }

    bool Opened() const { return opened_; }
    // The stream's next first frame calls `cameBack` (once).
    void OnComeBack(const std::function<void()>& cameBack) { cameBack_ = cameBack; }
    // For a stream: the zone it was given (said once when the stream's
    // frames clip it), and whether skipping frames is said as it happens.
    void WatchStream(const std::optional<cv::Rect>& zone, bool verbose) {
        givenZone_ = zone;
        verbose_ = verbose;
    }
    const ReadReport& Report() const { return report_; }
    ReadReport& Report() { return report_; }
    bool Stopped() const { return stopped_; }
    // The next run's frames continue the numbering after the last frame.
    void ContinueNumbering() { frameOffset_ = lastFrame_; }
    void MarkInterrupted() {
        report_.MarkInterrupted();
        stopped_ = true;
    }

private:
    // A stream's frame: a stream read again after it broke off goes on
    // counting frames; its times are the moments its frames arrived, and
    // timestampMs counts from the arrival of its first frame in this run.
    void StreamFrame(FrameReport& report) {
        using WallClock = std::chrono::system_clock;
        if (cameBack_) {
            cameBack_();
            cameBack_ = nullptr;
        }
        if (!report.wallTime) {
            report.wallTime = WallClock::now();
        }
        if (!firstArrival_) {
            firstArrival_ = report.wallTime;
        }
        report.timestampMs = std::chrono::duration<double, std::milli>(*report.wallTime - *firstArrival_).count();
        if (givenZone_ && !zoneSaid_) {
            zoneSaid_ = true;
            if (report.zone != *givenZone_) {
                progress_.Print(err_,
                                "kalvero-read: the stream '" + PrintableText(file_) + "': --zone " +
                                    BoxText(*givenZone_) + " does not fit its frames; it is clipped to " +
                                    BoxText(report.zone) + "\n",
                                true);
            }
        }
        SaySkipping(report);
    }

    // With --verbose: a line when the stream starts being skipped to keep
    // up, every kSkipNoteS seconds while it goes on, and when it has
    // caught up (kCaughtUpS seconds without a skip).
    void SaySkipping(const FrameReport& report) {
        using Clock = std::chrono::steady_clock;
        constexpr double kSkipNoteS = 10.0;
        constexpr double kCaughtUpS = 2.0;
        if (!verbose_) {
            return;
        }
        const auto now = Clock::now();
        const std::string name = "kalvero-read: the stream '" + PrintableText(file_) + "'";
        const auto since = [&](Clock::time_point t) { return std::chrono::duration<double>(now - t).count(); };
        if (report.skippedBefore > 0) {
            if (!skipping_) {
                skipping_ = true;
                skippedInSpell_ = 0;
                spellNoted_ = now;
                progress_.Print(err_,
                                name + " is read slower than it comes: skipping to its newest frame from frame " +
                                    std::to_string(report.frameNumber) + "\n",
                                true);
            }
            skippedInSpell_ += report.skippedBefore;
            lastSkip_ = now;
            if (since(spellNoted_) >= kSkipNoteS) {
                spellNoted_ = now;
                progress_.Print(err_, name + ": " + std::to_string(skippedInSpell_) + " frames skipped so far\n",
                                true);
            }
        } else if (skipping_ && since(lastSkip_) >= kCaughtUpS) {
            skipping_ = false;
            progress_.Print(err_,
                            name + " caught up at frame " + std::to_string(report.frameNumber) + " after skipping " +
                                std::to_string(skippedInSpell_) + " frames\n",
                            true);
        }
    }

    void TakePasses(std::vector<CarriagePass> ended) {
        for (CarriagePass& pass : ended) {
            for (OutputWriter* writer : writers_) {
                writer->Pass(pass);
            }
            passes_.push_back(std::move(pass));
        }
    }

    // Says each writer's new failure once and ends the run: everything read
    // after it would be lost.
    void SayFailures() {
        for (OutputWriter* writer : writers_) {
            const std::string failure = writer->TakeFailure();
            if (!failure.empty()) {
                progress_.Print(err_, "kalvero-read: " + failure + "\n", true);
                report_.MarkOutputFailed();
                Stop();
            }
        }
    }

    void Stop() {
        thread_.stopRequest.store(true);
        stopped_ = true;
    }

    std::string file_;
    bool stream_;
    PassTracker tracker_;
    ExplainTrace* explain_;
    VideoThread& thread_;
    const std::vector<OutputWriter*>& writers_;
    SharedProgress& progress_;
    std::ostream& err_;
    const std::function<bool()>& interrupted_;
    bool wantsImage_ = false;
    ReadReport report_;
    std::vector<CarriagePass> passes_;
    bool opened_ = true;
    bool stopped_ = false;
    int frameOffset_ = 0;
    int lastFrame_ = 0;
    // A stream's.
    std::function<void()> cameBack_;
    std::optional<std::chrono::system_clock::time_point> firstArrival_;
    std::optional<cv::Rect> givenZone_;
    bool zoneSaid_ = false;
    bool verbose_ = false;
    bool skipping_ = false;
    long long skippedInSpell_ = 0;
    std::chrono::steady_clock::time_point lastSkip_;
    std::chrono::steady_clock::time_point spellNoted_;
};

}  // namespace

int InputRunner::Read(const std::string& file, bool countFrames) {
    try {
        const bool stream = IsStreamAddress(file);
        // A stream is not opened ahead of the run (a server may take one
        // client only): the loop opens it.
        OpenedInput input;
        if (!stream) {
            input = OpenInput(file, options_.zoom);
            if (countFrames) {
                progress_.SetTotal(input.frameCount);
            }
            const std::string problem = InputProblem(input, file);
            if (!problem.empty()) {
                err_ << "kalvero-read: " << problem << "\n";
                return kExitFile;
            }
        }
        RunSettings settings;
        const int status = RunSettingsFor(options_, file, input.scaledFirstFrame, stream, settings, err_);
        if (status != kExitOk) {
            return status;
        }
        if (options_.engine == RecognitionEngine::Learned) {
            // Loading the run's network here first turns a model that
            // cannot be loaded into a clear refusal instead of a run that
            // quietly falls back to the glyph engine.
            std::string error;
            if (!block_.learnedNetwork(error)) {
                err_ << "kalvero-read: " << error << "\n";
                return kExitFile;
            }
        }
        const InputStart start{file, input.scaledFirstFrame.size(), input.framesPerSecond};
        for (OutputWriter* writer : writers_) {
            if (!writer->BeginInput(start)) {
                err_ << "kalvero-read: " << writer->TakeFailure() << "\n";
                return kExitUsage;
            }
        }

        VideoThread& thread = block_;
        // Nothing of an earlier input's run carries over to this one (a
        // zone that did not fit there raised the zone warning).
        thread.drawZone.store(false, std::memory_order_release);
        thread.drawNumberH.store(false, std::memory_order_release);
        // A stream's zone is clipped to its frames without the painted
        // warning (said once on standard error instead).
        thread.clipZoneQuietly.store(stream, std::memory_order_release);
        // As after an Apply in the window: the first frame re-latches the
        // settings, checks the zone and builds a fresh vote buffer.
        thread.optionsChanged.store(true, std::memory_order_release);
        std::unique_ptr<ExplainTrace> explain;
        if (options_.explain) {
            explain = std::make_unique<ExplainTrace>();
        }
        RunSink sink(file, options_.depth, stream, explain.get(), thread, writers_, progress_, err_,
                     environment_.interruptRequested);
        if (!stream) {
            sink.Report().SetAnnouncedFrames(input.frameCount);
        } else {
            sink.WatchStream(options_.hasZone ? std::optional<cv::Rect>(options_.zone) : std::nullopt,
                             options_.verbose);
        }
        {
            // The loop opens its input by name: it takes over this opening.
            const FrameSource::Handover handover(file, *input.source);
            thread.Run(sink, settings, explain.get());
        }
        // A stream that broke off, or did not answer at all, is tried
        // again; one that does not come back is given up with status 3.
        bool gaveUp = false;
        if (stream && !sink.Stopped()) {
            StreamRun run;
            run.stopped = [&] { return sink.Stopped(); };
            run.readAgain = [&](const std::function<void()>& cameBack) {
                sink.ContinueNumbering();
                sink.OnComeBack(cameBack);
                thread.optionsChanged.store(true, std::memory_order_release);
                thread.Run(sink, settings, explain.get());
                sink.OnComeBack(nullptr);
                return sink.Opened();
            };
            run.markInterrupted = [&] { sink.MarkInterrupted(); };
            run.interruptRequested = environment_.interruptRequested;
            gaveUp = KeepReadingStream(file, options_.reconnectMax, !sink.Opened(), run, progress_, err_) ==
                     StreamEnd::GaveUp;
        }
        progress_.Clear();
        sink.FinishPasses();
        if (!sink.Opened() && !(stream && sink.Report().FramesRead() > 0)) {
            err_ << "kalvero-read: " << OpenFailure(file) << "\n";
            return kExitFile;
        }
        const std::vector<CarriagePass> passes = sink.Passes();
        bool failed = sink.Report().OutputFailed();
        for (OutputWriter* writer : writers_) {
            writer->EndInput(InputEnd{sink.Report(), passes, failed});
            const std::string failure = writer->TakeFailure();
            if (!failure.empty()) {
                err_ << "kalvero-read: " << failure << "\n";
            }
            failed = failed || writer->Failed();
        }
        if (failed) {
            return kExitOutput;
        }
        if (gaveUp) {
            // What was read is written; the status says the stream was lost.
            err_ << "kalvero-read: " << OpenFailure(file) << "\n";
            return kExitFile;
        }
        return kExitOk;
    } catch (const std::exception& e) {
        err_ << "kalvero-read: error while reading '" << PrintableText(file) << "': " << e.what() << "\n";
        return kExitFailure;
    }
}

}  // namespace kalvero
