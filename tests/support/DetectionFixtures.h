#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include <opencv2/core.hpp>

#include "detection/CorrelationPath.h"
#include "detection/GlyphHits.h"
#include "detection/RecognizeFrame.h"
#include "recognizers/CandidateRegion.h"
#include "recognizers/RecognitionClass.h"
#include "recognizers/RecognitionResult.h"
#include "recognizers/RecognitionTrace.h"

namespace kalvero::testing {

// Records what one RecognizeFrame call reports through its trace.
class RecordingTrace : public RecognitionTrace {
public:
    void OnCandidates(const std::vector<CandidateRegion>& regions) override;
    void OnRegionResult(const CandidateRegion& region, const std::string& text,
                        const std::string& reason) override;

    int candidateCalls = 0;
    std::vector<CandidateRegion> candidates;
    std::vector<CandidateRegion> resultRegions;
    std::vector<std::string> resultTexts;
    std::vector<std::string> resultReasons;
};

// Candidates of the default scan (modes 1 and 3) of a zone image at digit
// height h, found by running the detector's stages without reading them;
// with a non-zero `scanModeMask` the modes it names are scanned instead.
std::vector<CandidateRegion> ScanCandidates(const cv::Mat& zone, int digitHeight,
                                            int threadCount = 1, int scanModeMask = 0);

// A glyph-engine call's settings with the correlation path to read on: the
// path is no setting of the product (which reads on the fast path alone),
// so the tests that compare the paths carry it beside the settings. Reads
// as the settings wherever those are wanted.
struct GlyphRun {
    RecognitionSettings settings;
    CorrelationPath path = CorrelationPath::Fast;
    operator const RecognitionSettings&() const { return settings; }
};

// Settings of a glyph-engine call that wants whole numbers, as the window
// asks for them, on the given path and threads.
GlyphRun FullNumberSettings(int digitHeight, CorrelationPath path, int threads, RecognitionTrace* trace = nullptr);

// RecognizeFrame on the run's path (DetectFrame): the reference path for
// the tests that check the fast one against it.
FrameResult RecognizeFrame(const cv::Mat& zoneImage, const GlyphRun& run);

// A candidate region of the given box and type code.
CandidateRegion Candidate(int x, int y, int w, int h, int typeCode);

// A 640 x 360 zone with "52473068" painted at digit height h with its left
// edge at (150, 140), light on dark or dark on light; the digits' box goes
// to `numberBox` when given.
cv::Mat PaintedZone(int digitHeight, bool lightDigits, cv::Rect* numberBox = nullptr);

// A recogniser that reports a fixed reading (or none) without looking at
// the image; counts its live instances so tests can see it destroyed.
class FixedRecognizer : public RecognitionClass {
public:
    FixedRecognizer(std::int32_t codeCount, const std::int32_t* codes, bool accept,
                    std::string reading, std::vector<float> glyphScoresToReport,
                    float rank, float finalScore);
    ~FixedRecognizer() override;

    bool Recognize(const GlyphTemplateBank& bank, const CandidateRegion& region) override;

    static int liveCount;
    CandidateRegion seenRegion;

private:
    bool accept_;
    std::string reading_;
    std::vector<float> scores_;
    float rank_;
    float finalScore_;
};

// A reading record as the dispatch builds it (all bytes zero first).
RecognitionResult MakeReading(const std::string& text, int x, int y, int width, int height,
                              float rankValue, float score, int typeCode = kSignTypeCode);

// Hit boxes of size w x h at the given top-left corners, in that order.
std::vector<GlyphHit> HitsAt(const std::vector<cv::Point>& corners, int w, int h);

// Whether `outer` contains every pixel of `inner`.
bool Contains(const CandidateRegion& outer, const cv::Rect& inner);

// A zone image for comparing ways of recognising, and what it shows.
struct VariedZone {
    cv::Mat image;            // BGR
    int digitHeight = 0;
    std::string number;       // the painted number; empty when there is none
    std::string description;  // how it was made, for failure messages
};

// `count` reproducible zones for the given seed: carriage numbers of digit
// heights 20 to 60 (mostly below 35, where zones are cheap to read), light
// and dark, half of them with 1s in them, a few with 7 digits, on textured
// panels of varied contrast, some blurred, noisy, crossed by a rail or a
// bar, or passed through JPEG compression; every fifth zone holds no number
// but scratches and blobs. The first two zones have digit heights 20 and 60.
std::vector<VariedZone> VariedZones(int count, std::uint64_t seed);

}  // namespace kalvero::testing
