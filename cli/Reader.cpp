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

#include <opencv2/core/utils/logger.hpp>

#include "app/Options.h"
#include "cli/ExplainTrace.h"
#include "cli/FrameProbe.h"
#include "cli/JsonOutput.h"
#include "cli/PassFile.h"
#include "cli/PassSummary.h"
#include "cli/PassTracker.h"
#include "cli/PrintableText.h"
#include "cli/ProgressLine.h"
#include "cli/ReadReport.h"
#include "cli/ReaderOptions.h"
#include "cli/SignReading.h"
#include "worker/StillImageHeader.h"
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

// Receives the frames of the run and writes the reader's output.
class ReaderSink : public FrameSink {
public:
    ReaderSink(const ReaderOptions& options, std::ostream& out, std::ostream& err,
               ProgressLine& progress, ExplainTrace* explain, VideoThread& thread,
               const std::function<bool()>& interrupted, bool outOnTerminal, PassFile* passFile)
        : outOnTerminal_(outOnTerminal),
          passFile_(passFile),
          tracker_(options.file, options.depth),
          options_(options),
          out_(out),
          err_(err),
          progress_(progress),
          explain_(explain),
          thread_(thread),
          interrupted_(interrupted) {}

    void OnFrame(const FrameReport& report) override {
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
        TakePasses(tracker_.AddFrame(PassFrameFrom(report)), toErr);
        if (options_.json) {
            toOut += FrameJsonLine(report) + "\n";
        } else if (change) {
            toOut += *change + "\n";
        }
        // The progress line shares the terminal: take it down only when
        // something else is about to appear there.
        if (!toErr.empty() || (!toOut.empty() && outOnTerminal_)) {
            progress_.Clear();
        }
        if (!toErr.empty()) {
            err_ << toErr;
            err_.flush();
        }
        if (!toOut.empty()) {
            out_ << toOut;
            out_.flush();
        }
        progress_.Update(report.frameNumber);
        // Ctrl-C: the loop tests the stop request before it reads the next
        // frame, so the run ends after this one.
        if (interrupted_ && interrupted_()) {
            if (!thread_.stopRequest.exchange(true)) {
                report_.MarkInterrupted();
            }
        }
    }

    void OnNotice(const std::string& line) override {
        progress_.Clear();
        err_ << "kalvero-read: " << line << "\n";
        err_.flush();
    }

    void OnRunEnd(bool opened) override { opened_ = opened; }

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
            if (passFile_ != nullptr && !passWriteFailed_ && !passFile_->Write(pass, error)) {
                passWriteFailed_ = true;
                toErr += "kalvero-read: " + error + "\n";
                thread_.stopRequest.store(true);
            }
            passes_.push_back(std::move(pass));
        }
    }

    bool outOnTerminal_;
    PassFile* passFile_;
    PassTracker tracker_;
    std::vector<CarriagePass> passes_;
    bool passWriteFailed_ = false;
    const ReaderOptions& options_;
    std::ostream& out_;
    std::ostream& err_;
    ProgressLine& progress_;
    ExplainTrace* explain_;
    VideoThread& thread_;
    const std::function<bool()>& interrupted_;
    ReadReport report_;
    bool opened_ = true;
};

int ReadSign(const ReaderOptions& options, const cv::Mat& frame, std::ostream& out,
             std::ostream& err) {
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
    return kExitOk;
}

int ReadVideo(const ReaderOptions& options, const FrameProbe& probe, std::ostream& out,
              std::ostream& err, const ReaderEnvironment& environment, PassFile* passFile) {
    const cv::Mat& first = probe.scaledFirstFrame;
    cv::Rect zone(0, 0, first.cols, first.rows);
    if (options.hasZone) {
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

    Options runOptions;
    if (!StoreFileName(runOptions, options.file)) {
        err << "kalvero-read: cannot open '" << PrintableText(options.file)
            << "': the name is longer than "
            << kFileNameSize - 1 << " bytes\n";
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

    VideoThread thread;
    // As after an Apply in the window: the first frame re-latches the
    // settings, checks the zone and builds a fresh vote buffer.
    thread.optionsChanged.store(true, std::memory_order_release);

    ProgressLine progress(err, environment.progressOnTerminal, probe.frameCount);
    std::unique_ptr<ExplainTrace> explain;
    if (options.explain) {
        explain = std::make_unique<ExplainTrace>();
    }
    ReaderSink sink(options, out, err, progress, explain.get(), thread,
                    environment.interruptRequested, environment.outputOnTerminal, passFile);
    thread.Run(sink, runOptions, explain.get());
    progress.Clear();
    err << sink.FinishPasses();

    if (!sink.Opened()) {
        err << "kalvero-read: " << OpenFailure(options.file) << "\n";
        return kExitFile;
    }
    const std::string summary = sink.Report().Summary() + PassSummary(sink.Passes(), false);
    if (options.json) {
        err << summary;
    } else {
        out << summary;
    }
    out.flush();
    return sink.PassWriteFailed() ? kExitFailure : kExitOk;
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
    if (options.help) {
        out << ReaderUsage();
        return kExitOk;
    }
    if (options.version) {
        out << ReaderVersion();
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
    try {
        const bool progress = environment.progressOnTerminal && !options.hasSign;
        const FrameProbe probe = ProbeFile(options.file, options.zoom, progress);
        if (!probe.opened) {
            err << "kalvero-read: " << OpenFailure(options.file) << "\n";
            return kExitFile;
        }
        if (!probe.firstFrameRead) {
            err << "kalvero-read: cannot read the first frame of '" << PrintableText(options.file)
                << "'\n";
            return kExitFile;
        }
        if (options.hasSign) {
            return ReadSign(options, probe.scaledFirstFrame, out, err);
        }
        return ReadVideo(options, probe, out, err, environment, passFile.get());
    } catch (const std::exception& e) {
        err << "kalvero-read: error while reading '" << PrintableText(options.file)
            << "': " << e.what() << "\n";
        return kExitFailure;
    }
}

}  // namespace kalvero
