#include "detection/ParallelTasks.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace kalvero {

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
    if (threads == 1) {
        for (int i = 0; i < taskCount; ++i) {
            task(i);
        }
        return;
    }

    std::atomic<int> next{0};
    std::atomic<bool> failed{false};
    std::exception_ptr firstError;
    std::mutex errorMutex;
    const auto work = [&] {
        for (;;) {
            const int i = next.fetch_add(1);
            if (i >= taskCount || failed.load()) {
                return;
            }
            try {
                task(i);
            } catch (...) {
                const std::lock_guard<std::mutex> lock(errorMutex);
                if (!firstError) {
                    firstError = std::current_exception();
                }
                failed.store(true);
            }
        }
    };

    std::vector<std::thread> helpers;
    helpers.reserve(static_cast<std::size_t>(threads - 1));
    try {
        for (int t = 1; t < threads; ++t) {
            helpers.emplace_back(work);
        }
    } catch (...) {
        // No thread could be started: the threads that did start and the
        // calling thread still do all the work.
    }
    work();
    for (std::thread& helper : helpers) {
        helper.join();
    }
    if (firstError) {
        std::rethrow_exception(firstError);
    }
}

}  // namespace kalvero
