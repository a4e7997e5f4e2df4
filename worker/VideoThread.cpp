// The run loop: plays a video frame by frame with one RunPlan at a time, recognises
// the zone, draws the readings, votes and hands every frame to a FrameSink.
#include "worker/VideoThread.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

#include <opencv2/imgproc.hpp>

#include "line_reader/LineReader.h"
#include "recognition_common/CheckDigit.h"
#include "recognition_common/ClipRect.h"
#include "worker/FrameScaling.h"
#include "worker/FrameSource.h"
#include "worker/ResultVoteBuffer.h"
#include "worker/StreakConfirmation.h"
#include "worker/ZoneReaders.h"

namespace kalvero {

namespace {

using Clock = std::chrono::steady_clock;

// Room for the console line and the "NAME:SCORE" label: a 19-character name
// and a float printed with %.3f fit many times over.
constexpr int kTextBufferSize = 256;
// The banner takes the vote's confirmed text: at most 19 characters (a vote
// slot) and the terminator.
constexpr std::int32_t kBannerCapacity = 20;

const cv::Scalar kYellow(0, 255, 255);
const cv::Scalar kPurple(128, 0, 128);
const cv::Scalar kMagenta(255, 0, 255);
const cv::Scalar kDarkRed(0, 0, 128);
const cv::Scalar kRed(0, 0, 255);
const cv::Scalar kWhite(255, 255, 255);

// The text a frame gives to the vote: the best reading, or with the
// check-digit rule the best reading whose check digit holds (a reading that
// fails is still drawn and reported, but can never be confirmed). Empty when
// there is none.
std::string VoteText(const std::vector<Reading>& readings, bool checkDigitVote) {
    for (const Reading& reading : readings) {
        if (!checkDigitVote || CheckDigitHolds(reading.text)) return reading.text;
    }
    return std::string();
}

// Clears the run flags however the run is left, an exception included:
// isRunning first, then stopRequest.
class RunFlagsReset {
public:
    explicit RunFlagsReset(VideoThread& block) : block_(block) {}
    RunFlagsReset(const RunFlagsReset&) = delete;
    RunFlagsReset& operator=(const RunFlagsReset&) = delete;
    ~RunFlagsReset() {
        block_.pauseEntered.store(false);
        block_.isRunning.store(false, std::memory_order_release);
        block_.stopRequest.store(false, std::memory_order_release);
    }

private:
    VideoThread& block_;
};

}  // namespace

void VideoThread::waitWhilePaused() {
    // Short enough that closing the window or Start during a pause feels
    // immediate, long enough that a paused worker costs no CPU to speak of.
    constexpr auto kStep = std::chrono::milliseconds(10);
    while (isPaused.load(std::memory_order_acquire)) {
        pauseEntered.store(true, std::memory_order_release);
        // Re-test the pause once a second, but leave at once when it is
        // cleared or a stop is requested (the window waits for that).
        const auto until = Clock::now() + std::chrono::milliseconds(kPausePollMs);
        while (Clock::now() < until && isPaused.load(std::memory_order_acquire) &&
               !stopRequest.load(std::memory_order_acquire)) {
            std::this_thread::sleep_for(kStep);
        }
        if (stopRequest.load(std::memory_order_acquire)) break;
    }
    pauseEntered.store(false, std::memory_order_release);
}

VideoThread::VideoThread() = default;
VideoThread::~VideoThread() = default;

LineReader* VideoThread::learnedNetwork(std::string& error) {
    std::lock_guard<std::mutex> lock(networkMutex_);
    if (!network_) {
        ++networkLoads_;
        network_ = LineReader::Create(error);
    }
    return network_.get();
}

std::size_t VideoThread::networkLoads() const {
    std::lock_guard<std::mutex> lock(networkMutex_);
    return networkLoads_;
}

void VideoThread::ApplyPlan(const RunPlan& plan) {
    plans_.Publish(plan);
    optionsChanged.store(true, std::memory_order_release);
}

void VideoThread::SetStartPlan(const RunPlan& plan) { plans_.Publish(plan); }

void VideoThread::ShowPlan(const RunPlan& plan) { plans_.Publish(plan); }

void VideoThread::Run(FrameSink& sink, RunSettings& settings, RecognitionTrace* trace) {
    SetStartPlan(PlanOf(settings));
    Run(sink, LoadRunPath(settings), trace);
}

void VideoThread::Run(FrameSink& sink, const std::string& path, RecognitionTrace* trace) {
    bool opened = false;
    {
        RunFlagsReset resetFlags(*this);

        // Set-up: the file name is copied, later changes do not affect the run.
        FrameSource source;
        opened = source.openDecodingAhead(path);
        // The settings of this run, one value replaced whole when a new one
        // is handed over; the overlays draw from it too.
        RunPlan plan = plans_.Latest();
        std::unique_ptr<ResultVoteBuffer> buffer = ResultVoteBuffer::create(plan.deepBuf, plan.colNum);
        cv::Rect zone = plan.zone;  // the first zone is taken without a fit test
        RecognitionEngine engine = plan.engine;
        bool checkDigitVote = CheckDigitVoteFor(plan, engine);
        std::unique_ptr<ZoneReader> reader;  // the engine that reads the zone
        bool readerChecks = false;            // the learned reader keeps only numbers whose check digit holds
        bool learnedFailed = false;           // the network could not be loaded in this run, and said so
        // The engine's reader for a plan. The learned engine reads with the
        // block's network; when it cannot be loaded the run says so once and
        // goes on with the glyph engine.
        auto useEngine = [&](const RunPlan& wanted) {
            const bool checks = CheckDigitVoteFor(wanted, RecognitionEngine::Learned);
            if (reader && reader->engine() == wanted.engine &&
                (wanted.engine != RecognitionEngine::Learned || readerChecks == checks)) {
                return;
            }
            if (wanted.engine == RecognitionEngine::Learned && learnedFailed && reader) return;
            std::string error;
            LineReader* network = wanted.engine == RecognitionEngine::Learned ? learnedNetwork(error) : nullptr;
            ZoneReaderChoice choice;
            choice.engine = wanted.engine;
            choice.trace = trace;
            choice.learnedRequiresCheckDigit = checks;
            reader = MakeZoneReader(choice, network);
            readerChecks = checks;
            if (reader->engine() != wanted.engine && !learnedFailed) {
                sink.OnNotice(error);
                learnedFailed = true;
            }
            engine = reader->engine();
        };

        if (opened) {
            useEngine(plan);
            checkDigitVote = CheckDigitVoteFor(plan, engine);
            StreakConfirmation streaks(plan.confirmStreak, checkDigitVote);
            isRunning.store(true, std::memory_order_release);
            std::string previousName;
            int frameNumber = 0;
            cv::Mat frame;

            while (!stopRequest.load(std::memory_order_acquire)) {
                waitWhilePaused();
                if (!source.read(frame)) break;
                ++frameNumber;
                const double timestampMs = source.timestampMs();
                const std::optional<DamagedGap> damageBefore = source.damageBefore();

                // A plan handed over since the last frame. The flag is taken
                // down before the plan is copied, so a plan that lands
                // meanwhile is taken on the next frame instead of lost.
                const bool changed = optionsChanged.exchange(false, std::memory_order_acq_rel);
                if (changed) plan = plans_.Latest();

                // Overlays and the colour conversion only for a picture that
                // someone will see or write.
                const bool drawImage = sink.WantsImage();
                // The frame as decoded goes out beside the finished one: the
                // zoom makes a new picture, so the decoded one is shared as
                // it is; without a zoom the overlays would be drawn over it.
                const bool keepDecoded = drawImage && sink.WantsSourceImage();
                cv::Mat decoded;
                if (keepDecoded) decoded = frame;
                ScaleByZoom(frame, plan.zoom);
                if (keepDecoded && decoded.data == frame.data) decoded = frame.clone();

                if (changed) {
                    // Frames read before are no guide to the next under new settings.
                    reader->ForgetSequence();
                    useEngine(plan);
                    checkDigitVote = CheckDigitVoteFor(plan, engine);
                    streaks = StreakConfirmation(plan.confirmStreak, checkDigitVote);
                    const bool quiet = clipZoneQuietly.load(std::memory_order_acquire);
                    if (quiet ? zoneWithin(frame, plan) : zoneFits(frame, plan)) {
                        zone = plan.zone;
                    } else if (!quiet) {
                        drawZone.store(true);
                    }
                    ResultVoteBuffer::destroy(buffer);
                    buffer = ResultVoteBuffer::create(plan.deepBuf, plan.colNum);
                }

                // Only the part of the latched zone inside the frame is read;
                // when nothing of it is, recognition gets an empty image.
                const cv::Rect used = ClipRect(zone, frame.size());
                const cv::Mat zoneView = used.empty() ? cv::Mat() : frame(used);

                // An engine that reads frames together gets the zones of the
                // frames after this one, cut the same way, that the source has
                // at hand.
                std::vector<cv::Mat> ahead;
                const int wanted = used.empty() ? 0 : reader->FramesAhead(frameNumber, plan.numberH);
                for (int offset = 0; offset < wanted; ++offset) {
                    cv::Mat next;
                    if (!source.peekNext(next, offset)) break;
                    ScaleByZoom(next, plan.zoom);
                    if (next.size() != frame.size()) break;
                    ahead.push_back(next(used));
                }

                double preciseMs = 0.0;
                std::vector<Reading> readings =
                    reader->ReadInSequence(zoneView, frameNumber, ahead, plan.numberH, preciseMs);
                const auto elapsedMs = static_cast<std::int32_t>(preciseMs);
                const float seconds = static_cast<float>(elapsedMs) / 1000.0f;

                const double scale = fontScale.load();
                char text[kTextBufferSize];
                char banner[kBannerCapacity + 1] = {};
                std::int32_t capacity = kBannerCapacity;
                int voteCode = kNoVote;
                std::string bestName;

                if (!readings.empty()) {
                    bestName = readings.front().text;
                }
                if (!readings.empty() && drawImage) {
                    const Reading& best = readings.front();
                    const int x = best.box.x + used.x;
                    const int y = best.box.y + used.y;
                    cv::rectangle(frame, cv::Point(x, y), cv::Point(x + best.box.width, y + best.box.height), kYellow,
                                  2, cv::LINE_8);
                    std::snprintf(text, sizeof text, "%s:%.3f", bestName.c_str(), static_cast<double>(best.score));
                    cv::putText(frame, text, cv::Point(41, 41), fontFace, scale, kPurple, thickness, cv::LINE_8);
                    cv::putText(frame, text, cv::Point(40, 40), fontFace, scale, kMagenta, thickness, cv::LINE_8);
                    // The name at the box only from the second frame in a row.
                    if (bestName == previousName && !bestName.empty()) {
                        cv::putText(frame, bestName, cv::Point(x + 1, y + 1), fontFace, scale, kDarkRed, thickness,
                                    cv::LINE_8);
                        cv::putText(frame, bestName, cv::Point(x, y), fontFace, scale, kRed, thickness, cv::LINE_8);
                    }
                }
                // Frames without a reading vote with the empty text.
                const std::string voted = checkDigitVote ? VoteText(readings, true) : bestName;
                if (buffer) {
                    voteCode = buffer->vote(voted.data(), static_cast<std::int32_t>(voted.size()), banner, capacity);
                }

                std::string confirmed;
                if (voteCode == 0) {
                    confirmed.assign(banner, static_cast<std::size_t>(capacity));
                }
                // The learned engine's readings also confirm by their streak,
                // when the vote has not confirmed a number already.
                const std::string streak =
                    engine == RecognitionEngine::Learned ? streaks.Take(readings) : std::string();
                if (voteCode != 0 && !streak.empty()) {
                    voteCode = 0;
                    confirmed = streak;
                }
                if (voteCode == 0 && drawImage) {
                    int baseline = 0;
                    const cv::Size size = cv::getTextSize(confirmed, fontFace, scale, thickness, &baseline);
                    const int rows = frame.rows;
                    cv::rectangle(frame, cv::Point(40, rows - 40), cv::Point(size.width + 40, rows - size.height - 40),
                                  kWhite, cv::FILLED, cv::LINE_8);
                    cv::putText(frame, confirmed, cv::Point(40, rows - 40), fontFace, scale, kRed, thickness,
                                cv::LINE_8);
                }

                previousName = bestName;

                if (drawImage) {
                    // The overlays follow the latest plan handed over, shown or
                    // applied, not the values recognition latched.
                    const bool sample = drawNumberH.load(std::memory_order_acquire);
                    const bool box = drawZone.load(std::memory_order_acquire);
                    if (sample || box) {
                        const RunPlan shown = plans_.Latest();
                        if (sample) drawNumberHSample(frame, shown);
                        if (box) drawZoneBox(frame, shown);
                    }
                    cv::cvtColor(frame, frame, cv::COLOR_BGR2RGB);
                }

                std::snprintf(text, sizeof text, "Frame #%d: Time recognition: %.3f s", frameNumber,
                              static_cast<double>(seconds));

                FrameReport report;
                report.frameNumber = frameNumber;
                report.timestampMs = timestampMs;
                report.damageBefore = damageBefore;
                // A file's time of day: its creation time plus the frame's time.
                if (const auto created = source.creationTime()) {
                    report.wallTime = *created + std::chrono::duration_cast<std::chrono::system_clock::duration>(
                                                     std::chrono::duration<double, std::milli>(timestampMs));
                }
                // A stream's frames carry the moment they arrived.
                if (const auto arrived = source.arrivalTime()) report.wallTime = arrived;
                report.skippedBefore = source.skippedBeforeLast();
                if (drawImage) {
                    report.rgbImage = frame;
                    report.sourceImage = decoded;
                }
                report.logLine = text;
                report.recognitionSeconds = seconds;
                report.recognitionMs = preciseMs;
                report.voted = voted;
                report.readings = std::move(readings);
                report.engine = engine;
                report.zone = used;
                report.voteCode = voteCode;
                report.confirmed = std::move(confirmed);
                sink.OnFrame(report);
            }
        }
        // Run end: the vote buffer and the capture go first, then the flags.
        ResultVoteBuffer::destroy(buffer);
        source.release();
    }
    sink.OnRunEnd(opened);
}

}  // namespace kalvero
