// The README's GNU Parallel recipe, run on this host (--sshlogin :), gives
// the same passes as one direct run over the same folder.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "ReaderProcess.h"

namespace kalvero {
namespace {

using namespace testing_cli;
namespace fs = std::filesystem;

TEST(ReaderParallel, TheRecipeOnLocalhostMatchesADirectRun) {
    if (std::system("command -v parallel >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "GNU Parallel is not installed (scripts/bootstrap installs it)";
    }
    const std::string yard = ScratchDir() + "/parallel-yard";
    fs::create_directories(yard + "/videos");
    fs::create_directories(yard + "/passes");
    const char* const numbers[] = {"52473063", "58241837", "52413069"};
    for (int i = 0; i < 3; ++i) {
        SampleOptions sample = SmallSample(cv::Size(320, 180), 12, 20);
        sample.number = numbers[i];
        sample.seed = static_cast<std::uint64_t>(i + 1);
        fs::copy_file(SampleFile("parallel-" + std::to_string(i) + ".avi", sample),
                      yard + "/videos/cam" + std::to_string(i) + ".avi",
                      fs::copy_options::overwrite_existing);
    }
    const std::string reader = ReaderExecutable();
    // The recipe: one file per job, each its own pass file, merged after.
    const std::string recipe =
        "cd '" + yard + "' && parallel --will-cite --sshlogin : --jobs 2 "
        "'" + reader + " {} --jobs 1 --digit-height 20 --passes passes/{/.}.jsonl > /dev/null' "
        "::: videos/*.avi && cat passes/*.jsonl > merged.jsonl";
    ASSERT_EQ(std::system(recipe.c_str()), 0) << recipe;

    const std::string direct = "cd '" + yard + "' && '" + reader +
                               "' videos --jobs 1 --digit-height 20 --passes direct.jsonl "
                               "> /dev/null 2>&1";
    ASSERT_EQ(std::system(direct.c_str()), 0);
    const std::string merged = ReadFile(yard + "/merged.jsonl");
    EXPECT_EQ(merged, ReadFile(yard + "/direct.jsonl"));
    EXPECT_EQ(Lines(merged).size(), 3u) << merged;
    for (const char* number : numbers) {
        EXPECT_NE(merged.find(std::string("\"number\": \"") + number + "\""), std::string::npos)
            << merged;
    }
}

}  // namespace
}  // namespace kalvero
