#include "detection/ParallelTasks.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <thread>

#include <opencv2/core/utility.hpp>

namespace kalvero {

namespace {

// One call's shared state: the next task to hand out and the first failure.
// Each stripe of the OpenCV loop is one worker that pulls task indices from
// `next`; as there are no more stripes than allowed threads, no more tasks
// than that run at once, however OpenCV schedules the stripes.
class TaskQueue : public cv::ParallelLoopBody {
public:
    TaskQueue(int taskCount, const std::function<void(int)>& task)
        : taskCount_(taskCount), task_(task) {}

    void operator()(const cv::Range& stripes) const override {
        // OpenCV may hand one thread several stripes (or all of them when it
        // runs the loop serially); draining the queue once covers them all.
        (void)stripes;
        for (;;) {
            const int i = next_.fetch_add(1);
            if (i >= taskCount_ || failed_.load()) {
                return;
            }
            try {
                task_(i);
            } catch (...) {
                // An exception must not leave the loop body: OpenCV would
                // turn it into its own error and lose the task's type.
                const std::lock_guard<std::mutex> lock(errorMutex_);
                if (!firstError_) {
                    firstError_ = std::current_exception();
                }
                failed_.store(true);
            }
        }
    }

    void RethrowFirstError() const {
        if (firstError_) {
            std::rethrow_exception(firstError_);
        }
    }

private:
    const int taskCount_;
    const std::function<void(int)>& task_;
    mutable std::atomic<int> next_{0};
    mutable std::atomic<bool> failed_{false};
    mutable std::mutex errorMutex_;
    mutable std::exception_ptr firstError_;
};

}  // namespace

int EffectiveThreadCount(int requested) {
    if (requested > 0) {
        return requested;
    }
    return std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
}

void RunTasks(int taskCount, int threadCount, const std::function<void(int)>& task) {
    if (taskCount <= 0) {
        return;
    }
    const int threads = std::min(std::max(threadCount, 1), taskCount);
    TaskQueue queue(taskCount, task);
    if (threads == 1) {
        queue(cv::Range(0, 1));
    } else {
        cv::parallel_for_(cv::Range(0, threads), queue, threads);
    }
    queue.RethrowFirstError();
}

}  // namespace kalvero
