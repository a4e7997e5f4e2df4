#include "detection/RecognizeFrame.h"

#include <algorithm>
#include <cstring>

#include "detection/CandidateDetector.h"
#include "detection/DetectFrame.h"
#include "detection/DetectionParams.h"
#include "detection/GlyphTemplateBank.h"
#include "recognition_common/ParallelTasks.h"
#include "detection/ReadingRanking.h"

namespace kalvero {

namespace {

// A frame entry's name field keeps a terminating zero: 19 characters fit.
constexpr std::size_t kMaxNameLength = sizeof(FrameResultEntry::name) - 1;

// Smallest zone (in pixels) that the automatic thread count spreads over
// several threads. A 390 x 90 zone is read in about 3 ms on one thread; a
// second thread saves a few tenths of that on an idle machine but costs
// milliseconds when the other core is busy and the pool's worker is not
// scheduled while it holds a task. A 640 x 360 zone gains about a third.
constexpr std::size_t kParallelZoneArea = 100000;

// Threads for one call: the setting when it names a number, else one per
// hardware thread for large zones and the calling thread alone for small
// ones.
int ThreadsFor(const RecognitionSettings& settings, const cv::Mat& zone) {
    if (settings.threadCount > 0) {
        return settings.threadCount;
    }
    return zone.total() >= kParallelZoneArea ? EffectiveThreadCount(0) : 1;
}


// Builds the detector, detects, and keeps the best maxResults readings.
std::vector<RecognitionResult> RunDetection(const cv::Mat& zone, const DetectionParams& params,
                                            const RecognitionSettings& settings, CorrelationPath path) {
    DetectionExecution execution;
    execution.correlationPath = path;
    execution.threadCount = ThreadsFor(settings, zone);
    CandidateDetector detector(zone, params, settings.trace, execution);
    if (detector.Detect() <= 0) {
        return {};
    }
    return BestReadings(detector.Readings(), params.maxResults);
}

}  // namespace

bool ZoneCanBeSearched(const cv::Mat& zone, int digitHeight) {
    if (digitHeight < 1 || zone.empty() || zone.dims != 2) {
        return false;
    }
    if (zone.type() != CV_8UC1 && zone.type() != CV_8UC3) {
        return false;
    }
    // Compared as cols - 2 >= W and rows - 2 >= h so that no height overflows.
    return zone.cols - 2 >= GlyphWidthFor(digitHeight) && zone.rows - 2 >= digitHeight;
}

FrameResult MakeFrameResult(const std::vector<RecognitionResult>& readings) {
    FrameResult result;
    result.entries.reserve(readings.size());
    for (const RecognitionResult& reading : readings) {
        const std::size_t length = static_cast<std::size_t>(
            std::find(reading.text, reading.text + kResultTextSize, '\0') - reading.text);
        if (length > kMaxNameLength) {
            continue;
        }
        FrameResultEntry entry;
        std::memcpy(entry.name, reading.text, length);
        entry.x = reading.x;
        entry.y = reading.y;
        entry.width = reading.width;
        entry.height = reading.height;
        entry.score = reading.score;
        result.entries.push_back(entry);
    }
    return result;
}

FrameResult DetectFrame(const cv::Mat& zoneImage, const RecognitionSettings& settings, CorrelationPath path) {
    if (!ZoneCanBeSearched(zoneImage, settings.digitHeight)) {
        return {};
    }
    const DetectionParams params = MakeDetectionParams(settings);
    return MakeFrameResult(RunDetection(zoneImage, params, settings, path));
}

FrameResult RecognizeFrame(cv::Mat zoneImage, const RecognitionSettings& settings) {
    return DetectFrame(zoneImage, settings, CorrelationPath::Fast);
}

}  // namespace kalvero
