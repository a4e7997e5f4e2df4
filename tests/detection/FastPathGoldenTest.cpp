// The fast path must read exactly what the reference path reads: same
// candidates, same strips, same readings, boxes and scores, on zones of every
// kind the reader meets, and whatever the number of threads.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "detection/RecognizeFrame.h"
#include "recognizers/RecognitionTrace.h"
#include "support/DetectionFixtures.h"

namespace kalvero {
namespace {

using testing::FullNumberSettings;
using testing::VariedZone;
using testing::VariedZones;

// Under a sanitizer the reference path's plain loops run about ten times
// slower; there the test checks memory use on a fifth of the zones.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define KALVERO_SANITIZED_BUILD 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define KALVERO_SANITIZED_BUILD 1
#endif
#endif
#ifdef KALVERO_SANITIZED_BUILD
constexpr int kGoldenZones = 64;
#else
constexpr int kGoldenZones = 320;
#endif
constexpr std::uint64_t kGoldenSeed = 20240607;

// Everything a call reports through its trace, in order.
class FullTrace : public RecognitionTrace {
public:
    void OnCandidates(const std::vector<CandidateRegion>& regions) override {
        for (const CandidateRegion& r : regions) {
            events.push_back("candidate " + Box(r) + " type " + std::to_string(r.typeCode));
        }
    }
    void OnStrip(const CandidateRegion& region, int stripIndex, int candidateCount,
                 const std::string& digits, int assembled) override {
        events.push_back("strip " + std::to_string(stripIndex) + " of " + Box(region) + ": " +
                         std::to_string(candidateCount) + " digits matched, '" + digits +
                         "' assembled " + std::to_string(assembled));
    }
    void OnRegionResult(const CandidateRegion& region, const std::string& text,
                        const std::string& reason) override {
        events.push_back("region " + Box(region) + ": '" + text + "' " + reason);
    }
    std::vector<std::string> events;

private:
    static std::string Box(const CandidateRegion& r) {
        return std::to_string(r.x) + "," + std::to_string(r.y) + "," + std::to_string(r.width) +
               "," + std::to_string(r.height);
    }
};

// Same count, texts and boxes, scores within 1e-5.
void ExpectSameResult(const FrameResult& expected, const FrameResult& actual,
                      const std::string& what) {
    ASSERT_EQ(expected.count(), actual.count()) << what;
    for (int i = 0; i < expected.count(); ++i) {
        const FrameResultEntry& e = expected.entries[static_cast<std::size_t>(i)];
        const FrameResultEntry& a = actual.entries[static_cast<std::size_t>(i)];
        EXPECT_STREQ(e.name, a.name) << what << ", reading " << i;
        EXPECT_EQ(cv::Rect(e.x, e.y, e.width, e.height), cv::Rect(a.x, a.y, a.width, a.height))
            << what << ", reading " << i;
        EXPECT_NEAR(e.score, a.score, 1e-5) << what << ", reading " << i;
    }
}

TEST(FastPathGolden, ReadsExactlyWhatTheReferencePathReads) {
    const std::vector<VariedZone> zones = VariedZones(kGoldenZones, kGoldenSeed);
    int numberZones = 0;
    int readCorrectly = 0;
    int zonesWithReadings = 0;
    int candidates = 0;
    int bitIdenticalScores = 0;
    int scores = 0;
    for (const VariedZone& zone : zones) {
        FullTrace referenceTrace;
        const FrameResult reference = RecognizeFrame(
            zone.image,
            FullNumberSettings(zone.digitHeight, CorrelationPath::Reference, 1, &referenceTrace));
        FullTrace fastTrace;
        const FrameResult traced = RecognizeFrame(
            zone.image, FullNumberSettings(zone.digitHeight, CorrelationPath::Fast, 2, &fastTrace));
        const FrameResult fast =
            RecognizeFrame(
                zone.image, FullNumberSettings(zone.digitHeight, CorrelationPath::Fast, 2));

        EXPECT_EQ(referenceTrace.events, fastTrace.events) << zone.description;
        ExpectSameResult(reference, traced, zone.description + " (fast, traced)");
        ExpectSameResult(reference, fast, zone.description + " (fast, two threads)");

        for (std::size_t i = 0; i < reference.entries.size() && i < fast.entries.size(); ++i) {
            ++scores;
            bitIdenticalScores += std::memcmp(&reference.entries[i].score,
                                              &fast.entries[i].score, sizeof(float)) == 0;
        }
        for (const std::string& event : referenceTrace.events) {
            candidates += event.rfind("candidate", 0) == 0 ? 1 : 0;
        }
        zonesWithReadings += reference.count() > 0 ? 1 : 0;
        if (zone.number.size() == 8) {
            ++numberZones;
            readCorrectly += reference.count() > 0 && zone.number == reference.entries[0].name;
        }
    }
    // Exact sums on both paths: not merely close, identical.
    EXPECT_EQ(bitIdenticalScores, scores);
    // The comparison means something only if the zones give the reader
    // work: candidates everywhere and most numbers read.
    EXPECT_GT(candidates, kGoldenZones);
    EXPECT_GT(readCorrectly, numberZones / 2)
        << readCorrectly << " of " << numberZones << " numbers read";
    RecordProperty("zones", kGoldenZones);
    RecordProperty("zonesWithReadings", zonesWithReadings);
    RecordProperty("numbersReadCorrectly", readCorrectly);
}

TEST(FastPathGolden, ReadingsDoNotDependOnTheNumberOfThreads) {
    const std::vector<VariedZone> zones = VariedZones(80, kGoldenSeed + 1);
    for (const VariedZone& zone : zones) {
        const FrameResult one =
            RecognizeFrame(
                zone.image, FullNumberSettings(zone.digitHeight, CorrelationPath::Fast, 1));
        const FrameResult two =
            RecognizeFrame(
                zone.image, FullNumberSettings(zone.digitHeight, CorrelationPath::Fast, 2));
        const FrameResult five =
            RecognizeFrame(
                zone.image, FullNumberSettings(zone.digitHeight, CorrelationPath::Fast, 5));
        const FrameResult automatic =
            RecognizeFrame(
                zone.image, FullNumberSettings(zone.digitHeight, CorrelationPath::Fast, 0));
        ExpectSameResult(one, two, zone.description + " (one and two threads)");
        ExpectSameResult(one, five, zone.description + " (one and five threads)");
        ExpectSameResult(one, automatic, zone.description + " (one and automatic threads)");
    }
}

}  // namespace
}  // namespace kalvero
