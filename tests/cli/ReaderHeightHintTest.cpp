// kalvero-read's learned engine given the digit height: the height is a
// hint, and numbers the search at that height alone lost (thin drawn
// digits, a number darker than its ground beside a second carriage) are
// read by the halved levels of the every-height search near it.
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ReaderProcess.h"

namespace kalvero {
namespace {

using namespace testing_cli;

struct HintCase {
    const char* name;
    std::vector<std::string> sample;  // kalvero-make-sample's options
    int digitHeight;
    std::vector<std::string> numbers;  // confirmed, in order
};

void PrintTo(const HintCase& c, std::ostream* out) { *out << c.name; }

class HeightHint : public ::testing::TestWithParam<HintCase> {};

TEST_P(HeightHint, ConfirmsEveryNumberOfTheScene) {
    const HintCase& c = GetParam();
    const std::string video = ScratchDir() + "/" + c.name + ".avi";
    std::vector<std::string> args = {video};
    args.insert(args.end(), c.sample.begin(), c.sample.end());
    args.insert(args.end(), {"--size", "640x360", "--varied", "--negative", "none"});
    std::ostringstream out, err;
    ASSERT_EQ(RunMakeSample(args, out, err), 0) << err.str();
    const ProcessResult r =
        RunReaderProcess({video, "--engine", "learned", "--digit-height", std::to_string(c.digitHeight)});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ConfirmedNumbers(r.out), c.numbers) << r.out;
}

// With the search at the given height alone the first read no frame of
// its 48 and the second confirmed only the first carriage.
INSTANTIATE_TEST_SUITE_P(
    Scenes, HeightHint,
    ::testing::Values(
        HintCase{"glyph_22px_dark",
                 {"--frames", "48", "--number", "15585771", "--digit-height", "22", "--polarity", "dark", "--seed",
                  "10550", "--font", "glyph", "--scene", "pass"},
                 22,
                 {"15585771"}},
        HintCase{"narrow_39px_two_carriages",
                 {"--frames", "48", "--number", "78999778", "--digit-height", "39", "--polarity", "dark", "--seed",
                  "10540", "--font", "/usr/share/fonts/truetype/liberation/LiberationSansNarrow-Bold.ttf", "--scene",
                  "two-carriages"},
                 39,
                 {"78999778", "08811580"}}),
    [](const ::testing::TestParamInfo<HintCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kalvero
