#include "support/DetectionFixtures.h"

#include <algorithm>
#include <cstring>
#include <sstream>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "detection/DetectFrame.h"
#include "detection/DetectionParams.h"
#include "detection/GlyphTemplateBank.h"
#include "detection/ScanModes.h"
#include "detection/SearchContext.h"
#include "tools/NumberPainter.h"

namespace kalvero::testing {

void RecordingTrace::OnCandidates(const std::vector<CandidateRegion>& regions) {
    ++candidateCalls;
    candidates = regions;
}

void RecordingTrace::OnRegionResult(const CandidateRegion& region, const std::string& text,
                                    const std::string& reason) {
    resultRegions.push_back(region);
    resultTexts.push_back(text);
    resultReasons.push_back(reason);
}

std::vector<CandidateRegion> ScanCandidates(const cv::Mat& zone, int digitHeight,
                                            int threadCount, int scanModeMask) {
    RecognitionSettings settings;
    settings.digitHeight = digitHeight;
    const DetectionParams params = MakeDetectionParams(settings);
    GlyphTemplateBank bank(zone);
    bank.ScaleTemplates(digitHeight);
    SearchContext context(scanModeMask != 0 ? scanModeMask : params.scanModeMask, params.maxArea);
    ScanModes(context, bank, threadCount);
    return context.candidates;
}

GlyphRun FullNumberSettings(int digitHeight, CorrelationPath path, int threads, RecognitionTrace* trace) {
    GlyphRun run;
    run.settings.digitHeight = digitHeight;
    run.settings.requireFullNumber = true;
    run.settings.threadCount = threads;
    run.settings.trace = trace;
    run.path = path;
    return run;
}

FrameResult RecognizeFrame(const cv::Mat& zoneImage, const GlyphRun& run) {
    return DetectFrame(zoneImage, run.settings, run.path);
}

CandidateRegion Candidate(int x, int y, int w, int h, int typeCode) {
    return CandidateRegion{x, y, w, h, typeCode};
}

cv::Mat PaintedZone(int digitHeight, bool lightDigits, cv::Rect* numberBox) {
    PanelStyle look;
    look.number = "52473068";
    look.digitHeight = digitHeight;
    look.gapFraction = 0.25;
    look.lightDigits = lightDigits;
    return MakeNumberPanel(cv::Size(640, 360), cv::Point(150, 140), look, numberBox);
}

int FixedRecognizer::liveCount = 0;

FixedRecognizer::FixedRecognizer(std::int32_t codeCount, const std::int32_t* codes, bool accept,
                                 std::string reading, std::vector<float> glyphScoresToReport,
                                 float rank, float finalScore)
    : RecognitionClass(codeCount, codes),
      accept_(accept),
      reading_(std::move(reading)),
      scores_(std::move(glyphScoresToReport)),
      rank_(rank),
      finalScore_(finalScore) {
    ++liveCount;
}

FixedRecognizer::~FixedRecognizer() { --liveCount; }

bool FixedRecognizer::Recognize(const GlyphTemplateBank&, const CandidateRegion& region) {
    seenRegion = region;
    if (!accept_) {
        return false;
    }
    status = 1;
    text = reading_;
    glyphScoreCount = static_cast<std::int32_t>(scores_.size());
    for (std::size_t i = 0; i < scores_.size() && i < kMaxGlyphScores; ++i) {
        glyphScores[i] = scores_[i];
    }
    rankValue = rank_;
    score = finalScore_;
    return true;
}

RecognitionResult MakeReading(const std::string& text, int x, int y, int width, int height,
                              float rankValue, float score, int typeCode) {
    RecognitionResult r;
    std::memset(&r, 0, sizeof r);
    r.typeCode = typeCode;
    std::strncpy(r.text, text.c_str(), kResultTextSize - 2);
    r.x = x;
    r.y = y;
    r.width = width;
    r.height = height;
    r.rankValue = rankValue;
    r.score = score;
    return r;
}

std::vector<GlyphHit> HitsAt(const std::vector<cv::Point>& corners, int w, int h) {
    std::vector<GlyphHit> hits;
    for (const cv::Point& p : corners) {
        hits.emplace_back(p.x, p.y, w, h);
    }
    return hits;
}

bool Contains(const CandidateRegion& outer, const cv::Rect& inner) {
    return outer.x <= inner.x && outer.y <= inner.y &&
           inner.x + inner.width <= outer.x + outer.width &&
           inner.y + inner.height <= outer.y + outer.height;
}

namespace {

int DigitHeightFor(int index, cv::RNG& rng) {
    if (index == 0) {
        return 20;
    }
    if (index == 1) {
        return 60;
    }
    // Reading a zone on the reference path costs about h^4, so large digits
    // are rarer.
    const double pick = rng.uniform(0.0, 1.0);
    if (pick < 0.78) {
        return rng.uniform(20, 32);
    }
    if (pick < 0.94) {
        return rng.uniform(32, 44);
    }
    return rng.uniform(44, 61);
}

std::string RandomNumber(cv::RNG& rng, int digits, bool withOnes) {
    const std::string noOne = "023456789";
    std::string number;
    for (int i = 0; i < digits; ++i) {
        number += withOnes ? static_cast<char>('0' + rng.uniform(0, 10))
                           : noOne[static_cast<std::size_t>(rng.uniform(0, 9))];
    }
    if (withOnes) {
        number[static_cast<std::size_t>(rng.uniform(0, digits))] = '1';
    }
    return number;
}

// Scratches and blobs in ink-like greys: short strokes, dots and small
// rectangles that can look like parts of digits.
void AddClutter(cv::Mat& image, cv::RNG& rng, int digitHeight, double ink) {
    const int shapes = rng.uniform(3, 12);
    for (int i = 0; i < shapes; ++i) {
        const cv::Point a(rng.uniform(0, image.cols), rng.uniform(0, image.rows));
        const cv::Scalar colour = cv::Scalar::all(ink + rng.uniform(-30.0, 30.0));
        if (rng.uniform(0, 2) == 0) {
            const cv::Point b(a.x + rng.uniform(-digitHeight, digitHeight),
                              a.y + rng.uniform(-digitHeight, digitHeight));
            cv::line(image, a, b, colour, rng.uniform(1, std::max(2, digitHeight / 6)));
        } else {
            const cv::Size size(rng.uniform(2, std::max(3, digitHeight / 2)),
                                rng.uniform(2, digitHeight + 1));
            cv::rectangle(image, cv::Rect(a, size), colour, cv::FILLED);
        }
    }
}

}  // namespace

std::vector<VariedZone> VariedZones(int count, std::uint64_t seed) {
    cv::RNG rng(seed);
    std::vector<VariedZone> zones;
    for (int i = 0; i < count; ++i) {
        VariedZone zone;
        const int h = DigitHeightFor(i, rng);
        const int w = GlyphWidthFor(h);
        zone.digitHeight = h;
        const bool withNumber = i % 5 != 4;
        const bool withOnes = (i / 5) % 2 == 1;
        const int digits = rng.uniform(0, 12) == 0 ? 7 : 8;

        PanelStyle style;
        style.digitHeight = h;
        style.gapFraction = rng.uniform(0.15, 0.45);
        style.lightDigits = rng.uniform(0, 2) == 0;
        style.contrast = rng.uniform(35.0, 150.0);
        style.textureAmplitude = rng.uniform(4.0, 25.0);
        style.blurSigma = rng.uniform(0, 5) < 2 ? rng.uniform(0.5, 1.3) : 0.0;
        style.noiseSigma = rng.uniform(0.0, 9.0);
        style.seed = static_cast<std::uint64_t>(rng.uniform(1, 1 << 30));
        style.number = withNumber ? RandomNumber(rng, digits, withOnes) : std::string();
        zone.number = style.number;

        const int numberWidth = digits * DigitAdvance(h, style.gapFraction);
        const int left = static_cast<int>(rng.uniform(0.3, 2.6) * w);
        const int right = static_cast<int>(rng.uniform(0.3, 2.6) * w);
        // The glyph search examines whole tiles of h + 2 rows only, so a
        // number is found when the zone has room for a tile row of window
        // positions: about h rows besides the digits. One zone in ten is
        // too low for that.
        const double room = rng.uniform(0, 10) == 0 ? rng.uniform(0.3, 0.9) : rng.uniform(1.05, 1.5);
        const double topShare = rng.uniform(0.25, 0.75);
        const int top = static_cast<int>(room * topShare * h);
        const int bottom = static_cast<int>(room * (1.0 - topShare) * h);
        const cv::Size size(numberWidth + left + right, h + 2 + top + bottom);
        zone.image = MakeNumberPanel(size, cv::Point(left, top), style);

        const double panel = style.lightDigits ? 70.0 : 190.0;
        const double ink = std::clamp(style.lightDigits ? panel + style.contrast
                                                       : panel - style.contrast,
                                      0.0, 255.0);
        std::ostringstream how;
        how << "zone " << i << ": " << size.width << "x" << size.height << ", h " << h
            << (style.lightDigits ? ", light" : ", dark") << ", number '" << style.number
            << "', contrast " << static_cast<int>(style.contrast) << ", blur " << style.blurSigma
            << ", noise " << style.noiseSigma;
        if (!withNumber) {
            AddClutter(zone.image, rng, h, ink);
            how << ", clutter";
        }
        if (rng.uniform(0, 10) < 3) {
            const int y = rng.uniform(0, size.height);
            cv::line(zone.image, cv::Point(0, y), cv::Point(size.width - 1, y),
                     cv::Scalar::all(ink), rng.uniform(1, 4));
            how << ", rail at " << y;
        }
        if (rng.uniform(0, 10) < 2) {
            const int x = rng.uniform(0, size.width);
            cv::line(zone.image, cv::Point(x, 0), cv::Point(x, size.height - 1),
                     cv::Scalar::all(ink), rng.uniform(1, 3));
            how << ", bar at " << x;
        }
        if (rng.uniform(0, 4) == 0) {
            const int quality = rng.uniform(50, 91);
            std::vector<uchar> jpeg;
            cv::imencode(".jpg", zone.image, jpeg, {cv::IMWRITE_JPEG_QUALITY, quality});
            zone.image = cv::imdecode(jpeg, cv::IMREAD_COLOR);
            how << ", JPEG " << quality;
        }
        zone.description = how.str();
        zones.push_back(std::move(zone));
    }
    return zones;
}

}  // namespace kalvero::testing
