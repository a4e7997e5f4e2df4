#pragma once
#include <functional>

namespace kalvero {

// The number of threads a recognition call uses when asked for `requested`
// (0 or less: one per hardware thread), at least 1.
int EffectiveThreadCount(int requested);

// Runs task(0) .. task(taskCount - 1), each exactly once, on OpenCV's thread
// pool (TBB in Debian's build), so a call starts no thread of its own. At
// most min(threadCount, taskCount) tasks run at once, the calling thread
// among them, and fewer when OpenCV is limited to fewer threads
// (cv::setNumThreads, as kalvero-read does when it reads inputs side by
// side) or when another RunTasks or cv::parallel_for_ call is already in
// progress in the process: OpenCV then runs the call on the calling thread
// alone. Tasks are handed out in index order as threads become free, so a
// task must not depend on another one of the same call; each writes its own
// result slot, which keeps the merged results independent of the number of
// threads. The first exception a task throws is rethrown once every task of
// the call has stopped; tasks not yet started are skipped.
void RunTasks(int taskCount, int threadCount, const std::function<void(int)>& task);

}  // namespace kalvero
