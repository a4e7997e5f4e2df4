#pragma once
#include <ostream>
#include <string>
#include <vector>

#include "cli/OutputWriter.h"
#include "cli/Reader.h"
#include "cli/ReaderOptions.h"
#include "cli/SharedProgress.h"
#include "worker/VideoThread.h"

namespace kalvero {

// Reads one input through the window's run loop (VideoThread::Run) and
// hands every frame and pass to the writers. The input is opened once:
// the first frame, frame count and frame rate the checks and writers need
// come from the opening the loop then reads from. The runner alone ends a
// run early: on Ctrl-C, and when a writer reports a failure (said on
// `err`; the status is then 4). A stream that breaks off is read again
// (KeepReadingStream). The runs go through `block`, which a job keeps for
// all the inputs it reads, so that the learned engine's network is loaded
// once a job.
class InputRunner {
public:
    InputRunner(const ReaderOptions& options, const ReaderEnvironment& environment, SharedProgress& progress,
                std::ostream& err, std::vector<OutputWriter*> writers, VideoThread& block)
        : options_(options), environment_(environment), progress_(progress), err_(err),
          writers_(std::move(writers)), block_(block) {}

    // Reads `file` to its end; returns its exit status. `countFrames`: the
    // progress line counts towards the file's frame count.
    int Read(const std::string& file, bool countFrames);

private:
    const ReaderOptions& options_;
    const ReaderEnvironment& environment_;
    SharedProgress& progress_;
    std::ostream& err_;
    std::vector<OutputWriter*> writers_;
    VideoThread& block_;
};

}  // namespace kalvero
