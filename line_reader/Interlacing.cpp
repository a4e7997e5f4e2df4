#include "line_reader/Interlacing.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include <opencv2/imgproc.hpp>

namespace kalvero {

namespace {

// Samples looked at: about 240 positions across a line and 540 lines (every
// eighth pixel of every other line of a 1080p frame, every second pixel of
// a small one), plenty to see combs over a carriage, in about 0.3 ms
// whatever the frame's size.
constexpr int kAcrossSamples = 240;
constexpr int kLineSamples = 540;
constexpr int kMinStep = 2;
// How much a row (or column) stands out from the two beside it: twice its
// value less theirs, each the sum of three pixels along it, which calms
// sensor noise but not a comb; in grey levels times three.
constexpr int kStandOut = 3 * 24;
// Least share of the rows standing out that start three alternations, and
// how much more often than the columns they must: 8 % more and half a
// point, beyond what strong noise gives by chance (its shares differ by up
// to 3 % of themselves).
constexpr double kMinRowCombs = 0.10;
constexpr double kCombRatio = 1.08;
constexpr double kCombExcess = 0.005;
// Fewer rows standing out than this tell nothing either way.
constexpr long kMinStandingOut = 300;

// Samples of an 8-bit grey or BGR image (the green of BGR), read straight
// from its buffer.
class Samples {
public:
    explicit Samples(const cv::Mat& image)
        : data_(image.data), step_(image.step[0]), channels_(image.channels()), offset_(image.channels() == 1 ? 0 : 1) {}
    int At(int y, int x) const {
        return data_[static_cast<std::size_t>(y) * step_ + static_cast<std::size_t>(x * channels_ + offset_)];
    }

private:
    const std::uint8_t* data_;
    std::size_t step_;
    int channels_;
    int offset_;
};

struct Alternation {
    long standing = 0;  // lines standing out
    long combs = 0;     // of them, the first of three alternating
    double Share() const { return standing > 0 ? static_cast<double>(combs) / standing : 0.0; }
};

// Rows standing out from the rows above and below, when `Rows` is true;
// columns from the columns left and right otherwise.
template <bool Rows>
Alternation Alternations(const cv::Mat& image) {
    // u across the lines looked at, v along them.
    const int lines = Rows ? image.rows : image.cols;
    const int length = Rows ? image.cols : image.rows;
    const Samples samples(image);
    const auto sample = [&](int u, int v) { return Rows ? samples.At(u, v) : samples.At(v, u); };
    const auto along = [&](int u, int v) { return sample(u, v - 1) + sample(u, v) + sample(u, v + 1); };
    const auto standOut = [&](int u, int v) { return 2 * along(u, v) - along(u - 1, v) - along(u + 1, v); };
    const int lineStep = std::max(kMinStep, lines / kLineSamples);
    const int sampleStep = std::max(kMinStep, length / kAcrossSamples);
    Alternation result;
    const auto look = [&](int u, int v) {
        const int first = standOut(u, v);
        if (std::abs(first) < kStandOut) return;
        ++result.standing;
        const int second = standOut(u + 1, v);
        const int third = standOut(u + 2, v);
        const bool alternates = first > 0 ? (second <= -kStandOut && third >= kStandOut)
                                          : (second >= kStandOut && third <= -kStandOut);
        if (alternates) ++result.combs;
    };
    // The same samples either way; columns are visited a row of samples at
    // a time, so that reads go along the image's rows (down the columns of
    // a 4K frame every read missed the cache).
    if (Rows) {
        for (int u = 1; u + 3 < lines; u += lineStep) {
            for (int v = 1; v + 1 < length; v += sampleStep) look(u, v);
        }
    } else {
        for (int v = 1; v + 1 < length; v += sampleStep) {
            for (int u = 1; u + 3 < lines; u += lineStep) look(u, v);
        }
    }
    return result;
}

}  // namespace

bool MayBeInterlaced(const cv::Mat& image) {
    if (image.empty() || image.dims != 2 || image.rows < 5 || image.cols < 5 ||
        (image.type() != CV_8UC1 && image.type() != CV_8UC3)) {
        return false;
    }
    const Alternation rows = Alternations<true>(image);
    if (rows.standing < kMinStandingOut || rows.Share() < kMinRowCombs) return false;
    return rows.Share() > kCombRatio * Alternations<false>(image).Share() + kCombExcess;
}

cv::Mat FirstField(const cv::Mat& image) {
    cv::Mat field = image.clone();
    for (int y = 1; y < field.rows; y += 2) {
        if (y + 1 < field.rows) {
            cv::addWeighted(image.row(y - 1), 0.5, image.row(y + 1), 0.5, 0.0, field.row(y));
        } else {
            image.row(y - 1).copyTo(field.row(y));
        }
    }
    return field;
}

}  // namespace kalvero
