// The reader: makes the engine's zone reader once and reads each frame handed
// in the way the run loop reads a frame of a file.
#include "Reader.h"

#include <new>

#include "Errors.h"
#include "ImageView.h"
#include "cli/BoxText.h"
#include "recognition_common/CheckDigit.h"
#include "recognition_common/ClipRect.h"
#include "worker/RunPlan.h"
#include "worker/ZoneReaders.h"

namespace kalvero::sdk {

namespace {

// The text a frame gives to the vote: the best reading, or under the
// check-digit rule the best one whose check digit holds (the run loop's
// VoteText).
std::string VotedText(const std::vector<Reading>& readings, bool checkDigitVote) {
    for (const Reading& reading : readings) {
        if (!checkDigitVote || CheckDigitHolds(reading.text)) return reading.text;
    }
    return std::string();
}

// Holds the reader's busy flag for one call; `entered` is false when
// another thread holds it.
class BusyGuard {
public:
    explicit BusyGuard(kalvero_reader& reader) : reader_(reader) {
        bool expected = false;
        entered_ = reader_.busy.compare_exchange_strong(expected, true, std::memory_order_acquire);
    }
    ~BusyGuard() {
        if (entered_) reader_.busy.store(false, std::memory_order_release);
    }
    BusyGuard(const BusyGuard&) = delete;
    BusyGuard& operator=(const BusyGuard&) = delete;
    bool entered() const { return entered_; }

private:
    kalvero_reader& reader_;
    bool entered_ = false;
};

int Busy(const char* function) {
    return Fail(KALVERO_E_BUSY, std::string(function) +
                                    ": the reader is in use by another thread (one reader per thread)");
}

}  // namespace

void StartSequence(kalvero_reader& reader) {
    reader.vote = ResultVoteBuffer::create(reader.options.depth, reader.options.threshold);
    reader.streaks = std::make_unique<StreakConfirmation>(reader.options.confirmFrames, reader.checkDigitVote);
    reader.tracker = std::make_unique<PassTracker>(std::string(), reader.options.depth);
    reader.frameNumber = 0;
}

int ReadNextFrame(kalvero_reader& reader, const cv::Mat& frame, double timestampSeconds, kalvero_frame& result) {
    // A stream's zone is the whole of any frame; a file's must fit it (the
    // run loop's fit test: the far edges inside the frame).
    cv::Rect zone(0, 0, frame.cols, frame.rows);
    if (reader.options.hasZone) {
        zone = reader.options.zone;
        if (zone.x + zone.width > frame.cols || zone.y + zone.height > frame.rows) {
            return Fail(KALVERO_E_ZONE, "zone " + BoxText(zone) + " does not fit the frame (" +
                                            std::to_string(frame.cols) + "x" + std::to_string(frame.rows) + ")");
        }
    }
    const cv::Rect used = ClipRect(zone, frame.size());
    const cv::Mat zoneView = used.empty() ? cv::Mat() : frame(used);

    FrameReport report;
    report.frameNumber = reader.frameNumber + 1;
    report.timestampMs = timestampSeconds * 1000.0;
    report.readings = reader.zoneReader->Read(zoneView, reader.digitHeight);
    report.engine = reader.zoneReader->engine();
    report.zone = used;
    report.voted = reader.checkDigitVote
                       ? VotedText(report.readings, true)
                       : (report.readings.empty() ? std::string() : report.readings.front().text);
    char banner[ResultVoteBuffer::kSlotSize + 1] = {};
    std::int32_t capacity = ResultVoteBuffer::kSlotSize;
    if (reader.vote) {
        report.voteCode = reader.vote->vote(report.voted.data(), static_cast<std::int32_t>(report.voted.size()),
                                            banner, capacity);
    }
    if (report.voteCode == 0) report.confirmed.assign(banner, static_cast<std::size_t>(capacity));
    const std::string streak =
        report.engine == RecognitionEngine::Learned ? reader.streaks->Take(report.readings) : std::string();
    if (report.voteCode != 0 && !streak.empty()) {
        report.voteCode = 0;
        report.confirmed = streak;
    }

    result = FrameFrom(report);
    for (const CarriagePass& pass : reader.tracker->AddFrame(PassFrameFrom(report))) {
        result.passes.push_back(PassFrom(pass));
    }
    ++reader.frameNumber;
    return KALVERO_OK;
}

}  // namespace kalvero::sdk

