#include "recognition_common/ParallelTasks.h"

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
        const BodyEnd end(bodiesEnded_);
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

    // Called once the OpenCV loop has returned, so every body has ended.
    // The acquire pairs with each body's release at its end: everything the
    // tasks wrote (their result slots, the task object they read) is then
    // ordered before the caller's next step in our own code too, not only
    // through the pool's internal synchronisation, which tools that check
    // threads (ThreadSanitizer) cannot see inside the uninstrumented TBB.
    void AfterAllBodies() const { (void)bodiesEnded_.load(std::memory_order_acquire); }

    void RethrowFirstError() const {
        if (firstError_) {
            std::rethrow_exception(firstError_);
        }
    }

private:
    // Counts a body's end however it returns.
    class BodyEnd {
    public:
        explicit BodyEnd(std::atomic<int>& ended) : ended_(ended) {}
        BodyEnd(const BodyEnd&) = delete;
        BodyEnd& operator=(const BodyEnd&) = delete;
        ~BodyEnd() { ended_.fetch_add(1, std::memory_order_release); }

    private:
        std::atomic<int>& ended_;
    };

    const int taskCount_;
    const std::function<void(int)>& task_;
    mutable std::atomic<int> next_{0};
    mutable std::atomic<bool> failed_{false};
    mutable std::mutex errorMutex_;
    mutable std::exception_ptr firstError_;
    mutable std::atomic<int> bodiesEnded_{0};
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
    queue.AfterAllBodies();
    queue.RethrowFirstError();
}

}  // namespace kalvero
