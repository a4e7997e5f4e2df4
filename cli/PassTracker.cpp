#include "cli/PassTracker.h"

#include <algorithm>
#include <cmath>

#include <opencv2/imgproc.hpp>

#include "cli/ReadReport.h"
#include "recognition_common/CheckDigit.h"

namespace kalvero {

namespace {
// Rows kept above a number's box, in sixths of its height: a reader's box
// hugs the digits' tops.
constexpr int kCropTopSixths = 1;
}  // namespace

PassFrame PassFrameFrom(const FrameReport& report) {
    PassFrame frame;
    frame.frame = report.frameNumber;
    frame.seconds = report.timestampMs / 1000.0;
    frame.wallTime = report.wallTime;
    frame.damageBefore = ReadReport::SpanBefore(report);
    frame.text = report.voted;
    frame.image = report.sourceImage;
    frame.scaledSize = report.rgbImage.size();
    if (frame.text.empty()) {
        return frame;
    }
    for (const Reading& reading : report.readings) {
        if (frame.text == reading.text) {
            frame.box = reading.box + report.zone.tl();
            frame.score = reading.score;
            break;
        }
    }
    frame.confirmed = report.voteCode == 0 && report.confirmed == frame.text;
    return frame;
}

cv::Rect ToSourcePixels(const cv::Rect& box, cv::Size scaledSize, cv::Size sourceSize) {
    if (scaledSize.empty() || sourceSize.empty() || scaledSize == sourceSize) {
        return box;
    }
    const double sx = static_cast<double>(sourceSize.width) / scaledSize.width;
    const double sy = static_cast<double>(sourceSize.height) / scaledSize.height;
    const int left = static_cast<int>(std::floor(box.x * sx));
    const int top = static_cast<int>(std::floor(box.y * sy));
    const int right = static_cast<int>(std::ceil((box.x + box.width) * sx));
    const int bottom = static_cast<int>(std::ceil((box.y + box.height) * sy));
    return cv::Rect(left, top, right - left, bottom - top);
}

cv::Mat CutAround(const cv::Mat& image, const cv::Rect& box) {
    // Half a digit height on either side, a sixth above and a third below.
    const int side = box.height / 2;
    const int top = box.height * kCropTopSixths / 6;
    const cv::Rect grown(box.x - side, box.y - top, box.width + 2 * side, box.height + top + box.height / 3);
    const cv::Rect inside = grown & cv::Rect(0, 0, image.cols, image.rows);
    return inside.empty() ? cv::Mat() : image(inside).clone();
}

TravelDirection DirectionOf(const std::vector<std::pair<int, double>>& centres, double boxWidth) {
    if (centres.size() < 2) {
        return TravelDirection::None;
    }
    double meanF = 0.0, meanX = 0.0;
    for (const auto& [f, x] : centres) {
        meanF += f;
        meanX += x;
    }
    meanF /= static_cast<double>(centres.size());
    meanX /= static_cast<double>(centres.size());
    double sff = 0.0, sfx = 0.0;
    for (const auto& [f, x] : centres) {
        sff += (f - meanF) * (f - meanF);
        sfx += (f - meanF) * (x - meanX);
    }
    if (sff <= 0.0) {
        return TravelDirection::None;
    }
    const double travel = sfx / sff * (centres.back().first - centres.front().first);
    if (std::abs(travel) < PassTracker::kStillShare * boxWidth) {
        return TravelDirection::None;
    }
    return travel < 0.0 ? TravelDirection::Left : TravelDirection::Right;
}

PassTracker::PassTracker(std::string file, int depth) : file_(std::move(file)), depth_(depth) {}

std::vector<CarriagePass> PassTracker::Close(const std::vector<std::size_t>& which) {
    std::vector<CarriagePass> ended;
    std::vector<Track> kept;
    for (std::size_t i = 0; i < open_.size(); ++i) {
        if (std::find(which.begin(), which.end(), i) == which.end()) {
            kept.push_back(std::move(open_[i]));
            continue;
        }
        Track& track = open_[i];
        if (!track.confirmed) {
            continue;
        }
        track.pass.direction =
            DirectionOf(track.centres, static_cast<double>(track.pass.bestBox.width));
        ended.push_back(std::move(track.pass));
    }
    open_ = std::move(kept);
    std::sort(ended.begin(), ended.end(), [](const CarriagePass& a, const CarriagePass& b) {
        return a.firstFrame < b.firstFrame;
    });
    return ended;
}

std::vector<CarriagePass> PassTracker::AddFrame(const PassFrame& frame) {
    // Numbers not read for more than the vote depth have gone by.
    std::vector<std::size_t> gone;
    for (std::size_t i = 0; i < open_.size(); ++i) {
        if (frame.frame - open_[i].pass.lastFrame - 1 > depth_) {
            gone.push_back(i);
        }
    }
    std::vector<CarriagePass> ended = Close(gone);
    if (frame.damageBefore) gaps_.push_back(*frame.damageBefore);
    // Damage before the last frame of every open pass can fall in none.
    const auto earliest = std::min_element(open_.begin(), open_.end(), [](const Track& a, const Track& b) {
        return a.pass.lastFrame < b.pass.lastFrame;
    });
    const int keepFrom = earliest == open_.end() ? frame.frame : earliest->pass.lastFrame;
    gaps_.erase(std::remove_if(gaps_.begin(), gaps_.end(),
                               [&](const DamagedSpan& gap) { return gap.afterFrame < keepFrom; }),
                gaps_.end());
    if (frame.text.empty()) {
        return ended;
    }

    auto track = std::find_if(open_.begin(), open_.end(),
                              [&](const Track& t) { return t.pass.number == frame.text; });
    if (track == open_.end()) {
        Track fresh;
        fresh.pass.file = file_;
        fresh.pass.number = frame.text;
        fresh.pass.checkDigit = CheckDigitHolds(frame.text);
        fresh.pass.firstFrame = frame.frame;
        fresh.pass.startSeconds = frame.seconds;
        fresh.pass.startTime = frame.wallTime;
        open_.push_back(std::move(fresh));
        track = open_.end() - 1;
    }
    CarriagePass& pass = track->pass;
    if (pass.lastFrame > 0) {
        for (const DamagedSpan& gap : gaps_) {
            if (gap.afterFrame >= pass.lastFrame && gap.afterFrame < frame.frame) pass.damaged.push_back(gap);
        }
    }
    if (!pass.readFrames.empty() && pass.readFrames.back().second + 1 == frame.frame) {
        pass.readFrames.back().second = frame.frame;
    } else {
        pass.readFrames.emplace_back(frame.frame, frame.frame);
    }
    pass.lastFrame = frame.frame;
    pass.endSeconds = frame.seconds;
    pass.endTime = frame.wallTime;
    pass.scores.emplace_back(frame.frame, frame.score);
    if (pass.bestFrame == 0 || frame.score > pass.bestScore) {
        pass.bestScore = frame.score;
        pass.bestFrame = frame.frame;
        pass.bestBox = frame.box;
        pass.bestCrop = cv::Mat();
        if (!frame.image.empty()) {
            const cv::Mat cut =
                CutAround(frame.image, ToSourcePixels(frame.box, frame.scaledSize, frame.image.size()));
            if (!cut.empty()) {
                cv::cvtColor(cut, pass.bestCrop, cv::COLOR_BGR2RGB);
            }
        }
    }
    track->centres.emplace_back(frame.frame, frame.box.x + frame.box.width / 2.0);
    if (frame.confirmed) {
        if (!track->confirmed) {
            pass.firstConfirmedFrame = frame.frame;
        }
        track->confirmed = true;
        // Numbers last read before this one first was belong to carriages
        // that have gone by.
        std::vector<std::size_t> passed;
        const int since = pass.firstFrame;
        for (std::size_t i = 0; i < open_.size(); ++i) {
            if (open_[i].pass.number != frame.text && open_[i].pass.lastFrame < since) {
                passed.push_back(i);
            }
        }
        std::vector<CarriagePass> more = Close(passed);
        ended.insert(ended.end(), std::make_move_iterator(more.begin()),
                     std::make_move_iterator(more.end()));
    }
    return ended;
}

std::vector<CarriagePass> PassTracker::Finish() {
    std::vector<std::size_t> all;
    for (std::size_t i = 0; i < open_.size(); ++i) {
        all.push_back(i);
    }
    return Close(all);
}

}  // namespace kalvero