using kalvero::sdk::Fail;

extern "C" {

kalvero_reader* kalvero_reader_new(const kalvero_options* options) {
    kalvero_reader* made = nullptr;
    const int status = kalvero::sdk::Guarded([&]() -> int {
        auto reader = std::make_unique<kalvero_reader>();
        if (options != nullptr) reader->options = *options;
        const int checked = kalvero::sdk::CheckOptions(reader->options);
        if (checked != KALVERO_OK) return checked;
        kalvero::RunPlan plan;
        plan.engine = reader->options.engine;
        plan.learnedCheckDigitVote = reader->options.checkDigit;
        reader->checkDigitVote = kalvero::CheckDigitVoteFor(plan, plan.engine);
        reader->digitHeight = kalvero::sdk::EngineDigitHeight(reader->options);
        kalvero::ZoneReaderChoice choice;
        choice.engine = plan.engine;
        choice.learnedRequiresCheckDigit = kalvero::CheckDigitVoteFor(plan, kalvero::RecognitionEngine::Learned);
        if (choice.engine == kalvero::RecognitionEngine::Learned) {
            std::string error;
            reader->network = kalvero::LineReader::Create(error);
            if (!reader->network) return Fail(KALVERO_E_MODEL, "the learned engine cannot be loaded: " + error);
        }
        reader->zoneReader = kalvero::MakeZoneReader(choice, reader->network.get());
        kalvero::sdk::StartSequence(*reader);
        made = reader.release();
        return KALVERO_OK;
    });
    if (status == KALVERO_OK) kalvero::sdk::ClearError();
    return made;
}

void kalvero_reader_free(kalvero_reader* reader) { delete reader; }

int kalvero_read_frame(kalvero_reader* reader, const kalvero_image* image, double timestamp_s, kalvero_frame** out) {
    if (out != nullptr) *out = nullptr;
    if (reader == nullptr) return Fail(KALVERO_E_INVALID_ARGUMENT, "kalvero_read_frame: reader is NULL");
    if (image == nullptr) return Fail(KALVERO_E_INVALID_ARGUMENT, "kalvero_read_frame: image is NULL");
    if (out == nullptr) return Fail(KALVERO_E_INVALID_ARGUMENT, "kalvero_read_frame: out is NULL");
    kalvero::sdk::BusyGuard guard(*reader);
    if (!guard.entered()) return kalvero::sdk::Busy("kalvero_read_frame");
    const int status = kalvero::sdk::Guarded([&]() -> int {
        cv::Mat storage;
        cv::Mat frame;
        const int converted = kalvero::sdk::FrameOfImage(*image, storage, frame);
        if (converted != KALVERO_OK) return converted;
        auto result = std::make_unique<kalvero_frame>();
        const int read = kalvero::sdk::ReadNextFrame(*reader, frame, timestamp_s, *result);
        if (read != KALVERO_OK) return read;
        *out = result.release();
        return KALVERO_OK;
    });
    if (status == KALVERO_OK) kalvero::sdk::ClearError();
    return status;
}

int kalvero_reader_finish(kalvero_reader* reader, kalvero_frame** out) {
    if (out != nullptr) *out = nullptr;
    if (reader == nullptr) return Fail(KALVERO_E_INVALID_ARGUMENT, "kalvero_reader_finish: reader is NULL");
    if (out == nullptr) return Fail(KALVERO_E_INVALID_ARGUMENT, "kalvero_reader_finish: out is NULL");
    kalvero::sdk::BusyGuard guard(*reader);
    if (!guard.entered()) return kalvero::sdk::Busy("kalvero_reader_finish");
    const int status = kalvero::sdk::Guarded([&]() -> int {
        auto result = std::make_unique<kalvero_frame>();
        for (const kalvero::CarriagePass& pass : reader->tracker->Finish()) {
            result->passes.push_back(kalvero::sdk::PassFrom(pass));
        }
        kalvero::sdk::StartSequence(*reader);
        *out = result.release();
        return KALVERO_OK;
    });
    if (status == KALVERO_OK) kalvero::sdk::ClearError();
    return status;
}

}  // extern "C"
