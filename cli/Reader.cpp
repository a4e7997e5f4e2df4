#include "cli/Reader.h"

#include <cstdlib>
#include <memory>

#include <opencv2/core/utils/logger.hpp>

#include "cli/AnnotatedVideo.h"
#include "cli/ConsoleStreams.h"
#include "cli/InputList.h"
#include "cli/InputRunner.h"
#include "cli/InputWriters.h"
#include "cli/ManyInputs.h"
#include "cli/OutputCheck.h"
#include "cli/PassCrops.h"
#include "cli/PassFileWriter.h"
#include "cli/ReaderOptions.h"
#include "cli/ReportWriter.h"
#include "cli/SharedProgress.h"
#include "cli/SignCommand.h"
#include "worker/FrameSource.h"

namespace kalvero {

namespace {

// FFmpeg's AV_LOG_QUIET: no message is at or below this level.
constexpr const char* kFfmpegQuiet = "-8";

// Writes the --report page when asked; returns `status`, or 4 when the
// page cannot be written.
int FinishReport(ReportWriter* report, std::ostream& err, int status) {
    if (report == nullptr) {
        return status;
    }
    report->Finish();
    const std::string failure = report->TakeFailure();
    if (!failure.empty()) {
        err << "kalvero-read: " << failure << "\n";
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
    std::unique_ptr<PassFileWriter> passFile;
    if (!options.passesFile.empty() && !options.hasSign) {
        passFile = std::make_unique<PassFileWriter>();
        std::string error;
        if (!passFile->Open(options.passesFile, error)) {
            err << "kalvero-read: " << error << "\n";
            return kExitUsage;
        }
    }
    // The same for the other outputs.
    std::unique_ptr<ReportWriter> report;
    if (!options.hasSign) {
        std::string error;
        if (!options.reportFile.empty()) {
            report = std::make_unique<ReportWriter>(options.reportFile);
        }
        if ((!options.annotateFile.empty() && !AnnotatedVideo::Prepare(options.annotateFile, error)) ||
            (!options.cropsDir.empty() && !PrepareCropFolder(options.cropsDir, error)) ||
            (report && !report->Prepare(error))) {
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
        const std::string& file = list.inputs.front();
        if (options.hasSign) {
            return ReadSignCommand(options, file, out, err, &outCheck);
        }
        const bool counted = environment.progressOnTerminal;
        SharedProgress progress(err, counted, 0);
        const ConsoleStreams streams{out, err, progress, environment.outputOnTerminal, &outCheck};
        InputWriters writers(options, streams, false);
        writers.Add(passFile.get());
        writers.Add(report.get());
        VideoThread block;
        InputRunner runner(options, environment, progress, err, writers.List(), block);
        return FinishReport(report.get(), err, runner.Read(file, counted));
    }
    SharedProgress progress(err, environment.progressOnTerminal && !options.hasSign, 0);
    const int status = ReadManyInputs(options, list.inputs, out, err, environment, passFile.get(), report.get(),
                                      progress, outCheck);
    return FinishReport(report.get(), err, CombinedStatus({status, list.failures.empty() ? kExitOk : kExitFile}));
}

}  // namespace kalvero
