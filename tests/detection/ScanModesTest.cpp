#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include <opencv2/core.hpp>

#include "detection/BinariseMode.h"
#include "detection/GlyphTemplateBank.h"
#include "detection/ScanModes.h"
#include "detection/SearchContext.h"
#include "support/DetectionFixtures.h"

namespace kalvero {
namespace {

using testing::PaintedZone;
using testing::ScanCandidates;
using testing::VariedZone;
using testing::VariedZones;

std::string Describe(const CandidateRegion& c) {
    return std::to_string(c.x) + "," + std::to_string(c.y) + " " + std::to_string(c.width) + "x" +
           std::to_string(c.height) + " type " + std::to_string(c.typeCode);
}

// Same candidates in the same order: boxes and type codes.
void ExpectSameCandidates(const std::vector<CandidateRegion>& expected,
                          const std::vector<CandidateRegion>& actual, const std::string& what) {
    ASSERT_EQ(expected.size(), actual.size()) << what;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(Describe(expected[i]), Describe(actual[i])) << what << ", candidate " << i;
    }
}

// Every combination of the four modes, on painted numbers of both kinds.
class ScanModeMasks : public ::testing::TestWithParam<std::tuple<int, bool>> {};

TEST_P(ScanModeMasks, CandidatesDoNotDependOnTheNumberOfThreads) {
    const auto [mask, light] = GetParam();
    const cv::Mat zone = PaintedZone(29, light);
    const std::vector<CandidateRegion> one = ScanCandidates(zone, 29, 1, mask);
    ExpectSameCandidates(one, ScanCandidates(zone, 29, 2, mask), "two threads");
    ExpectSameCandidates(one, ScanCandidates(zone, 29, 5, mask), "five threads");
}

INSTANTIATE_TEST_SUITE_P(AllMasks, ScanModeMasks,
                         ::testing::Combine(::testing::Range(1, 16), ::testing::Bool()));

// The serial and the side-by-side runs alike.
class EnabledModes : public ::testing::TestWithParam<std::tuple<int, int>> {};

TEST_P(EnabledModes, CandidatesComeOnlyFromTheEnabledModes) {
    const auto [mask, threads] = GetParam();
    GlyphTemplateBank bank(PaintedZone(29, true));
    bank.ScaleTemplates(29);
    SearchContext context(mask, 11.0 * 29 * 29);
    ScanModes(context, bank, threads);
    for (int mode = 0; mode < kScanModeCount; ++mode) {
        const bool enabled = (mask & (1 << mode)) != 0;
        EXPECT_EQ(bank.scanImages[mode].empty(), !enabled) << "mode " << mode;
    }
    for (const CandidateRegion& c : context.candidates) {
        const int mode = c.typeCode - kNumberTypeCodeBase;
        ASSERT_TRUE(mode >= 0 && mode < kScanModeCount) << Describe(c);
        EXPECT_NE(mask & (1 << mode), 0) << Describe(c);
    }
}

INSTANTIATE_TEST_SUITE_P(AllMasks, EnabledModes,
                         ::testing::Combine(::testing::Range(0, 16), ::testing::Values(1, 3)));

TEST(ScanModes, VariedZonesGiveTheSameCandidatesOnOneAndSeveralThreads) {
    for (const VariedZone& zone : VariedZones(12, 77)) {
        const std::vector<CandidateRegion> one = ScanCandidates(zone.image, zone.digitHeight, 1, 15);
        ExpectSameCandidates(one, ScanCandidates(zone.image, zone.digitHeight, 4, 15),
                             zone.description);
    }
}

class ScanThreads : public ::testing::TestWithParam<int> {};

TEST_P(ScanThreads, NoTwoCandidatesShareABox) {
    // Modes 1 and 2 binarise alike and often group the same digits into the
    // same box; only the first of those is kept.
    const std::vector<CandidateRegion> candidates =
        ScanCandidates(PaintedZone(29, true), 29, GetParam(), 15);
    ASSERT_FALSE(candidates.empty());
    for (std::size_t i = 0; i < candidates.size(); ++i) {
        for (std::size_t j = i + 1; j < candidates.size(); ++j) {
            EXPECT_FALSE(SameBox(candidates[i], candidates[j]))
                << Describe(candidates[i]) << " and " << Describe(candidates[j]);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(OneAndTwo, ScanThreads, ::testing::Values(1, 2));

}  // namespace
}  // namespace kalvero
