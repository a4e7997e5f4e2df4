// kalvero_read_file: one input read by kalvero-read's own runner
// (InputRunner over the run loop), its frames and passes handed to the
// caller's callbacks instead of written out.
#include <sstream>

#include "Errors.h"
#include "FrameResult.h"
#include "Options.h"
#include "cli/InputRunner.h"
#include "cli/OutputWriter.h"
#include "cli/SharedProgress.h"
#include "worker/VideoThread.h"

namespace kalvero::sdk {

namespace {

// Hands the runner's frames and passes to the callbacks. A pass ends
// before the frame that ends it is handed out, so it is kept for that
// frame's result too.
class CallbackWriter : public OutputWriter {
public:
    CallbackWriter(const kalvero_callbacks* callbacks, void* userData)
        : callbacks_(callbacks != nullptr ? *callbacks : kalvero_callbacks{nullptr, nullptr}), userData_(userData) {}

    void Frame(const FrameEvent& event) override {
        kalvero_frame frame = FrameFrom(event.report);
        frame.passes.swap(endedPasses_);
        endedPasses_.clear();
        if (callbacks_.on_frame != nullptr && !stopped_ && callbacks_.on_frame(&frame, userData_) != 0) {
            stopped_ = true;
        }
    }

    void Pass(const CarriagePass& pass) override {
        const kalvero_pass out = PassFrom(pass);
        endedPasses_.push_back(out);
        if (callbacks_.on_pass != nullptr && !stopped_ && callbacks_.on_pass(&out, userData_) != 0) {
            stopped_ = true;
        }
    }

    bool Stopped() const { return stopped_; }

private:
    kalvero_callbacks callbacks_;
    void* userData_;
    std::vector<kalvero_pass> endedPasses_;
    bool stopped_ = false;
};

// kalvero-read's options for the C interface's.
ReaderOptions ReaderOptionsOf(const kalvero_options& options, const std::string& path) {
    ReaderOptions reader;
    reader.file = path;
    reader.files = {path};
    reader.jobs = 1;
    reader.engine = options.engine;
    reader.hasZone = options.hasZone;
    reader.zone = options.zone;
    reader.digitHeight = EngineDigitHeight(options);
    reader.hasDigitHeight = options.digitHeight != 0;
    reader.depth = options.depth;
    reader.threshold = options.threshold;
    reader.checkDigit = options.checkDigit;
    return reader;
}

// The last line the runner said, without the program's name.
std::string RunnerMessage(const std::string& said) {
    std::string text = said;
    while (!text.empty() && text.back() == '\n') text.pop_back();
    const std::size_t lineStart = text.rfind('\n');
    if (lineStart != std::string::npos) text.erase(0, lineStart + 1);
    const std::string prefix = "kalvero-read: ";
    if (text.compare(0, prefix.size(), prefix) == 0) text.erase(0, prefix.size());
    return text.empty() ? std::string("the input could not be read") : text;
}

int StatusOfExit(int exitStatus) {
    switch (exitStatus) {
        case kExitFile:
            return KALVERO_E_FILE;
        case kExitUsage:
            return KALVERO_E_ZONE;  // the one usage fault left once the options are checked
        default:
            return KALVERO_E_INTERNAL;
    }
}

}  // namespace

}  // namespace kalvero::sdk

extern "C" int kalvero_read_file(const char* path, const kalvero_options* options,
                                 const kalvero_callbacks* callbacks, void* user_data) {
    using namespace kalvero;
    if (path == nullptr) return sdk::Fail(KALVERO_E_INVALID_ARGUMENT, "kalvero_read_file: path is NULL");
    const int status = sdk::Guarded([&]() -> int {
        const kalvero_options chosen = options != nullptr ? *options : kalvero_options();
        const int checked = sdk::CheckOptions(chosen);
        if (checked != KALVERO_OK) return checked;
        const ReaderOptions readerOptions = sdk::ReaderOptionsOf(chosen, path);
        sdk::CallbackWriter writer(callbacks, user_data);
        ReaderEnvironment environment;
        environment.interruptRequested = [&writer] { return writer.Stopped(); };
        std::ostringstream said;
        SharedProgress progress(said, false, 0);
        VideoThread block;
        InputRunner runner(readerOptions, environment, progress, said, {&writer}, block);
        const int exitStatus = runner.Read(path, false);
        if (exitStatus != kExitOk) return sdk::Fail(sdk::StatusOfExit(exitStatus), sdk::RunnerMessage(said.str()));
        if (writer.Stopped()) return sdk::Fail(KALVERO_E_STOPPED, "a callback stopped the read");
        return KALVERO_OK;
    });
    if (status == KALVERO_OK) sdk::ClearError();
    return status;
}
