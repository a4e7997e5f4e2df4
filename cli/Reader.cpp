#include "cli/Reader.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <sstream>
#include <chrono>
#include <thread>

#include <opencv2/core.hpp>
#include <opencv2/core/utils/logger.hpp>

#include "cli/ExplainTrace.h"
#include "cli/FrameProbe.h"
#include "cli/AnnotatedVideo.h"
#include "cli/HtmlReport.h"
#include "cli/InputList.h"
#include "cli/JsonOutput.h"
#include "cli/OutputCheck.h"
#include "cli/PassCrops.h"
#include "cli/PassFile.h"
#include "cli/PassSummary.h"
#include "cli/PassTracker.h"
#include "cli/ProgressLine.h"
#include "cli/ReadReport.h"
#include "cli/ReaderOptions.h"
#include "cli/SharedProgress.h"
#include "cli/SignReading.h"
#include "command_line/PrintableText.h"
#include "worker/StillImageHeader.h"
#include "worker/FrameSource.h"
#include "worker/RunSettings.h"
#include "worker/VideoThread.h"
#include "line_reader/LineReader.h"

namespace kalvero {

namespace {

// FFmpeg's AV_LOG_QUIET: no message is at or below this level.
constexpr const char* kFfmpegQuiet = "-8";

std::string BoxText(cv::Rect box) {
    return std::to_string(box.x) + "," + std::to_string(box.y) + "," + std::to_string(box.width) +
           "," + std::to_string(box.height);
}

std::string ZoomText(float zoom) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%g", static_cast<double>(zoom));
    return buffer;
}

// "640x360 after zoom 0.5" – how the first frame looks to the run.
std::string FrameText(const cv::Mat& frame, float zoom) {
    return std::to_string(frame.cols) + "x" + std::to_string(frame.rows) + " after zoom " +
           ZoomText(zoom);
}

// Why a file did not open: the system's reason when it cannot even be read.
// Only a regular file is opened to find out (a named pipe would wait for a
// writer).
std::string OpenFailure(const std::string& path) {
    const std::string cannot = "cannot open '" + PrintableText(path) + "': ";
    if (IsStreamAddress(path)) {
        return cannot + "no stream answered within " +
               std::to_string(FrameSource::kStreamTimeoutMs / 1000) + " s";
    }
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(std::filesystem::path(path), error);
    if (error) {
        return cannot + error.message();  // "No such file or directory", "Permission denied"
    }
    if (std::filesystem::is_directory(status)) {
        return cannot + std::strerror(EISDIR);
    }
    if (!std::filesystem::is_regular_file(status)) {
        return cannot + "not a regular file";
    }
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return cannot + std::strerror(errno);
    }
    cv::Size announced;
    if (IsOversizedStill(path, announced)) {
        return cannot + "the picture is " + std::to_string(announced.width) + "x" + std::to_string(announced.height) +
               " pixels, more than the " + std::to_string(kMaxStillPixels / 1000000) +
               " megapixels a still image may have";
    }
    return cannot + "not a video or image that OpenCV can decode";
}

// Where the passes of a run go as they end; false with the reason when
// they cannot be written.
using PassWriter = std::function<bool(const CarriagePass&, std::string& error)>;

// Receives the frames of the run and writes the reader's output.
class ReaderSink : public FrameSink {
public:
    ReaderSink(const ReaderOptions& options, const std::string& file, std::ostream& out,
               std::ostream& err, SharedProgress& progress, ExplainTrace* explain,
               VideoThread& thread, const std::function<bool()>& interrupted, bool outOnTerminal,
               PassWriter writePass, AnnotatedVideo* annotated, bool cropsWithInput,
               OutputCheck* outCheck)
        : outOnTerminal_(outOnTerminal),
          outCheck_(outCheck),
          annotated_(annotated),
          cropsWithInput_(cropsWithInput),
          wantsImage_(annotated != nullptr || !options.cropsDir.empty() ||
                      !options.reportFile.empty()),
          file_(file),
          writePass_(std::move(writePass)),
          tracker_(file, options.depth),
          options_(options),
          out_(out),
          err_(err),
          progress_(progress),
          explain_(explain),
          thread_(thread),
          interrupted_(interrupted) {}

