#pragma once
#include <functional>

namespace kalvero {

// The number of threads a recognition call uses when asked for `requested`
// (0 or less: one per hardware thread), at least 1.
int EffectiveThreadCount(int requested);

// Runs task(0) .. task(taskCount - 1), each exactly once, on up to
// threadCount threads: the calling thread and threadCount - 1 helpers that
// live only for this call. Tasks are handed out in index order as threads
// become free, so a task must not depend on another one of the same call;
// each writes its own result slot, which keeps the merged results
// independent of the number of threads. The first exception a task throws
// is rethrown once every thread has stopped (tasks not yet started are
// skipped).
void RunTasks(int taskCount, int threadCount, const std::function<void(int)>& task);

}  // namespace kalvero
