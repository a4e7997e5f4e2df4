#pragma once
#include <atomic>
#include <functional>
#include <mutex>
#include <string>

#include "cli/CarriagePass.h"
#include "cli/OutputCheck.h"
#include "cli/OutputWriter.h"

namespace kalvero {

// The writer of a live stream's passes among several inputs: each pass is
// written at once through `write` (the pass file and the report shared by
// all inputs, under `mutex`), and the stream's run ends when standard
// output or the pass file failed, in this input or another.
class LivePassWriter : public OutputWriter {
public:
    LivePassWriter(std::mutex& mutex, std::atomic<bool>& outputFailed, bool& passWriteFailed, OutputCheck& outCheck,
                   const std::function<std::string(const CarriagePass&)>& write, bool wantsImage)
        : mutex_(mutex), outputFailed_(outputFailed), passWriteFailed_(passWriteFailed),
          outCheck_(outCheck), write_(write), wantsImage_(wantsImage) {}
    void Frame(const FrameEvent& /*event*/) override {
        std::lock_guard<std::mutex> lock(mutex_);
        if (outputFailed_) {
            Fail(outCheck_.Message());
        } else if (passWriteFailed_) {
            Fail("the pass file could not be written");
        }
    }
    void Pass(const CarriagePass& pass) override {
        std::lock_guard<std::mutex> lock(mutex_);
        const std::string failure = write_(pass);
        if (!failure.empty()) {
            Fail(failure);
        }
    }
    bool WantsImage() const override { return wantsImage_; }

private:
    std::mutex& mutex_;
    std::atomic<bool>& outputFailed_;
    bool& passWriteFailed_;
    OutputCheck& outCheck_;
    const std::function<std::string(const CarriagePass&)>& write_;
    bool wantsImage_;
};

}  // namespace kalvero