    void OnFrame(const FrameReport& loopReport) override {
        // A stream read again after it broke off goes on counting frames;
        // its times are the wall clock's (seconds since 1970).
        const FrameReport* adjusted = &loopReport;
        FrameReport copy;
        if (stream_ || frameOffset_ != 0) {
            copy = loopReport;
            copy.frameNumber += frameOffset_;
            if (stream_) {
                copy.timestampMs = std::chrono::duration<double, std::milli>(
                                       std::chrono::system_clock::now().time_since_epoch())
                                       .count();
            }
            adjusted = &copy;
        }
        const FrameReport& report = *adjusted;
        lastFrame_ = report.frameNumber;
        // What this frame prints, and on which stream.
        std::string toErr;
        std::string toOut;
        if (explain_ != nullptr) {
            toErr += explain_->TakeFrameLine(report.frameNumber, report.zone.tl()) + "\n";
        }
        if (options_.verbose) {
            (options_.json ? toErr : toOut) += report.logLine + "\n";
        }
        const auto change = report_.AddFrame(report);
        PassFrame passFrame = PassFrameFrom(report);
        passFrame.image = report.rgbImage;
        TakePasses(tracker_.AddFrame(passFrame), toErr);
        if (annotated_ != nullptr) {
            annotated_->Write(report.rgbImage);
        }
        if (options_.json) {
            toOut += FrameJsonLine(report, &file_) + "\n";
        } else if (change) {
            toOut += *change + "\n";
        }
        // The progress line shares the terminal: take it down only when
        // something else is about to appear there.
        if (!toErr.empty()) {
            progress_.Print(err_, toErr, true);
        }
        if (!toOut.empty()) {
            progress_.Print(out_, toOut, outOnTerminal_);
            if (outCheck_ != nullptr && !outCheck_->Check()) {
                progress_.Print(err_, "kalvero-read: " + outCheck_->Message() + "\n", true);
                StopForOutput();
            }
        }
        progress_.FrameDone();
        // Ctrl-C: the loop tests the stop request before it reads the next
        // frame, so the run ends after this one.
        if (interrupted_ && interrupted_()) {
            if (!thread_.stopRequest.exchange(true)) {
                report_.MarkInterrupted();
            }
            stopped_ = true;
        }
    }

    void OnNotice(const std::string& line) override {
        progress_.Print(err_, "kalvero-read: " + line + "\n", true);
    }

    void OnRunEnd(bool opened) override { opened_ = opened; }

    // Pictures only for the annotated video, the crops and the report.
    bool WantsImage() const override { return wantsImage_; }

    // Ends the passes still open; returns what goes to standard error
    // (a failed write).
    std::string FinishPasses() {
        std::string toErr;
        TakePasses(tracker_.Finish(), toErr);
        return toErr;
    }

    bool Opened() const { return opened_; }
    bool PassWriteFailed() const { return passWriteFailed_; }
    // The passes in the order of their first frame (a pass can end after a
    // later one).
    std::vector<CarriagePass> Passes() const {
        std::vector<CarriagePass> list = passes_;
        std::stable_sort(list.begin(), list.end(), [](const CarriagePass& a, const CarriagePass& b) {
            return a.firstFrame < b.firstFrame;
        });
        return list;
    }
    const ReadReport& Report() const { return report_; }

private:
    // Keeps the passes that ended and writes them; a failed write is said
    // once and ends the run, as everything read after it would be lost.
    void TakePasses(std::vector<CarriagePass> ended, std::string& toErr) {
        for (CarriagePass& pass : ended) {
            std::string error;
            if (writePass_ && !passWriteFailed_ && !writePass_(pass, error)) {
                passWriteFailed_ = true;
                toErr += "kalvero-read: " + OutputFailure(error) + "\n";
                StopForOutput();
            }
            if (!options_.cropsDir.empty() && !cropWriteFailed_ &&
                !WriteCrop(options_.cropsDir, pass, cropsWithInput_, error)) {
                toErr += "kalvero-read: " + OutputFailure(error) + "\n";
                cropWriteFailed_ = true;
                StopForOutput();
            }
            passes_.push_back(std::move(pass));
        }
    }

