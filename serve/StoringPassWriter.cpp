#include "serve/StoringPassWriter.h"

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "cli/PassFile.h"

namespace kalvero {

namespace {

TimeOfDay After(TimeOfDay start, double seconds) {
    return start + std::chrono::duration_cast<TimeOfDay::duration>(std::chrono::duration<double>(seconds));
}

}  // namespace

StoredPass ToStoredPass(const CarriagePass& pass, const CameraConfig& camera,
                        std::optional<TimeOfDay> readStart) {
    CarriagePass timed = pass;
    timed.file = ShownUrl(camera);
    if (readStart) {
        timed.startTime = After(*readStart, pass.startSeconds);
        timed.endTime = After(*readStart, pass.endSeconds);
    } else if (!timed.startTime || !timed.endTime) {
        // A stream's frames all carry their time of day; should one not,
        // the pass ends now.
        const TimeOfDay now = std::chrono::system_clock::now();
        timed.startTime = timed.startTime.value_or(now);
        timed.endTime = timed.endTime.value_or(now);
    }
    StoredPass stored;
    stored.camera = camera.name;
    stored.number = pass.number;
    stored.checkDigit = pass.checkDigit;
    stored.startTime = IsoUtc(*timed.startTime);
    stored.endTime = IsoUtc(*timed.endTime);
    stored.framesRead = pass.FramesRead();
    stored.direction = DirectionName(pass.direction);
    stored.bestScore = pass.bestScore;
    stored.bestFrame = pass.bestFrame;
    stored.scores = pass.scores;
    stored.record = PassFile::JsonRecord(timed);
    if (!pass.bestCrop.empty()) {
        cv::Mat bgr;
        cv::cvtColor(pass.bestCrop, bgr, cv::COLOR_RGB2BGR);
        cv::imencode(".png", bgr, stored.cropPng);
    }
    return stored;
}

bool StoringPassWriter::BeginInput(const InputStart& /*start*/) {
    if (camera_.isFile) {
        readStart_ = std::chrono::system_clock::now();
    }
    return true;
}

void StoringPassWriter::Frame(const FrameEvent& event) {
    const FrameReport& report = event.report;
    if (!receiving_) {
        receiving_ = true;
        if (!camera_.isFile) {
            say_("connected");
        }
    }
    board_.FrameRead(camera_.name, report.wallTime.value_or(std::chrono::system_clock::now()),
                     report.recognitionMs / 1000.0);
}

void StoringPassWriter::Pass(const CarriagePass& pass) {
    keep_(ToStoredPass(pass, camera_, readStart_));
}

void StoringPassWriter::LoopEnded(bool /*opened*/) {
    if (camera_.isFile) {
        return;
    }
    if (receiving_) {
        say_("disconnected");
    }
    receiving_ = false;
    board_.Connected(camera_.name, false, "the stream broke off or does not answer");
}

}  // namespace kalvero
