#include "line_reader/BlendedFields.h"

#include <algorithm>
#include <cmath>

#include <opencv2/imgproc.hpp>

#include "line_reader/GreyImage.h"

namespace kalvero {

namespace {

// The copy searched for the repeat is halved (by area) until it is no wider
// than this: the shifts of digits 20 pixels high or more at 640 x 360, of
// digits 40 pixels high or more at 1920 x 1080, and a bounded cost.
constexpr int kMaxSearchWidth = 640;
// Rows (of the copy whose rows are averaged in pairs) whose edges are
// correlated together, and the step between strips (half a strip: a row of
// digits falls whole in one).
constexpr int kStripRows = 8;
constexpr int kStripStep = 4;
// Strips taken above and below the best one for the band to read.
constexpr int kBandStrips = 2;
// The longest shift looked for, as a share of the searched copy's width.
constexpr int kMaxShiftDivisor = 16;
// A repeat stands out from the lags this far on either side of it (the
// autocorrelation of an edge is a few pixels wide).
constexpr int kPeakFlank = 3;
// The Wiener term: how much of a frequency the mean of the two pictures
// nearly cancels is given back (0 would divide by zero there).
constexpr double kWienerNoise = 0.05;

bool Readable(const cv::Mat& image) {
    return !image.empty() && image.dims == 2 && (image.type() == CV_8UC1 || image.type() == CV_8UC3);
}

int StripCount(int rows) { return rows < kStripRows ? 0 : (rows - kStripRows) / kStripStep + 1; }

bool CorrelationInput(const cv::Mat& grey, int maxLag) {
    return !grey.empty() && grey.dims == 2 && grey.type() == CV_8UC1 && StripCount(grey.rows) > 0 && maxLag >= 0;
}

cv::Mat HorizontalEdges(const cv::Mat& grey) {
    cv::Mat edges;
    cv::Sobel(grey, edges, CV_32F, 1, 0);
    return edges;
}

// How far the correlation at lag k stands above the lags kPeakFlank on
// either side, as a share of the correlation at lag 0.
double Prominence(const float* r, int k) {
    return (r[k] - 0.5 * (r[k - kPeakFlank] + r[k + kPeakFlank])) / r[0];
}

}  // namespace

cv::Mat StripEdgeCorrelations(const cv::Mat& grey, int maxLag) {
    if (!CorrelationInput(grey, maxLag)) return cv::Mat();
    const cv::Mat edges = HorizontalEdges(grey);
    const int lags = maxLag + 1;
    const int n = edges.cols;
    // Each row's sums, a lag at a time (OpenCV's dot product of the row
    // and the row k pixels on: no wrapping round).
    cv::Mat rows(edges.rows, lags, CV_32F, cv::Scalar(0));
    for (int y = 0; y < edges.rows; ++y) {
        const cv::Mat row = edges.row(y);
        float* r = rows.ptr<float>(y);
        for (int k = 0; k < std::min(lags, n); ++k) {
            r[k] = static_cast<float>(row.colRange(0, n - k).dot(row.colRange(k, n)));
        }
    }
    const int strips = StripCount(grey.rows);
    cv::Mat correlation(strips, lags, CV_32F, cv::Scalar(0));
    for (int s = 0; s < strips; ++s) {
        float* out = correlation.ptr<float>(s);
        for (int i = 0; i < kStripRows; ++i) {
            const float* r = rows.ptr<float>(s * kStripStep + i);
            for (int k = 0; k < lags; ++k) out[k] += r[k];
        }
    }
    return correlation;
}

cv::Mat StripEdgeCorrelationsReference(const cv::Mat& grey, int maxLag) {
    if (!CorrelationInput(grey, maxLag)) return cv::Mat();
    const cv::Mat edges = HorizontalEdges(grey);
    const int strips = StripCount(grey.rows);
    cv::Mat correlation(strips, maxLag + 1, CV_32F);
    for (int s = 0; s < strips; ++s) {
        for (int k = 0; k <= maxLag; ++k) {
            double sum = 0.0;
            for (int y = s * kStripStep; y < s * kStripStep + kStripRows; ++y) {
                for (int x = 0; x + k < edges.cols; ++x) {
                    sum += static_cast<double>(edges.at<float>(y, x)) * edges.at<float>(y, x + k);
                }
            }
            correlation.at<float>(s, k) = static_cast<float>(sum);
        }
    }
    return correlation;
}

std::vector<BlendedFieldsGuess> GuessBlendedFieldBands(const cv::Mat& image, int maxBands) {
    std::vector<BlendedFieldsGuess> guesses;
    if (!Readable(image) || maxBands < 1) return guesses;
    cv::Mat work = image;
    double scale = 1.0;
    while (work.cols > kMaxSearchWidth) {
        cv::Mat half;
        cv::resize(work, half, cv::Size(work.cols / 2, work.rows / 2), 0.0, 0.0, cv::INTER_AREA);
        work = half;
        scale *= 2.0;
    }
    // Rows averaged in pairs: the shift is along them, and half the rows
    // halve the cost.
    cv::Mat pairs;
    cv::resize(GreyImage(work), pairs, cv::Size(work.cols, work.rows / 2), 0.0, 0.0, cv::INTER_AREA);
    work = pairs;
    const double rowScale = 2.0 * scale;
    const int maxShift = work.cols / kMaxShiftDivisor;
    if (work.rows < kStripRows || maxShift < kMinBlendShift + kPeakFlank) return guesses;

    // Every strip's clearest repeat.
    struct StripRepeat {
        int top = 0;
        int shift = 0;
        double prominence = 0.0;
    };
    std::vector<StripRepeat> repeats;
    // The lags a strip's clearest repeat is looked for at, and those beside
    // them it is compared with.
    const cv::Mat correlations = StripEdgeCorrelations(work, maxShift + kPeakFlank);
    for (int strip = 0; strip < correlations.rows; ++strip) {
        const int y = strip * kStripStep;
        const float* r = correlations.ptr<float>(strip);
        if (!(r[0] > 0.0f)) continue;
        StripRepeat best{y, 0, 0.0};
        for (int k = kMinBlendShift; k <= maxShift; ++k) {
            if (r[k] < r[k - 1] || r[k] < r[k + 1]) continue;
            const double prominence = Prominence(r, k);
            if (prominence <= best.prominence) continue;
            best.prominence = prominence;
            // The whole lag: a top interpolated between lags leans towards
            // the digits' own pitch, and a shift off by a fraction of a
            // pixel leaves more of the ghost than one off by less.
            best.shift = k;
        }
        if (best.shift > 0) repeats.push_back(best);
    }
    // Clearest first (of two alike, the upper), and each band apart from
    // the bands before it: a strip inside a band already taken adds
    // nothing to read.
    std::stable_sort(repeats.begin(), repeats.end(),
                     [](const StripRepeat& a, const StripRepeat& b) { return a.prominence > b.prominence; });
    std::vector<int> takenTops;
    for (const StripRepeat& repeat : repeats) {
        if (static_cast<int>(guesses.size()) >= maxBands) break;
        // The middle of this strip inside a band taken: its band is read.
        const bool inside = std::any_of(takenTops.begin(), takenTops.end(), [&](int top) {
            return std::abs(repeat.top - top) < kBandStrips * kStripRows + kStripRows / 2;
        });
        if (inside) continue;
        takenTops.push_back(repeat.top);
        BlendedFieldsGuess guess;
        guess.shift = repeat.shift * scale;
        guess.clarity = repeat.prominence;
        const int top =
            std::max(0, static_cast<int>(std::floor((repeat.top - kBandStrips * kStripRows) * rowScale)));
        const int bottom = std::min(
            image.rows, static_cast<int>(std::ceil((repeat.top + (kBandStrips + 1) * kStripRows) * rowScale)));
        guess.band = cv::Rect(0, top, image.cols, std::max(0, bottom - top));
        const int stripTop = static_cast<int>(std::floor(repeat.top * rowScale));
        const int stripBottom =
            std::min(image.rows, static_cast<int>(std::ceil((repeat.top + kStripRows) * rowScale)));
        guess.strip = cv::Rect(0, stripTop, image.cols, std::max(0, stripBottom - stripTop));
        guesses.push_back(guess);
    }
    return guesses;
}

BlendedFieldsGuess GuessBlendedFields(const cv::Mat& image) {
    const std::vector<BlendedFieldsGuess> guesses = GuessBlendedFieldBands(image, 1);
    return guesses.empty() ? BlendedFieldsGuess{} : guesses.front();
}

cv::Mat SeparateBlendedFields(const cv::Mat& image, double shift) {
    if (!Readable(image)) return cv::Mat();
    const cv::Mat grey = GreyImage(image);
    if (!(std::abs(shift) >= 1.0)) return grey.clone();
    // Rows padded by their edge pixels beyond the longest reach of the
    // shift, so that the deconvolution wraps round only through ground.
    const int pad = static_cast<int>(std::ceil(2.0 * std::abs(shift)));
    const int n = cv::getOptimalDFTSize(grey.cols + 2 * pad);
    cv::Mat rows;
    grey.convertTo(rows, CV_32F);
    cv::copyMakeBorder(rows, rows, 0, 0, pad, n - grey.cols - pad, cv::BORDER_REPLICATE);
    cv::Mat spectrum;
    cv::dft(rows, spectrum, cv::DFT_ROWS | cv::DFT_COMPLEX_OUTPUT);

    // The mean of a picture and its copy moved by `shift` multiplies each
    // frequency by H = (1 + e^(-i w shift)) / 2; its Wiener inverse is
    // conj(H) / (|H|^2 + kWienerNoise).
    cv::Mat inverse(1, n, CV_32FC2);
    for (int f = 0; f < n; ++f) {
        // Frequencies past the middle are the negative ones: a shift of a
        // fraction of a pixel must turn them the other way.
        const int signedF = f <= n / 2 ? f : f - n;
        const double w = 2.0 * CV_PI * signedF / n * shift;
        const double re = 0.5 * (1.0 + std::cos(w));
        const double im = -0.5 * std::sin(w);
        const double norm = re * re + im * im + kWienerNoise;
        inverse.at<cv::Vec2f>(0, f) = cv::Vec2f(static_cast<float>(re / norm), static_cast<float>(-im / norm));
    }
    cv::Mat filter;
    cv::repeat(inverse, spectrum.rows, 1, filter);
    cv::Mat filtered;
    cv::mulSpectrums(spectrum, filter, filtered, cv::DFT_ROWS);
    cv::Mat restored;
    cv::dft(filtered, restored, cv::DFT_INVERSE | cv::DFT_ROWS | cv::DFT_REAL_OUTPUT | cv::DFT_SCALE);
    cv::Mat out;
    restored.colRange(pad, pad + grey.cols).convertTo(out, CV_8U);
    return out;
}

}  // namespace kalvero