    // A write failed: everything read after it would be lost.
    void StopForOutput() {
        report_.MarkOutputFailed();
        thread_.stopRequest.store(true);
        stopped_ = true;
    }

public:
    bool CropWriteFailed() const { return cropWriteFailed_; }
    // Some output (standard output, the pass file, a crop) could not be written.
    bool OutputFailed() const { return report_.OutputFailed(); }
    // The frame count the file announced, for the summary's early-end line.
    void SetAnnouncedFrames(long long frames) { report_.SetAnnouncedFrames(frames); }
    // The run was ended on purpose (Ctrl-C, a failed write): no reconnecting.
    bool Stopped() const { return stopped_; }
    // Reads a stream: wall-clock times.
    void SetStream(bool stream) { stream_ = stream; }
    // The next run's frames continue the numbering after the last frame.
    void ContinueNumbering() { frameOffset_ = lastFrame_; }
    // Ctrl-C seen while waiting to reconnect.
    void MarkInterrupted() {
        report_.MarkInterrupted();
        stopped_ = true;
    }

private:
    bool outOnTerminal_;
    OutputCheck* outCheck_;
    AnnotatedVideo* annotated_;
    bool cropsWithInput_;
    bool wantsImage_;
    bool cropWriteFailed_ = false;
    bool stopped_ = false;
    bool stream_ = false;
    int frameOffset_ = 0;
    int lastFrame_ = 0;
    std::string file_;
    PassWriter writePass_;
    PassTracker tracker_;
    std::vector<CarriagePass> passes_;
    bool passWriteFailed_ = false;
    const ReaderOptions& options_;
    std::ostream& out_;
    std::ostream& err_;
    SharedProgress& progress_;
    ExplainTrace* explain_;
    VideoThread& thread_;
    const std::function<bool()>& interrupted_;
    ReadReport report_;
    bool opened_ = true;
};

int ReadSign(const ReaderOptions& options, const cv::Mat& frame, std::ostream& out,
             std::ostream& err, OutputCheck* outCheck) {
    const cv::Rect inside(0, 0, frame.cols, frame.rows);
    if ((options.sign & inside) != options.sign) {
        err << "kalvero-read: --sign " << BoxText(options.sign)
            << " lies outside the first frame (" << FrameText(frame, options.zoom) << ")\n";
        return kExitUsage;
    }
    ExplainTrace trace;
    const SignReading reading =
        ReadSignBox(frame, options.sign, options.digitHeight, options.explain ? &trace : nullptr);
    if (options.explain) {
        err << trace.TakeFrameLine(1, cv::Point(0, 0)) << "\n";
    }
    if (options.json) {
        out << "{\"sign\": {\"x\": " << options.sign.x << ", \"y\": " << options.sign.y
            << ", \"width\": " << options.sign.width << ", \"height\": " << options.sign.height
            << "}, \"value\": " << (reading.read ? std::to_string(reading.value) : "null")
            << "}\n";
    } else if (reading.read) {
        out << "Sign " << BoxText(options.sign) << ": speed limit " << reading.text << "\n";
    } else {
        out << "Sign " << BoxText(options.sign) << ": no speed value read\n";
    }
    if (outCheck != nullptr && !outCheck->Check()) {
        err << "kalvero-read: " << outCheck->Message() << "\n";
        return kExitOutput;
    }
    return kExitOk;
}

