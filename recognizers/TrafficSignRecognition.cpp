#include "recognizers/TrafficSignRecognition.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

#include <opencv2/imgproc.hpp>

#include "carriage_number/DigitClassifiers.h"
#include "detection/GlyphTemplateBank.h"
#include "recognition_common/ClipRect.h"

namespace kalvero {

namespace {

// Expected ink fraction per cell of the digits 0..9, 10 rows of 5 cells each.
constexpr std::array<ZoneGrid, 10> kDigitPrototypes = {{
    // 0
    ZoneGrid{{
        0.0f, 0.6f, 1.0f, 0.6f, 0.0f,
        0.2f, 0.6f, 0.2f, 0.6f, 0.2f,
        0.6f, 0.6f, 0.0f, 0.6f, 0.6f,
        0.8f, 0.4f, 0.0f, 0.4f, 0.8f,
        1.0f, 0.2f, 0.0f, 0.2f, 1.0f,
        1.0f, 0.2f, 0.0f, 0.2f, 1.0f,
        0.8f, 0.4f, 0.0f, 0.4f, 0.8f,
        0.6f, 0.6f, 0.0f, 0.6f, 0.6f,
        0.2f, 0.6f, 0.2f, 0.6f, 0.2f,
        0.0f, 0.6f, 1.0f, 0.6f, 0.0f
    }},
    // 1
    ZoneGrid{{
        0.0f, 0.0f, 1.0f, 1.0f, 1.0f,
        0.6f, 1.0f, 1.0f, 1.0f, 1.0f,
        0.8f, 0.4f, 0.8f, 1.0f, 1.0f,
        0.0f, 0.0f, 0.5f, 1.0f, 1.0f,
        0.0f, 0.0f, 0.5f, 1.0f, 1.0f,
        0.0f, 0.0f, 0.5f, 1.0f, 1.0f,
        0.0f, 0.0f, 0.5f, 1.0f, 1.0f,
        0.0f, 0.0f, 0.5f, 1.0f, 1.0f,
        0.0f, 0.0f, 0.5f, 1.0f, 1.0f,
        0.0f, 0.0f, 0.5f, 1.0f, 1.0f
    }},
    // 2
    ZoneGrid{{
        0.2f, 1.0f, 1.0f, 1.0f, 0.2f,
        1.0f, 1.0f, 0.5f, 1.0f, 0.8f,
        0.2f, 0.2f, 0.0f, 0.8f, 1.0f,
        0.0f, 0.0f, 0.0f, 1.0f, 1.0f,
        0.0f, 0.0f, 0.5f, 1.0f, 0.5f,
        0.0f, 0.0f, 1.0f, 1.0f, 0.0f,
        0.0f, 0.5f, 1.0f, 0.2f, 0.0f,
        0.5f, 1.0f, 0.8f, 0.0f, 0.0f,
        1.0f, 1.0f, 1.0f, 1.0f, 1.0f,
        1.0f, 1.0f, 1.0f, 1.0f, 1.0f
    }},
    // 3
    ZoneGrid{{
        0.2f, 1.0f, 1.0f, 0.8f, 0.0f,
        1.0f, 1.0f, 0.8f, 1.0f, 0.5f,
        0.1f, 0.1f, 0.0f, 1.0f, 0.5f,
        0.0f, 0.0f, 0.4f, 1.0f, 0.5f,
        0.0f, 0.5f, 1.0f, 1.0f, 0.0f,
        0.0f, 0.2f, 0.8f, 1.0f, 0.8f,
        0.0f, 0.0f, 0.0f, 0.8f, 1.0f,
        0.0f, 0.0f, 0.2f, 0.8f, 1.0f,
        1.0f, 0.5f, 0.6f, 1.0f, 0.8f,
        0.8f, 1.0f, 1.0f, 0.4f, 0.0f
    }},
    // 4
    ZoneGrid{{
        0.0f, 0.0f, 0.0f, 1.0f, 0.4f,
        0.0f, 0.0f, 0.5f, 1.0f, 0.4f,
        0.0f, 0.2f, 1.0f, 1.0f, 0.4f,
        0.0f, 0.8f, 0.8f, 1.0f, 0.4f,
        0.0f, 1.0f, 0.5f, 1.0f, 0.4f,
        0.2f, 1.0f, 0.0f, 1.0f, 0.4f,
        0.8f, 1.0f, 0.5f, 1.0f, 0.8f,
        1.0f, 1.0f, 1.0f, 1.0f, 1.0f,
        0.2f, 0.5f, 0.5f, 1.0f, 0.4f,
        0.0f, 0.0f, 0.0f, 1.0f, 0.4f
    }},
    // 5
    ZoneGrid{{
        1.0f, 1.0f, 1.0f, 1.0f, 0.5f,
        1.0f, 1.0f, 1.0f, 1.0f, 0.3f,
        1.0f, 0.5f, 0.0f, 0.0f, 0.0f,
        1.0f, 0.8f, 1.0f, 0.8f, 0.0f,
        1.0f, 1.0f, 1.0f, 1.0f, 0.5f,
        0.1f, 0.1f, 0.0f, 1.0f, 1.0f,
        0.0f, 0.0f, 0.0f, 1.0f, 1.0f,
        0.1f, 0.0f, 0.2f, 1.0f, 1.0f,
        1.0f, 1.0f, 1.0f, 1.0f, 0.5f,
        0.8f, 1.0f, 1.0f, 0.8f, 0.0f
    }},
    // 6
    ZoneGrid{{
        0.0f, 0.2f, 1.0f, 1.0f, 0.5f,
        0.5f, 1.0f, 0.8f, 0.5f, 0.5f,
        0.8f, 1.0f, 0.0f, 0.0f, 0.0f,
        1.0f, 0.5f, 0.2f, 0.2f, 0.0f,
        1.0f, 1.0f, 1.0f, 1.0f, 0.5f,
        1.0f, 1.0f, 0.5f, 0.8f, 1.0f,
        1.0f, 0.5f, 0.0f, 0.5f, 1.0f,
        1.0f, 0.8f, 0.0f, 0.8f, 1.0f,
        0.2f, 1.0f, 1.0f, 1.0f, 0.8f,
        0.0f, 0.8f, 1.0f, 1.0f, 0.2f
    }},
    // 7
    ZoneGrid{{
        1.0f, 1.0f, 1.0f, 1.0f, 1.0f,
        1.0f, 1.0f, 1.0f, 1.0f, 1.0f,
        0.0f, 0.0f, 0.0f, 1.0f, 0.8f,
        0.0f, 0.0f, 0.8f, 1.0f, 0.2f,
        0.0f, 0.2f, 1.0f, 0.8f, 0.0f,
        0.0f, 0.4f, 1.0f, 0.6f, 0.0f,
        0.0f, 0.6f, 1.0f, 0.4f, 0.0f,
        0.0f, 0.8f, 1.0f, 0.2f, 0.0f,
        0.0f, 1.0f, 1.0f, 0.0f, 0.0f,
        0.5f, 1.0f, 0.5f, 0.0f, 0.0f
    }},
    // 8
    ZoneGrid{{
        0.2f, 1.0f, 1.0f, 1.0f, 0.2f,
        0.8f, 1.0f, 0.8f, 1.0f, 0.8f,
        1.0f, 0.8f, 0.0f, 0.8f, 1.0f,
        0.8f, 0.8f, 0.0f, 0.8f, 0.8f,
        0.2f, 1.0f, 1.0f, 1.0f, 0.2f,
        0.2f, 1.0f, 1.0f, 1.0f, 0.2f,
        0.8f, 0.8f, 0.0f, 0.8f, 0.8f,
        1.0f, 0.5f, 0.0f, 0.5f, 1.0f,
        0.8f, 0.8f, 0.8f, 0.8f, 0.8f,
        0.2f, 1.0f, 1.0f, 1.0f, 0.2f
    }},
    // 9
    ZoneGrid{{
        0.2f, 1.0f, 1.0f, 0.8f, 0.0f,
        0.8f, 1.0f, 0.9f, 1.0f, 0.8f,
        1.0f, 0.8f, 0.0f, 0.8f, 1.0f,
        1.0f, 0.5f, 0.0f, 0.5f, 1.0f,
        1.0f, 0.8f, 0.5f, 0.8f, 1.0f,
        0.6f, 1.0f, 1.0f, 1.0f, 1.0f,
        0.0f, 0.0f, 0.0f, 0.8f, 1.0f,
        0.1f, 0.0f, 0.0f, 1.0f, 0.8f,
        1.0f, 0.8f, 1.0f, 1.0f, 0.2f,
        0.8f, 1.0f, 1.0f, 0.5f, 0.0f
    }},
}};

std::int32_t ClampToInt32(std::int64_t v) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(
        v, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

bool IsSpeedValue(std::int32_t value) {
    return std::find(std::begin(TrafficSignRecognition::kSpeedValues),
                     std::end(TrafficSignRecognition::kSpeedValues),
                     value) != std::end(TrafficSignRecognition::kSpeedValues);
}

}  // namespace

TrafficSignRecognition::TrafficSignRecognition(std::int32_t count, const std::int32_t* list)
    : RecognitionClass(count, list) {
    for (std::int32_t code : codes) {
        if (std::find(std::begin(kSignCodeTable), std::end(kSignCodeTable), code) !=
            std::end(kSignCodeTable))
            signCodes.push_back(code);
    }
}

bool TrafficSignRecognition::AdmitsRegion(std::int32_t signCode, const CandidateRegion& region) {
    return signCode == kSignTypeCode && region.typeCode == kSignTypeCode;
}

bool TrafficSignRecognition::Recognize(const GlyphTemplateBank& bank, const CandidateRegion& region) {
    for (std::int32_t code : signCodes) {
        if (!AdmitsRegion(code, region))
            continue;
        ReadSign(bank, region);
        if (status >= 0)
            break;
    }
    if (status < 0)
        return false;
    text = std::to_string(status);
    return true;
}

void TrafficSignRecognition::ReadSign(const GlyphTemplateBank& bank, CandidateRegion region) {
    status = -1;
    const cv::Mat& grey = bank.greyImage;
    if (grey.empty() || grey.type() != CV_8UC1)
        return;

    // Inner part of the region, without the ring of the sign; a region
    // reaching past the image is read on the part inside it.
    const cv::Rect inset = InsetRect(cv::Rect(region.x, region.y, region.width, region.height),
                                     kInsetFraction);
    if (inset.width <= 0 || inset.height <= 0)
        return;
    const cv::Rect inner = ClipRect(inset, grey.size());
    if (inner.empty())
        return;
    const cv::Mat view = grey(inner);

    // Dark strokes become foreground.
    const std::int32_t bin = OtsuBin(view, kHistogramBins);
    const int threshold = bin < 0 ? 128 : 4 * bin;
    cv::Mat binary;
    cv::threshold(view, binary, threshold, 255, cv::THRESH_BINARY_INV);

    cv::Rect boxes[2];
    const int count = FindDigitBlobs(binary, boxes);
    if (count != 1 && count != 2)
        return;
    if (count == 2 && boxes[0].x > boxes[1].x)
        std::swap(boxes[0], boxes[1]);

    ZoneGrid grids[2];
    for (int i = 0; i < count; ++i)
        grids[i] = ComputeZoneGrid(binary, boxes[i]);
    const SpeedReading reading = ReadSpeedValue(grids, count);
    if (reading.value < 0)
        return;

    glyphScoreCount = reading.glyphScoreCount;
    for (int i = 0; i < reading.glyphScoreCount; ++i)
        glyphScores[i] = reading.glyphScores[i];
    rankValue = reading.rankValue;
    status = reading.value;
}

cv::Rect TrafficSignRecognition::InsetRect(const cv::Rect& r, double f) {
    if (f < 0.01 || f > 0.49)
        return r;
    const std::int64_t x = std::int64_t{r.x} + static_cast<std::int64_t>(std::trunc(r.width * f));
    const std::int64_t y = std::int64_t{r.y} + static_cast<std::int64_t>(std::trunc(r.height * f));
    const double keep = 1.0 - 2.0 * f;
    return cv::Rect(ClampToInt32(x), ClampToInt32(y),
                    static_cast<int>(std::trunc(keep * r.width)),
                    static_cast<int>(std::trunc(keep * r.height)));
}

std::int32_t TrafficSignRecognition::OtsuBin(const cv::Mat& image, int n) {
    if (image.empty() || image.type() != CV_8UC1 || n < 8 || n > 256)
        return -1;

    cv::Mat hist;
    const int channels[] = {0};
    const int sizes[] = {n};
    const float range[] = {0.0f, 256.0f};
    const float* ranges[] = {range};
    cv::calcHist(&image, 1, channels, cv::noArray(), hist, 1, sizes, ranges, true, false);

    std::vector<std::int64_t> counts(static_cast<std::size_t>(n));
    std::int64_t total = 0;
    std::int64_t weighted = 0;
    for (int k = 0; k < n; ++k) {
        counts[k] = static_cast<std::int64_t>(std::llround(hist.at<float>(k)));
        total += counts[k];
        weighted += k * counts[k];
    }

    float best = -1.0f;
    std::int32_t result = 0;
    std::int64_t c0 = 0;
    std::int64_t s0 = 0;
    for (int k = 0; k < n; ++k) {
        c0 += counts[k];
        s0 += k * counts[k];
        const float q = static_cast<float>(c0) / static_cast<float>(total);
        const float m0 = c0 > 0 ? static_cast<float>(s0) / static_cast<float>(c0) : 0.0f;
        const float m1 = total - c0 > 0
                             ? static_cast<float>(weighted - s0) / static_cast<float>(total - c0)
                             : 0.0f;
        const float v = (1.0f - q) * q * (m0 - m1) * (m0 - m1);
        if (v > best) {
            best = v;
            result = k;
        }
    }
    return result;
}

int TrafficSignRecognition::ClassifyGlyph(const ZoneGrid& grid, float distances[10]) {
    int best = 0;
    for (int i = 0; i < 10; ++i) {
        float sum = 0.0f;
        for (std::size_t cell = 0; cell < grid.size(); ++cell)
            sum += std::fabs(grid[cell] - kDigitPrototypes[i][cell]);
        distances[i] = sum / 50.0f;
        if (distances[i] < distances[best])
            best = i;
    }
    return best;
}

int TrafficSignRecognition::FindDigitBlobs(const cv::Mat& binary, cv::Rect boxes[2]) {
    if (binary.empty())
        return 0;
    cv::Mat work = binary.clone();
    std::vector<std::vector<cv::Point>> contours;
    std::vector<cv::Vec4i> hierarchy;
    cv::findContours(work, contours, hierarchy, cv::RETR_TREE, cv::CHAIN_APPROX_SIMPLE, cv::Point(0, 0));

    const double minWidth = 0.1 * binary.cols;
    const double maxWidth = 0.5 * binary.cols;
    const double minHeight = 0.4 * binary.rows;
    const double maxHeight = 0.9 * binary.rows;
    int count = 0;
    for (std::size_t i = 0; i < contours.size(); ++i) {
        if (hierarchy[i][3] != -1)
            continue;
        const cv::Rect box = cv::boundingRect(contours[i]);
        if (box.width < minWidth || box.width > maxWidth || box.height < minHeight ||
            box.height > maxHeight)
            continue;
        if (count < 2)
            boxes[count] = box;
        if (++count == 3)
            break;
    }
    return count;
}

SpeedReading TrafficSignRecognition::ReadSpeedValue(const ZoneGrid* grids, int count) {
    SpeedReading reading;
    if (count != 1 && count != 2)
        return reading;

    float distances[2][10];
    int digits[2] = {0, 0};
    std::int32_t value = 0;
    bool tooFar = false;
    for (int i = 0; i < count; ++i) {
        digits[i] = ClassifyGlyph(grids[i], distances[i]);
        value = value * 10 + digits[i];
        if (distances[i][digits[i]] > kMaxGlyphDistance)
            tooFar = true;
    }
    if (tooFar || !IsSpeedValue(value))
        return reading;

    reading.value = value;
    reading.glyphScoreCount = count;
    for (int i = 0; i < count; ++i)
        reading.glyphScores[i] = 1.0f - distances[i][digits[i]];
    reading.rankValue = count == 1 ? reading.glyphScores[0]
                                   : (reading.glyphScores[0] + reading.glyphScores[1]) * 0.5f;
    return reading;
}

const ZoneGrid& TrafficSignRecognition::DigitPrototype(int digit) {
    return kDigitPrototypes.at(static_cast<std::size_t>(digit));
}

}  // namespace kalvero
