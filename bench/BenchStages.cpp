// Time of each stage of one RecognizeFrame call on the benchmark zones:
// template bank, binarisation of both scan modes, glyph hit search, grouping
// and the reading of every candidate region.
#include <benchmark/benchmark.h>

#include <opencv2/core.hpp>

#include "BenchZones.h"
#include "detection/BinariseMode.h"
#include "detection/DetectionParams.h"
#include "detection/GlyphHits.h"
#include "detection/GlyphTemplateBank.h"
#include "detection/GroupHits.h"
#include "detection/RemoveDuplicateCandidates.h"
#include "detection/SearchContext.h"
#include "recognizers/RecognitionContext.h"

namespace {

using kalvero::bench::kDigitHeight;

constexpr int kModes[] = {1, 3};

// The correlation path of a stage benchmark: argument 0 fast, 1 reference.
kalvero::CorrelationPath PathOf(const benchmark::State& state) {
    return state.range(0) == 1 ? kalvero::CorrelationPath::Reference
                               : kalvero::CorrelationPath::Fast;
}

// A bank as the detector leaves it after binarising both scan modes.
kalvero::GlyphTemplateBank BinarisedBank(const cv::Mat& zone,
                                         kalvero::CorrelationPath path) {
    kalvero::GlyphTemplateBank bank(zone);
    bank.ScaleTemplates(kDigitHeight);
    bank.correlationPath = path;
    for (int mode : kModes) {
        kalvero::BinariseMode(bank, mode);
    }
    return bank;
}

kalvero::SearchContext NewContext() {
    kalvero::RecognitionSettings settings;
    settings.digitHeight = kDigitHeight;
    const kalvero::DetectionParams params = kalvero::MakeDetectionParams(settings);
    return kalvero::SearchContext(params.scanModeMask, params.maxArea);
}

void Bank(benchmark::State& state, const cv::Mat& zone) {
    for (auto _ : state) {
        kalvero::GlyphTemplateBank bank(zone);
        bank.ScaleTemplates(kDigitHeight);
        benchmark::DoNotOptimize(bank.scaledTemplates.data());
    }
}

void Binarise(benchmark::State& state, const cv::Mat& zone) {
    kalvero::GlyphTemplateBank bank(zone);
    bank.ScaleTemplates(kDigitHeight);
    for (auto _ : state) {
        for (int mode : kModes) {
            bank.exclusionBoxes[mode].clear();
            kalvero::BinariseMode(bank, mode);
        }
        benchmark::DoNotOptimize(bank.scanImages[3].data);
    }
}

void HitSearch(benchmark::State& state, const cv::Mat& zone) {
    const kalvero::GlyphTemplateBank bank = BinarisedBank(zone, PathOf(state));
    std::size_t hits = 0;
    for (auto _ : state) {
        hits = 0;
        for (int mode : kModes) {
            hits += kalvero::CollectModeHits(bank, mode).size();
        }
        benchmark::DoNotOptimize(hits);
    }
    state.counters["hits"] = static_cast<double>(hits);
}

void Grouping(benchmark::State& state, const cv::Mat& zone) {
    const kalvero::GlyphTemplateBank bank = BinarisedBank(zone, PathOf(state));
    std::vector<std::vector<kalvero::GlyphHit>> hits;
    for (int mode : kModes) {
        hits.push_back(kalvero::CollectModeHits(bank, mode));
    }
    std::size_t candidates = 0;
    for (auto _ : state) {
        kalvero::SearchContext context = NewContext();
        for (std::size_t i = 0; i < hits.size(); ++i) {
            kalvero::GroupHits(context, bank, kModes[i], hits[i], kalvero::kMinGroupSize,
                               kalvero::kMaxGroupSize, kalvero::kHeightTolerance);
        }
        kalvero::RemoveDuplicateCandidates(context);
        candidates = context.candidates.size();
        benchmark::DoNotOptimize(candidates);
    }
    state.counters["candidates"] = static_cast<double>(candidates);
}

void ReadRegions(benchmark::State& state, const cv::Mat& zone) {
    const kalvero::GlyphTemplateBank bank = BinarisedBank(zone, PathOf(state));
    kalvero::SearchContext context = NewContext();
    for (int mode : kModes) {
        kalvero::GroupHits(context, bank, mode, kalvero::CollectModeHits(bank, mode),
                           kalvero::kMinGroupSize, kalvero::kMaxGroupSize,
                           kalvero::kHeightTolerance);
    }
    kalvero::RemoveDuplicateCandidates(context);
    const kalvero::DetectionParams params = kalvero::MakeDetectionParams({});
    std::size_t readings = 0;
    for (auto _ : state) {
        readings = 0;
        for (const kalvero::CandidateRegion& candidate : context.candidates) {
            kalvero::RecognitionContext reader(params.codeCount, params.codes);
            reader.requireFullNumber = true;
            reader.DispatchRegion(bank, candidate);
            readings += reader.ReadingCount();
        }
        benchmark::DoNotOptimize(readings);
    }
    state.counters["regions"] = static_cast<double>(context.candidates.size());
    state.counters["readings"] = static_cast<double>(readings);
}

template <void (*Stage)(benchmark::State&, const cv::Mat&)>
void Large(benchmark::State& state) {
    Stage(state, kalvero::bench::LargeZone());
}

template <void (*Stage)(benchmark::State&, const cv::Mat&)>
void Small(benchmark::State& state) {
    Stage(state, kalvero::bench::SmallZone());
}

// Stages that match templates run on the fast path (/0) and the reference
// path (/1), on the calling thread.
BENCHMARK_TEMPLATE(Large, Bank)->Name("BM_Stage_Bank_640x360")->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(Large, Binarise)->Name("BM_Stage_Binarise_640x360")->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(Large, HitSearch)->Name("BM_Stage_HitSearch_640x360")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(Large, Grouping)->Name("BM_Stage_Grouping_640x360")->Arg(0)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(Large, ReadRegions)->Name("BM_Stage_ReadRegions_640x360")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(Small, Bank)->Name("BM_Stage_Bank_390x90")->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(Small, Binarise)->Name("BM_Stage_Binarise_390x90")->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(Small, HitSearch)->Name("BM_Stage_HitSearch_390x90")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(Small, Grouping)->Name("BM_Stage_Grouping_390x90")->Arg(0)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(Small, ReadRegions)->Name("BM_Stage_ReadRegions_390x90")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
