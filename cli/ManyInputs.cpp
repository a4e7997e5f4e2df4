#include "cli/ManyInputs.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <sstream>
#include <thread>

#include <opencv2/core.hpp>

#include "cli/InputRunner.h"
#include "worker/FrameSource.h"
#include "worker/VideoThread.h"
#include "cli/InputWriters.h"
#include "cli/LineForwarder.h"
#include "cli/LivePassWriter.h"
#include "cli/PassCollector.h"
#include "cli/SignCommand.h"
#include "command_line/PrintableText.h"

namespace kalvero {

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

int ReadManyInputs(const ReaderOptions& options, const std::vector<std::string>& inputs, std::ostream& out,
                   std::ostream& err, const ReaderEnvironment& environment, PassFileWriter* passFile,
                   ReportWriter* report, SharedProgress& progress, OutputCheck& outCheck) {
    struct Result {
        bool done = false;     // printed when its turn comes (a stream: at once)
        bool started = false;
        int status = kExitOk;
        std::string out;
        std::string err;
        std::vector<CarriagePass> passes;
    };
    std::vector<Result> results(inputs.size());
    std::mutex mutex;                // guards results, next and printed
    std::size_t next = 0;            // the next file to start (in `files`)
    std::size_t printed = 0;         // inputs printed so far
    bool passWriteFailed = false;
    std::atomic<bool> outputFailed{false};  // standard output refused a write

    // Prints every finished input whose predecessors are printed; called
    // with the mutex held.
    auto printReady = [&] {
        while (printed < results.size() && results[printed].done) {
            Result& r = results[printed];
            std::string passErrors;
            for (const CarriagePass& pass : r.passes) {
                if (passFile != nullptr && !passWriteFailed) {
                    passFile->Pass(pass);
                    const std::string failure = passFile->TakeFailure();
                    if (!failure.empty()) {
                        passWriteFailed = true;
                        passErrors += "kalvero-read: " + failure + "\n";
                    }
                }
            }
            if (report != nullptr) {
                report->Add(r.passes);
            }
            if (!r.err.empty() || !passErrors.empty()) {
                progress.Print(err, r.err + passErrors, true);
            }
            if (!r.out.empty() && !outputFailed) {
                if (!progress.PrintChecked(out, r.out, environment.outputOnTerminal, outCheck)) {
                    outputFailed = true;
                    progress.Print(err, "kalvero-read: " + outCheck.Message() + "\n", true);
                }
            }
            r = Result{true, true, r.status, {}, {}, {}};
            ++printed;
        }
    };

    // A stream's pass, written at once (with the mutex held).
    auto writeLivePass = [&](const CarriagePass& pass) -> std::string {
        std::string failure;
        if (passFile != nullptr && !passWriteFailed) {
            passFile->Pass(pass);
            failure = passFile->TakeFailure();
            passWriteFailed = !failure.empty();
        }
        if (report != nullptr) {
            report->Add({pass});
        }
        return failure;
    };

    // A stream is read beside the files and whatever else runs: its lines
    // and passes go out as they happen instead of waiting for its turn (a
    // live input never ends), each line naming it.
    auto readStream = [&](std::size_t index, VideoThread& block) {
        const std::string& address = inputs[index];
        const std::string prefix = PrintableText(address) + ": ";
        const auto named = [&](const std::string& line) {
            // JSON lines name their input themselves; so do the lines about
            // the stream.
            const bool names = line.rfind("{", 0) == 0 || line.find(PrintableText(address)) != std::string::npos;
            return names ? line : prefix + line;
        };
        // Takes no lock of its own but the progress line's: it is called
        // from inside SharedProgress::Print too.
        LineForwarder liveOut([&](const std::string& line) {
            if (outputFailed) {
                return;
            }
            if (!progress.PrintChecked(out, options.json ? line : named(line), environment.outputOnTerminal,
                                       outCheck)) {
                outputFailed = true;
            }
        });
        LineForwarder liveErr([&](const std::string& line) { progress.Print(err, named(line), true); });
        const ConsoleStreams streams{liveOut, liveErr, progress};
        const std::function<std::string(const CarriagePass&)> write = writeLivePass;
        LivePassWriter passes(mutex, outputFailed, passWriteFailed, outCheck, write, !options.reportFile.empty());
        InputWriters writers(options, streams, true);
        writers.Add(&passes);
        if (!options.json) {
            liveOut << "File " << PrintableText(address) << ":\n";
        }
        InputRunner runner(options, environment, progress, liveErr, writers.List(), block);
        const int status = options.hasSign ? ReadSignCommand(options, address, liveOut, liveErr, nullptr)
                                           : runner.Read(address, false);
        liveOut.flush();
        std::lock_guard<std::mutex> lock(mutex);
        results[index].status = status;
    };

    // The files, read by the jobs in input order; the streams each have a
    // thread of their own (a live input never ends: in a job it would
    // keep the inputs after it from ever being read). Nothing of a stream
    // waits for its turn: the files after it are printed as they end.
    std::vector<std::size_t> files;
    std::vector<std::size_t> streamInputs;
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        if (IsStreamAddress(inputs[i])) {
            streamInputs.push_back(i);
            results[i].done = true;
        } else {
            files.push_back(i);
        }
    }

