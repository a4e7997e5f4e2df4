// Frame results and passes: conversion from the run loop's records and the
// accessors of the C interface, which answer a NULL handle or an index out
// of range with an empty value rather than a crash.
#include "FrameResult.h"

#include "recognition_common/CheckDigit.h"

namespace kalvero::sdk {

namespace {

kalvero_box BoxOf(const cv::Rect& rect) { return kalvero_box{rect.x, rect.y, rect.width, rect.height}; }

}  // namespace

kalvero_frame FrameFrom(const FrameReport& report) {
    kalvero_frame frame;
    frame.number = report.frameNumber;
    frame.timestampSeconds = report.timestampMs / 1000.0;
    frame.readings.reserve(report.readings.size());
    for (const Reading& reading : report.readings) {
        kalvero_frame_reading out;
        out.text = reading.text;
        out.box = BoxOf(reading.box + report.zone.tl());
        out.score = reading.score;
        out.digitScores = reading.digitScores;
        out.checkDigit = CheckDigitHolds(reading.text);
        frame.readings.push_back(std::move(out));
    }
    frame.hasConfirmed = report.voteCode == 0 && !report.confirmed.empty();
    if (frame.hasConfirmed) frame.confirmed = report.confirmed;
    return frame;
}

kalvero_pass PassFrom(const CarriagePass& pass) {
    kalvero_pass out;
    out.number = pass.number;
    out.checkDigit = pass.checkDigit;
    out.firstFrame = pass.firstFrame;
    out.lastFrame = pass.lastFrame;
    out.startSeconds = pass.startSeconds;
    out.endSeconds = pass.endSeconds;
    out.bestScore = pass.bestScore;
    out.bestBox = BoxOf(pass.bestBox);
    out.direction = DirectionName(pass.direction);
    return out;
}

}  // namespace kalvero::sdk

namespace {

const kalvero_frame_reading* ReadingAt(const kalvero_frame* frame, int index) {
    if (frame == nullptr || index < 0 || static_cast<std::size_t>(index) >= frame->readings.size()) return nullptr;
    return &frame->readings[static_cast<std::size_t>(index)];
}

}  // namespace

extern "C" {

void kalvero_frame_free(kalvero_frame* frame) { delete frame; }

int kalvero_frame_number(const kalvero_frame* frame) { return frame != nullptr ? frame->number : 0; }

double kalvero_frame_timestamp(const kalvero_frame* frame) {
    return frame != nullptr ? frame->timestampSeconds : 0.0;
}

const char* kalvero_frame_confirmed(const kalvero_frame* frame) {
    return frame != nullptr && frame->hasConfirmed ? frame->confirmed.c_str() : nullptr;
}

int kalvero_frame_reading_count(const kalvero_frame* frame) {
    return frame != nullptr ? static_cast<int>(frame->readings.size()) : 0;
}

const char* kalvero_frame_reading_text(const kalvero_frame* frame, int index) {
    const kalvero_frame_reading* reading = ReadingAt(frame, index);
    return reading != nullptr ? reading->text.c_str() : "";
}

kalvero_box kalvero_frame_reading_box(const kalvero_frame* frame, int index) {
    const kalvero_frame_reading* reading = ReadingAt(frame, index);
    return reading != nullptr ? reading->box : kalvero_box{0, 0, 0, 0};
}

float kalvero_frame_reading_score(const kalvero_frame* frame, int index) {
    const kalvero_frame_reading* reading = ReadingAt(frame, index);
    return reading != nullptr ? reading->score : 0.0f;
}

int kalvero_frame_reading_digit_scores(const kalvero_frame* frame, int index, const float** scores) {
    const kalvero_frame_reading* reading = ReadingAt(frame, index);
    const bool any = reading != nullptr && !reading->digitScores.empty();
    if (scores != nullptr) *scores = any ? reading->digitScores.data() : nullptr;
    return any ? static_cast<int>(reading->digitScores.size()) : 0;
}

int kalvero_frame_reading_check_digit(const kalvero_frame* frame, int index) {
    const kalvero_frame_reading* reading = ReadingAt(frame, index);
    return reading != nullptr && reading->checkDigit ? 1 : 0;
}

int kalvero_frame_pass_count(const kalvero_frame* frame) {
    return frame != nullptr ? static_cast<int>(frame->passes.size()) : 0;
}

const kalvero_pass* kalvero_frame_pass(const kalvero_frame* frame, int index) {
    if (frame == nullptr || index < 0 || static_cast<std::size_t>(index) >= frame->passes.size()) return nullptr;
    return &frame->passes[static_cast<std::size_t>(index)];
}

const char* kalvero_pass_number(const kalvero_pass* pass) { return pass != nullptr ? pass->number.c_str() : ""; }
int kalvero_pass_check_digit(const kalvero_pass* pass) { return pass != nullptr && pass->checkDigit ? 1 : 0; }
int kalvero_pass_first_frame(const kalvero_pass* pass) { return pass != nullptr ? pass->firstFrame : 0; }
int kalvero_pass_last_frame(const kalvero_pass* pass) { return pass != nullptr ? pass->lastFrame : 0; }
double kalvero_pass_start_time(const kalvero_pass* pass) { return pass != nullptr ? pass->startSeconds : 0.0; }
double kalvero_pass_end_time(const kalvero_pass* pass) { return pass != nullptr ? pass->endSeconds : 0.0; }
float kalvero_pass_best_score(const kalvero_pass* pass) { return pass != nullptr ? pass->bestScore : 0.0f; }
kalvero_box kalvero_pass_best_box(const kalvero_pass* pass) {
    return pass != nullptr ? pass->bestBox : kalvero_box{0, 0, 0, 0};
}
const char* kalvero_pass_direction(const kalvero_pass* pass) { return pass != nullptr ? pass->direction : "none"; }

}  // extern "C"