// Where one input's output goes.
struct InputOutput {
    std::ostream& out;
    std::ostream& err;
    SharedProgress& progress;
    PassWriter writePass;
    bool outOnTerminal = false;
    bool cropsWithInput = false;                  // crop names start with the input's
    std::vector<CarriagePass>* passesOut = nullptr;  // receives the passes when set
    OutputCheck* outCheck = nullptr;  // checks `out` after each write when it is standard output
};

// A stream that broke off is opened again, after waits of 0.5 s, 1 s, 2 s...
// (at most kLongestWaitS), until it comes back or --reconnect-max seconds
// have gone by since it broke off; each run goes on where the last ended.
void KeepReadingStream(const ReaderOptions& options, const std::string& file, VideoThread& thread,
                       RunSettings& runOptions, ReaderSink& sink, ExplainTrace* explain,
                       InputOutput& io, const ReaderEnvironment& environment) {
    using Clock = std::chrono::steady_clock;
    // Long enough not to hammer a server that is restarting, short enough
    // to lose little of a stream that comes back.
    constexpr double kFirstWaitS = 0.5;
    constexpr double kLongestWaitS = 8.0;
    const auto interrupted = [&] {
        return environment.interruptRequested && environment.interruptRequested();
    };
    auto brokeAt = Clock::now();
    double wait = kFirstWaitS;
    while (!sink.Stopped()) {
        const double since = std::chrono::duration<double>(Clock::now() - brokeAt).count();
        if (since >= options.reconnectMax) {
            io.progress.Print(io.err, "kalvero-read: the stream '" + PrintableText(file) +
                                          "' did not come back within " +
                                          std::to_string(options.reconnectMax) + " s\n", true);
            return;
        }
        const double pause = std::min(wait, options.reconnectMax - since);
        char text[64];
        std::snprintf(text, sizeof text, "%.1f", pause);
        io.progress.Print(io.err, "kalvero-read: the stream '" + PrintableText(file) +
                                      "' broke off; reconnecting in " + text + " s\n", true);
        const auto until = Clock::now() + std::chrono::duration<double>(pause);
        while (Clock::now() < until && !interrupted()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        if (interrupted()) {
            sink.MarkInterrupted();
            return;
        }
        wait = std::min(wait * 2.0, kLongestWaitS);
        sink.ContinueNumbering();
        thread.optionsChanged.store(true, std::memory_order_release);
        thread.Run(sink, runOptions, explain);
        if (sink.Opened()) {
            io.progress.Print(io.err, "kalvero-read: the stream '" + PrintableText(file) + "' is back\n", true);
            brokeAt = Clock::now();
            wait = kFirstWaitS;
        }
    }
}

// Consecutive frames on which the learned engine's reading of a number,
// scored high and with its check digit holding, confirms it: a carriage at
// 120 km/h is in a 4 m view for about five frames at 25 fps.
constexpr int kLearnedConfirmStreak = 3;

int ReadVideo(const ReaderOptions& options, const std::string& file, const FrameProbe& probe,
              InputOutput& io, const ReaderEnvironment& environment) {
    std::ostream& out = io.out;
    std::ostream& err = io.err;
    const cv::Mat& first = probe.scaledFirstFrame;
    const bool stream = IsStreamAddress(file);
    // A stream is not probed (a server may take one client only): the
    // whole frame is a zone far larger than any, clipped by the loop.
    constexpr int kWholeFrame = 1 << 20;
    cv::Rect zone = stream ? cv::Rect(0, 0, kWholeFrame, kWholeFrame) : cv::Rect(0, 0, first.cols, first.rows);
    if (options.hasZone && stream) {
        zone = options.zone;
    } else if (options.hasZone) {
        zone = options.zone;
        // The run loop's own fit test: the far edges inside the frame.
        if (zone.x + zone.width > first.cols || zone.y + zone.height > first.rows) {
            err << "kalvero-read: --zone " << BoxText(zone) << " does not fit the first frame ("
                << FrameText(first, options.zoom) << ")\n";
            return kExitUsage;
        }
    }

    if (options.engine == RecognitionEngine::Learned) {
        // The run loads its own network; trying it here first turns a model
        // that cannot be loaded into a clear refusal instead of a run that
        // quietly falls back to the glyph engine.
        std::string error;
        if (!LineReader::Create(error)) {
            err << "kalvero-read: " << error << "\n";
            return kExitFile;
        }
    }

    // The run's settings take the path whole, however long it is.
    RunSettings runOptions;
    const std::string& runName = file;
    if (!StoreRunPath(runOptions, runName)) {
        err << "kalvero-read: cannot open '" << PrintableText(file) << "': the name holds a NUL byte\n";
        return kExitFile;
    }
    runOptions.numberH.store(options.digitHeight);
    runOptions.zoneX.store(zone.x);
    runOptions.zoneY.store(zone.y);
    runOptions.zoneW.store(zone.width);
    runOptions.zoneH.store(zone.height);
    runOptions.deepBuf.store(options.depth);
    runOptions.colNum.store(options.threshold);
    runOptions.zoom.store(options.zoom);
    runOptions.engine.store(static_cast<std::int32_t>(options.engine));
    runOptions.learnedCheckDigitVote.store(options.checkDigit);
    runOptions.glyphCheckDigitVote.store(options.checkDigitVote);
    // The learned engine also confirms a number read well on consecutive
    // frames; a still image has one frame, which is then enough.
    runOptions.confirmStreak.store(IsStillImageName(file) ? 1 : kLearnedConfirmStreak);

    std::unique_ptr<AnnotatedVideo> annotated;
    if (!options.annotateFile.empty()) {
        annotated = std::make_unique<AnnotatedVideo>();
        std::string error;
        if (!annotated->Open(options.annotateFile, AnnotatedVideo::SourceFps(runName), first.size(),
                             error)) {
            err << "kalvero-read: " << error << "\n";
            return kExitUsage;
        }
    }

    VideoThread thread;
    // As after an Apply in the window: the first frame re-latches the
    // settings, checks the zone and builds a fresh vote buffer.
    thread.optionsChanged.store(true, std::memory_order_release);

    std::unique_ptr<ExplainTrace> explain;
    if (options.explain) {
        explain = std::make_unique<ExplainTrace>();
    }
    ReaderSink sink(options, file, out, err, io.progress, explain.get(), thread,
                    environment.interruptRequested, io.outOnTerminal, io.writePass,
                    annotated.get(), io.cropsWithInput, io.outCheck);
    sink.SetStream(stream);
    if (!stream) {
        sink.SetAnnouncedFrames(probe.frameCount);
    }
    thread.Run(sink, runOptions, explain.get());
    if (stream && sink.Opened()) {
        KeepReadingStream(options, file, thread, runOptions, sink, explain.get(), io, environment);
    }
    io.progress.Clear();
    err << sink.FinishPasses();

    if (!sink.Opened() && !(stream && sink.Report().FramesRead() > 0)) {
        err << "kalvero-read: " << OpenFailure(file) << "\n";
        return kExitFile;
    }
    const std::vector<CarriagePass> passes = sink.Passes();
    if (io.passesOut != nullptr) {
        *io.passesOut = passes;
    }
    const std::string summary = sink.Report().Summary() + PassSummary(passes, false);
    // With standard output broken the summary goes to standard error, so
    // that what was read is not lost with it.
    const bool outBroken = io.outCheck != nullptr && io.outCheck->Failed();
    if (options.json || outBroken) {
        err << summary;
    } else {
        out << summary;
        if (io.outCheck != nullptr && !io.outCheck->Check()) {
            err << "kalvero-read: " << io.outCheck->Message() << "\n" << summary;
        }
    }
    out.flush();
    const bool failed = sink.OutputFailed() || (io.outCheck != nullptr && io.outCheck->Failed());
    if (options.json) {
        ReadReport report = sink.Report();
        if (failed) {
            report.MarkOutputFailed();
        }
        err << report.SummaryJsonLine();
    }
    return failed ? kExitOutput : kExitOk;
}

// Reads one input from its first frame to its end (or its sign).
int ReadInput(const ReaderOptions& options, const std::string& file, InputOutput& io,
              const ReaderEnvironment& environment, bool countFrames) {
    std::ostream& err = io.err;
    try {
        if (IsStreamAddress(file)) {
            if (options.hasSign) {
                err << "kalvero-read: --sign reads a file, not a stream\n";
                return kExitUsage;
            }
            return ReadVideo(options, file, FrameProbe{}, io, environment);
        }
        // The frame count is looked up always: the summary compares it with
        // the frames read to tell a file that ended early.
        const FrameProbe probe = ProbeFile(file, options.zoom, true);
        if (countFrames) {
            io.progress.SetTotal(probe.frameCount);
        }
        if (!probe.opened) {
            err << "kalvero-read: " << OpenFailure(file) << "\n";
            return kExitFile;
        }
        if (!probe.firstFrameRead) {
            err << "kalvero-read: cannot read the first frame of '" << PrintableText(file) << "'\n";
            return kExitFile;
        }
        if (options.hasSign) {
            return ReadSign(options, probe.scaledFirstFrame, io.out, err, io.outCheck);
        }
        return ReadVideo(options, file, probe, io, environment);
    } catch (const std::exception& e) {
        err << "kalvero-read: error while reading '" << PrintableText(file) << "': " << e.what()
            << "\n";
        return kExitFailure;
    }
}

// The status of a run over several inputs: 4 when output was lost, else 3
// when any could not be opened, else the first other failure, else 0.
int CombinedStatus(const std::vector<int>& statuses) {
    for (const int worst : {kExitOutput, kExitFile}) {
        if (std::find(statuses.begin(), statuses.end(), worst) != statuses.end()) {
            return worst;
        }
    }
    for (int status : statuses) {
        if (status != kExitOk) {
            return status;
        }
    }
    return kExitOk;
}

// Reads several inputs, `jobs` at a time. Each input's output is gathered
// and printed whole, in input order, as soon as the inputs before it are
// done, so the output is the same whatever `jobs` is. Pass records are
// written at the same moment.
int ReadInputs(const ReaderOptions& options, const std::vector<std::string>& inputs,
               std::ostream& out, std::ostream& err, const ReaderEnvironment& environment,
               PassFile* passFile, SharedProgress& progress, std::vector<CarriagePass>& allPasses,
               OutputCheck& outCheck) {
    struct Result {
        bool done = false;
        int status = kExitOk;
        std::string out;
        std::string err;
        std::vector<CarriagePass> passes;
    };
    std::vector<Result> results(inputs.size());
    std::mutex mutex;                // guards results, next and printed
    std::size_t next = 0;            // the next input to start
    std::size_t printed = 0;         // inputs printed so far
    bool passWriteFailed = false;
    bool outputFailed = false;       // standard output refused a write

    // Prints every finished input whose predecessors are printed; called
    // with the mutex held.
    auto printReady = [&] {
        while (printed < results.size() && results[printed].done) {
            Result& r = results[printed];
            std::string passErrors;
            for (CarriagePass& pass : r.passes) {
                std::string error;
                if (passFile != nullptr && !passWriteFailed && !passFile->Write(pass, error)) {
                    passWriteFailed = true;
                    passErrors += "kalvero-read: " + OutputFailure(error) + "\n";
                }
                if (!options.reportFile.empty()) {
                    allPasses.push_back(std::move(pass));
                }
            }
            if (!r.err.empty() || !passErrors.empty()) {
                progress.Print(err, r.err + passErrors, true);
            }
            if (!r.out.empty() && !outputFailed) {
                progress.Print(out, r.out, environment.outputOnTerminal);
                if (!outCheck.Check()) {
                    outputFailed = true;
                    progress.Print(err, "kalvero-read: " + outCheck.Message() + "\n", true);
                }
            }
            r = Result{true, r.status, {}, {}, {}};
            ++printed;
        }
    };

    auto worker = [&] {
        for (;;) {
            std::size_t index = 0;
            {
                std::lock_guard<std::mutex> lock(mutex);
                if (next >= inputs.size() || passWriteFailed || outputFailed ||
                    (environment.interruptRequested && environment.interruptRequested())) {
                    return;
                }
                index = next++;
            }
            std::ostringstream fileOut;
            std::ostringstream fileErr;
            std::vector<CarriagePass> passes;
            InputOutput io{fileOut, fileErr, progress,
                           [&passes](const CarriagePass& pass, std::string&) {
                               passes.push_back(pass);
                               return true;
                           },
                           false, true, nullptr};
            if (!options.json) {
                fileOut << "File " << PrintableText(inputs[index]) << ":\n";
            }
            const int status = ReadInput(options, inputs[index], io, environment, false);
            std::lock_guard<std::mutex> lock(mutex);
            Result& r = results[index];
            r.done = true;
            r.status = status;
            r.out = fileOut.str();
            r.err = fileErr.str();
            r.passes = std::move(passes);
            printReady();
        }
    };

    // The inputs are the unit of parallel work: OpenCV's own thread pool
    // would only make the jobs fight for the same cores.
    cv::setNumThreads(1);
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    const std::size_t jobs = options.jobs > 0 ? static_cast<std::size_t>(options.jobs) : cores;
    const std::size_t threads = std::min(jobs, inputs.size());
    std::vector<std::thread> pool;
    for (std::size_t i = 1; i < threads; ++i) {
        pool.emplace_back(worker);
    }
    worker();
    for (std::thread& t : pool) {
        t.join();
    }
    progress.Clear();

    std::vector<int> statuses;
    std::vector<std::string> unopened;
    for (std::size_t i = 0; i < results.size(); ++i) {
        if (!results[i].done) {
            continue;  // not started: Ctrl-C or a failed pass write came first
        }
        statuses.push_back(results[i].status);
        if (results[i].status == kExitFile) {
            unopened.push_back("'" + PrintableText(inputs[i]) + "'");
        }
    }
    // "Files: 4 given, 2 read, 2 could not be opened: 'a.avi', 'b.mp4'"
    err << "Files: " << inputs.size() << " given, " << statuses.size() - unopened.size() << " read";
    if (!unopened.empty()) {
        err << ", " << unopened.size() << " could not be opened:";
        for (std::size_t i = 0; i < unopened.size(); ++i) {
            err << (i == 0 ? " " : ", ") << unopened[i];
        }
    }
    err << "\n";
    if (passWriteFailed || outputFailed) {
        return kExitOutput;
    }
    return CombinedStatus(statuses);
}

// Writes the --report page when asked; returns `status`, or 4 when the
// page cannot be written.
int WriteReport(const ReaderOptions& options, const std::vector<CarriagePass>& passes,
                std::ostream& err, int status) {
    if (options.reportFile.empty() || options.hasSign) {
        return status;
    }
    std::string error;
    if (!WriteReportFile(options.reportFile, HtmlReport(passes, "Kalvero: carriage passes"), error)) {
        err << "kalvero-read: " << OutputFailure(error) << "\n";
        return kExitOutput;
    }
    return status;
}

}  // namespace

