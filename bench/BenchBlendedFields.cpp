// The search for two blended fields, which a frame that read nothing goes
// through: on a 1080p frame's copy halved twice (480 x 270, the width it is
// searched at), its rows averaged in pairs, the strips' edge correlations
// against the plain double sums, and the whole search.
#include <benchmark/benchmark.h>

#include "BenchInkImages.h"
#include "line_reader/BlendedFields.h"

namespace {

using kalvero::bench::HalfFrame;

// A 1920-pixel frame's copy is searched at 480 pixels, up to a shift of
// 480 / 16 = 30 and the 3 lags beside it.
constexpr int kMaxLag = 33;

const cv::Mat& Quarter() {
    static const cv::Mat quarter = [] {
        cv::Mat q;
        cv::resize(HalfFrame(), q, cv::Size(HalfFrame().cols / 2, HalfFrame().rows / 2), 0.0, 0.0, cv::INTER_AREA);
        return q;
    }();
    return quarter;
}

const cv::Mat& RowPairs() {
    static const cv::Mat pairs = [] {
        cv::Mat p;
        cv::resize(Quarter(), p, cv::Size(Quarter().cols, Quarter().rows / 2), 0.0, 0.0, cv::INTER_AREA);
        return p;
    }();
    return pairs;
}

void BM_StripEdgeCorrelations_480x135(benchmark::State& state) {
    for (auto _ : state) {
        cv::Mat correlations = kalvero::StripEdgeCorrelations(RowPairs(), kMaxLag);
        benchmark::DoNotOptimize(correlations.data);
    }
}
BENCHMARK(BM_StripEdgeCorrelations_480x135)->Unit(benchmark::kMicrosecond);

void BM_StripEdgeCorrelationsReference_480x135(benchmark::State& state) {
    for (auto _ : state) {
        cv::Mat correlations = kalvero::StripEdgeCorrelationsReference(RowPairs(), kMaxLag);
        benchmark::DoNotOptimize(correlations.data);
    }
}
BENCHMARK(BM_StripEdgeCorrelationsReference_480x135)->Unit(benchmark::kMicrosecond);

void BM_GuessBlendedFieldBands_480x270(benchmark::State& state) {
    for (auto _ : state) {
        std::vector<kalvero::BlendedFieldsGuess> guesses = kalvero::GuessBlendedFieldBands(Quarter(), 3);
        benchmark::DoNotOptimize(guesses.data());
    }
}
BENCHMARK(BM_GuessBlendedFieldBands_480x270)->Unit(benchmark::kMicrosecond);

}  // namespace