    auto streamThread = [&](std::size_t index) {
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (passWriteFailed || outputFailed ||
                (environment.interruptRequested && environment.interruptRequested())) {
                return;
            }
            results[index].started = true;
        }
        VideoThread block;
        readStream(index, block);
    };

    auto worker = [&] {
        // One run block a job, for all its inputs: the learned engine's
        // network is loaded once a job.
        VideoThread block;
        for (;;) {
            std::size_t index = 0;
            {
                std::lock_guard<std::mutex> lock(mutex);
                if (next >= files.size() || passWriteFailed || outputFailed ||
                    (environment.interruptRequested && environment.interruptRequested())) {
                    return;
                }
                index = files[next++];
                results[index].started = true;
            }
            std::ostringstream fileOut;
            std::ostringstream fileErr;
            const ConsoleStreams streams{fileOut, fileErr, progress};
            PassCollector passes(!options.reportFile.empty());
            InputWriters writers(options, streams, true);
            writers.Add(&passes);
            if (!options.json) {
                fileOut << "File " << PrintableText(inputs[index]) << ":\n";
            }
            InputRunner runner(options, environment, progress, fileErr, writers.List(), block);
            const int status = options.hasSign ? ReadSignCommand(options, inputs[index], fileOut, fileErr, nullptr)
                                               : runner.Read(inputs[index], false);
            std::lock_guard<std::mutex> lock(mutex);
            Result& r = results[index];
            r.done = true;
            r.status = status;
            r.out = fileOut.str();
            r.err = fileErr.str();
            r.passes = std::move(passes.Passes());
            printReady();
        }
    };

    // The inputs are the unit of parallel work: OpenCV's own thread pool
    // would only make the jobs fight for the same cores.
    cv::setNumThreads(1);
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    const std::size_t jobs = options.jobs > 0 ? static_cast<std::size_t>(options.jobs) : cores;
    const std::size_t threads = std::min(jobs, files.size());
    std::vector<std::thread> pool;
    {
        std::lock_guard<std::mutex> lock(mutex);
        printReady();  // past the streams at the head of the list
    }
    for (std::size_t index : streamInputs) {
        pool.emplace_back(streamThread, index);
    }
    for (std::size_t i = 1; i < threads; ++i) {
        pool.emplace_back(worker);
    }
    if (threads > 0) {
        worker();
    }
    for (std::thread& t : pool) {
        t.join();
    }
    progress.Clear();

    std::vector<int> statuses;
    std::vector<std::string> unopened;
    for (std::size_t i = 0; i < results.size(); ++i) {
        if (!results[i].started) {
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

}  // namespace kalvero