int RunReader(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
              const ReaderEnvironment& environment) {
    ReaderOptions options;
    const ParseOutcome parsed = ParseReaderOptions(args, options);
    if (!parsed.ok()) {
        err << "kalvero-read: " << parsed.message << "\n"
            << "Try 'kalvero-read --help'.\n";
        return parsed.status;
    }
    OutputCheck outCheck(out, "standard output", environment.outputClosed);
    if (options.help || options.version) {
        out << (options.help ? ReaderUsage() : ReaderVersion());
        if (!outCheck.Check()) {
            err << "kalvero-read: " << outCheck.Message() << "\n";
            return kExitOutput;
        }
        return kExitOk;
    }
    // OpenCV's own complaints about files it cannot decode would repeat our
    // message in a less helpful form; --verbose lets them through. The same
    // goes for FFmpeg's log ("moov atom not found", damaged JPEG data),
    // which OpenCV sets from this variable whenever it opens a capture.
    if (!options.verbose) {
        cv::utils::logging::setLogLevel(cv::utils::logging::LOG_LEVEL_SILENT);
        setenv("OPENCV_FFMPEG_LOGLEVEL", kFfmpegQuiet, 0);
    }
    // The pass file is made before anything is read, so that a name that
    // cannot be written costs no reading.
    std::unique_ptr<PassFile> passFile;
    if (!options.passesFile.empty() && !options.hasSign) {
        passFile = std::make_unique<PassFile>();
        std::string error;
        if (!passFile->Open(options.passesFile, error)) {
            err << "kalvero-read: " << error << "\n";
            return kExitUsage;
        }
    }
    // The same for the other outputs.
    if (!options.hasSign) {
        std::string error;
        if ((!options.annotateFile.empty() && !AnnotatedVideo::Prepare(options.annotateFile, error)) ||
            (!options.cropsDir.empty() && !PrepareCropFolder(options.cropsDir, error)) ||
            (!options.reportFile.empty() && !WriteReportFile(options.reportFile, "", error))) {
            err << "kalvero-read: " << error << "\n";
            return kExitUsage;
        }
    }
    const InputList list = ExpandInputs(options.files);
    for (const std::string& failure : list.failures) {
        err << "kalvero-read: " << failure << "\n";
    }
    if (list.inputs.empty()) {
        err << "kalvero-read: no video or image found in what was given\n";
        return kExitFile;
    }
    if (!options.annotateFile.empty() && IsStreamAddress(list.inputs.front())) {
        err << "kalvero-read: --annotate writes the frames of a file, not of a stream\n";
        return kExitUsage;
    }
    if (!options.annotateFile.empty() && list.inputs.size() > 1) {
        err << "kalvero-read: --annotate writes one input's frames; " << list.inputs.size()
            << " were given\n";
        return kExitUsage;
    }
    if (options.hasSign && list.inputs.size() > 1) {
        err << "kalvero-read: --sign reads one file; " << list.inputs.size() << " were given\n";
        return kExitUsage;
    }
    const bool several = list.inputs.size() > 1 || options.files.size() > 1 || !list.failures.empty();
    if (!several) {
        const bool counted = environment.progressOnTerminal && !options.hasSign;
        SharedProgress progress(err, counted, 0);
        InputOutput io{out, err, progress, nullptr, environment.outputOnTerminal};
        io.outCheck = &outCheck;
        if (passFile) {
            io.writePass = [&passFile](const CarriagePass& pass, std::string& error) {
                return passFile->Write(pass, error);
            };
        }
        std::vector<CarriagePass> passes;
        io.passesOut = &passes;
        const int status = ReadInput(options, list.inputs.front(), io, environment, counted);
        return WriteReport(options, passes, err, status);
    }
    SharedProgress progress(err, environment.progressOnTerminal && !options.hasSign, 0);
    std::vector<CarriagePass> passes;
    const int status =
        ReadInputs(options, list.inputs, out, err, environment, passFile.get(), progress, passes, outCheck);
    return WriteReport(options, passes, err,
                       CombinedStatus({status, list.failures.empty() ? kExitOk : kExitFile}));
}

}  // namespace kalvero
