// Every committed input of each fuzz harness, seeds (fuzz/corpus/<harness>)
// and saved crash inputs (fuzz/regressions/<harness>), runs through its
// harness in this build: under the sanitizer builds a fault that once made
// one of them crash would be reported again here.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fuzz/FuzzTargets.h"

namespace kalvero::fuzz {
namespace {

namespace fs = std::filesystem;

std::vector<fs::path> InputsIn(const fs::path& folder) {
    std::vector<fs::path> files;
    std::error_code error;
    if (!fs::is_directory(folder, error)) return files;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        if (entry.is_regular_file()) files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::vector<std::uint8_t> ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class CorpusReplay : public ::testing::TestWithParam<Harness> {};

}  // namespace

// Test names and listings show the harness by its name.
void PrintTo(const Harness& harness, std::ostream* out) { *out << harness.name; }

namespace {

TEST_P(CorpusReplay, EveryCommittedInputRuns) {
    const Harness& harness = GetParam();
    const fs::path root(KALVERO_FUZZ_DIR);
    const std::vector<fs::path> seeds = InputsIn(root / "corpus" / harness.name);
    // A harness without seeds would start from nothing in CI.
    EXPECT_GE(seeds.size(), 3u) << harness.name;
    std::vector<fs::path> inputs = seeds;
    const std::vector<fs::path> crashes = InputsIn(root / "regressions" / harness.name);
    inputs.insert(inputs.end(), crashes.begin(), crashes.end());
    for (const fs::path& input : inputs) {
        SCOPED_TRACE(input.string());
        const std::vector<std::uint8_t> bytes = ReadAll(input);
        harness.run(bytes.data(), bytes.size());
    }
    // The empty input too: every harness must take it.
    harness.run(nullptr, 0);
}

INSTANTIATE_TEST_SUITE_P(Harnesses, CorpusReplay, ::testing::ValuesIn(AllHarnesses()),
                         [](const ::testing::TestParamInfo<Harness>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kalvero::fuzz
