// The operator's aids drawn onto a frame: the zone check with its warning,
// the zone rectangle, the digit-height sample and PutText, which stretches a
// text over a rectangle and copies only its strokes.
#include "worker/FrameOverlays.h"

#include <algorithm>
#include <cstdint>
#include <limits>

#include <opencv2/imgproc.hpp>

#include "recognition_common/ClipRect.h"

namespace kalvero {

namespace {

// The zone's four values, widened so that their sums cannot overflow.
struct ZoneValues {
    std::int64_t x, y, w, h;
};

ZoneValues ReadZone(const RunPlan& plan) {
    return {plan.zone.x, plan.zone.y, plan.zone.width, plan.zone.height};
}

// The zone fits when its right and bottom edges are within the frame; the
// sums are formed in 64 bits so that huge typed values cannot wrap around.
bool ZoneWithin(const ZoneValues& zone, const cv::Mat& frame) {
    return zone.x + zone.w <= frame.cols && zone.y + zone.h <= frame.rows;
}

// Keeps drawing coordinates in a range the drawing functions handle.
int ClampCoordinate(std::int64_t value) {
    // OpenCV's drawing works in fixed point with a few fraction bits, so
    // coordinates near INT_MAX would overflow inside it; 2^24 is far beyond
    // any frame and far inside that range.
    constexpr std::int64_t kLimit = std::int64_t{1} << 24;
    return static_cast<int>(std::clamp(value, -kLimit, kLimit));
}

// The errors name the operation as the window and the logs know it: a
// member of the VideoThread block, whose overlays these are.
[[noreturn]] void FailPutText(const char* condition, int line) {
    throw cv::Exception(cv::Error::StsAssert, condition, "VideoThread::PutText", "VideoThread", line);
}

// Writes the warning for a zone that does not fit and makes all later text
// twice as large.
void WarnOutOfFrame(FrameOverlays& block, cv::Mat& frame) {
    block.fontScale.store(2.0);
    cv::putText(frame, "out of frame", cv::Point(frame.cols / 2, frame.rows / 2), block.fontFace, 2.0,
                cv::Scalar(0, 0, 255), block.thickness, cv::LINE_8);
}

}  // namespace

bool FrameOverlays::zoneWithin(const cv::Mat& frame, const RunPlan& plan) {
    return ZoneWithin(ReadZone(plan), frame);
}

bool FrameOverlays::zoneFits(cv::Mat& frame, const RunPlan& plan) {
    if (ZoneWithin(ReadZone(plan), frame)) return true;
    WarnOutOfFrame(*this, frame);
    return false;
}

void FrameOverlays::drawZoneBox(cv::Mat& frame, const RunPlan& plan) {
    const ZoneValues zone = ReadZone(plan);
    if (!ZoneWithin(zone, frame)) {
        WarnOutOfFrame(*this, frame);
        return;
    }
    cv::rectangle(frame, cv::Point(ClampCoordinate(zone.x), ClampCoordinate(zone.y)),
                  cv::Point(ClampCoordinate(zone.x + zone.w), ClampCoordinate(zone.y + zone.h)),
                  cv::Scalar(0, 255, 0), 2, cv::LINE_8);
}

void FrameOverlays::drawNumberHSample(cv::Mat& frame, const RunPlan& plan) {
    // Eight digits "5" of the configured height; 0.62 is the width-to-height
    // ratio of one digit.
    const int height = plan.numberH;
    const double width = height * 0.62 * 8;
    // A height that gives no area (or a width beyond int) has no sample.
    if (height <= 0 || !(width >= 1.0) || width >= static_cast<double>(std::numeric_limits<int>::max())) {
        return;
    }
    const int w = static_cast<int>(width);
    const double scale = fontScale.load();
    PutText(frame, "55555555", cv::Rect(101, 101, w, height), cv::Scalar(0, 128, 0), fontFace, scale,
            thickness, cv::LINE_8);
    PutText(frame, "55555555", cv::Rect(100, 100, w, height), cv::Scalar(0, 255, 0), fontFace, scale,
            thickness, cv::LINE_8);
}

void FrameOverlays::PutText(cv::Mat& img, const std::string& text, cv::Rect roi, cv::Scalar color,
                            int fontFace, double fontScale, int thickness, int /*lineType*/) {
    if (!(!img.empty() && (img.type() == CV_8UC3 || img.type() == CV_8UC1))) {
        FailPutText("!img.empty() && (img.type() == (((0) & ((1 << 3) - 1)) + (((3)-1) << 3)) || "
                    "img.type() == (((0) & ((1 << 3) - 1)) + (((1)-1) << 3)))",
                    161);
    }
    if (!(std::int64_t{roi.width} * roi.height > 0)) FailPutText("roi.area() > 0", 162);
    if (text.empty()) FailPutText("!text.empty()", 163);

    // Only the part of the rectangle inside the image can be written.
    const cv::Rect inside = ClipRect(roi, img.size());
    if (inside.empty()) return;

    int baseline = 0;
    const cv::Size textSize = cv::getTextSize(text, fontFace, fontScale, thickness, &baseline);
    baseline += thickness;
    if (textSize.width <= 0 || textSize.height + baseline <= 0) return;

    // The text alone on a scratch image whose background is the opposite of
    // the ink, so that the strokes can be told from it afterwards.
    cv::Mat scratch(textSize.height + baseline, textSize.width, img.type());
    const bool blackText = color[0] == 0.0 && color[1] == 0.0 && color[2] == 0.0 && color[3] == 0.0;
    scratch.setTo(cv::Scalar::all(blackText ? 255 : 0));
    cv::putText(scratch, text,
                cv::Point((scratch.cols - textSize.width) / 2, (scratch.rows + textSize.height - baseline) / 2),
                fontFace, fontScale, color, thickness, cv::LINE_8);

    // Stretch the text over the rectangle. When the rectangle reaches out of
    // the image only its visible part is computed, with the same mapping as
    // the full bilinear resize.
    cv::Mat fitted;
    if (inside == roi) {
        cv::resize(scratch, fitted, roi.size(), 0.0, 0.0, cv::INTER_LINEAR);
    } else {
        const double sx = static_cast<double>(roi.width) / scratch.cols;
        const double sy = static_cast<double>(roi.height) / scratch.rows;
        const double dx = static_cast<double>(inside.x) - roi.x;
        const double dy = static_cast<double>(inside.y) - roi.y;
        const cv::Matx23d toScratch(1.0 / sx, 0.0, (dx + 0.5) / sx - 0.5,  //
                                    0.0, 1.0 / sy, (dy + 0.5) / sy - 0.5);
        cv::warpAffine(scratch, fitted, toScratch, inside.size(), cv::INTER_LINEAR | cv::WARP_INVERSE_MAP,
                       cv::BORDER_REPLICATE);
    }

    // The mask keeps only the strokes: the darkest pixels of black text, the
    // brightest of any other colour.
    cv::Mat mask;
    if (fitted.channels() == 3) {
        cv::cvtColor(fitted, mask, cv::COLOR_BGR2GRAY);
    } else {
        mask = fitted.clone();  // the strokes keep their own value
    }
    cv::equalizeHist(mask, mask);
    if (blackText) {
        cv::threshold(mask, mask, 1, 255, cv::THRESH_BINARY_INV);
    } else {
        cv::threshold(mask, mask, 254, 255, cv::THRESH_BINARY);
    }
    cv::Mat target = img(inside);
    fitted.copyTo(target, mask);
}

}  // namespace kalvero
