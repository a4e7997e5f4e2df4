// kalvero-read --passes on the sample maker's scenes, run as a separate
// process, checked against the truth file the sample maker writes.
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ReaderProcess.h"
#include "tools/SampleVideo.h"

namespace kalvero {
namespace {

using namespace testing_cli;

const char* const kDejaVuBold = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";

// Runs kalvero-make-sample with `args` once per name; returns the video's
// path (the truth file is the same path with .json added).
std::string SceneFile(const std::string& name, std::vector<std::string> args) {
    static std::map<std::string, std::string> written;
    const std::string path = ScratchDir() + "/" + name;
    if (written.count(name) == 0) {
        args.insert(args.begin(), path);
        args.insert(args.end(), {"--truth", path + ".json"});
        std::ostringstream out, err;
        if (RunMakeSample(args, out, err) != 0) {
            throw std::runtime_error(err.str());
        }
        written[name] = path;
    }
    return path;
}

// Each truth number gives one pass, in order, moving left, starting and
// ending within one frame of its first and last wholly visible frame.
const char* const kAgainstTruth = R"PY(
import json, sys
truth = json.load(open(sys.argv[1]))
passes = [json.loads(l) for l in open(sys.argv[2])]
fps = truth["fps"]
numbers = truth["numbers"]
assert [p["number"] for p in passes] == numbers, (passes, numbers)
for p in passes:
    seen = [f["frame"] for f in truth["frame_truth"] for o in f["objects"]
            if o["text"] == p["number"] and o["kind"] == "number" and o["fully_visible"]]
    first, last = min(seen), max(seen)
    assert abs(p["start_s"] - (first - 1) / fps) <= 1 / fps + 1e-6, (p, first)
    assert abs(p["end_s"] - (last - 1) / fps) <= 1 / fps + 1e-6, (p, last)
    assert abs(p["first_frame"] - first) <= 1 and abs(p["last_frame"] - last) <= 1, (p, first, last)
    assert p["direction"] == "left", p
    assert p["check_digit"] is True, p
    assert p["first_frame"] <= p["first_confirmed_frame"] <= p["last_frame"], p
    assert p["first_frame"] <= p["best_frame"] <= p["last_frame"], p
    assert p["file"] == sys.argv[3], p
print(len(passes))
)PY";

struct EngineCase {
    const char* engine;
    const char* font;  // what that engine reads: its own glyphs, or a common font
};

class ReaderPasses : public ::testing::TestWithParam<EngineCase> {};

TEST_P(ReaderPasses, TwoCarriagesGiveTwoPassesInOrderAtTheirTimes) {
    const EngineCase c = GetParam();
    const std::string video =
        SceneFile(std::string("two-") + c.engine + ".avi",
                  {"--scene", "two-carriages", "--number2", "58241837", "--frames", "120",
                   "--font", c.font});
    const std::string passes = ScratchDir() + "/two-" + c.engine + ".jsonl";
    const ProcessResult r = RunReaderProcess(
        {video, "--engine", c.engine, "--zone", "0,110,640,80", "--passes", passes});
    ASSERT_EQ(r.status, 0) << r.err;
    std::string output;
    EXPECT_TRUE(RunPython(kAgainstTruth, {video + ".json", passes, video}, output))
        << output << ReadFile(passes);
    // The text summary lists the same passes.
    EXPECT_NE(r.out.find("Carriage passes: 2\n  1. 52473063  frames "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\n  2. 58241837  frames "), std::string::npos) << r.out;
}

TEST_P(ReaderPasses, ANumberThatEntersAndLeavesIsOnePassAndANegativeNone) {
    const EngineCase c = GetParam();
    const std::string enters = SceneFile(std::string("enter-") + c.engine + ".avi",
                                         {"--scene", "enter-leave", "--font", c.font});
    const std::string csv = ScratchDir() + "/enter-" + c.engine + ".csv";
    ProcessResult r = RunReaderProcess(
        {enters, "--engine", c.engine, "--zone", "0,110,640,80", "--passes", csv});
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<std::string> lines = Lines(ReadFile(csv));
    ASSERT_EQ(lines.size(), 2u) << ReadFile(csv);
    EXPECT_EQ(lines[0].rfind("file,number,check_digit,first_frame,", 0), 0u);
    EXPECT_NE(lines[1].find(",52473063,holds,"), std::string::npos) << lines[1];
    EXPECT_NE(lines[1].find(",left"), std::string::npos) << lines[1];

    const std::string negative =
        SceneFile(std::string("negative-") + c.engine + ".avi",
                  {"--negative", "seven-digits", "--font", c.font, "--frames", "40"});
    const std::string none = ScratchDir() + "/negative-" + c.engine + ".jsonl";
    r = RunReaderProcess({negative, "--engine", c.engine, "--passes", none});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(std::filesystem::exists(none));
    EXPECT_EQ(ReadFile(none), "");
    EXPECT_EQ(r.out.find("Carriage passes"), std::string::npos) << r.out;
}

INSTANTIATE_TEST_SUITE_P(BothEngines, ReaderPasses,
                         ::testing::Values(EngineCase{"glyph", "glyph"},
                                           EngineCase{"learned", kDejaVuBold}),
                         [](const ::testing::TestParamInfo<EngineCase>& info) {
                             return std::string(info.param.engine);
                         });

TEST(ReaderPassesErrors, APassFileThatCannotBeWrittenStopsTheReaderBeforeReading) {
    SampleOptions sample = SmallSample(cv::Size(320, 180), 8, 20);
    const std::string video = SampleFile("passes-errors.avi", sample);
    for (const std::string& bad :
         {ScratchDir() + "/no-such-folder/p.csv", ScratchDir() + "/p.txt", ScratchDir()}) {
        const ProcessResult r = RunReaderProcess({video, "--digit-height", "20", "--passes", bad});
        EXPECT_EQ(r.status, 2) << bad << "\n" << r.err;
        EXPECT_EQ(r.out, "") << bad;
        EXPECT_EQ(r.err.rfind("kalvero-read: cannot write passes to '", 0), 0u) << r.err;
    }
    // A full disk while writing: the reason, and a status that is not 0.
    const std::string full = ScratchDir() + "/full.csv";
    std::filesystem::remove(full);
    std::filesystem::create_symlink("/dev/full", full);
    const ProcessResult r = RunReaderProcess({video, "--digit-height", "20", "--passes", full});
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.err.find("cannot write passes to '" + full + "': No space left on device"),
              std::string::npos)
        << r.err;
}

TEST(ReaderPassesRestart, ARestartAppendsToThePassFileWithItsHeaderOnce) {
    SampleOptions sample = SmallSample(cv::Size(320, 180), 30, 20);
    const std::string video = SampleFile("passes-restart.avi", sample);
    for (const char* name : {"/restart.csv", "/restart.jsonl"}) {
        const std::string passes = ScratchDir() + name;
        std::filesystem::remove(passes);
        for (int run = 0; run < 2; ++run) {
            const ProcessResult r = RunReaderProcess({video, "--digit-height", "20", "--passes", passes});
            ASSERT_EQ(r.status, 0) << r.err;
        }
        const std::vector<std::string> lines = Lines(ReadFile(passes));
        const bool csv = std::string(name).find(".csv") != std::string::npos;
        ASSERT_EQ(lines.size(), csv ? 3u : 2u) << ReadFile(passes);
        if (csv) {
            EXPECT_EQ(lines[0].rfind("file,number,", 0), 0u) << lines[0];
        }
        EXPECT_EQ(lines[lines.size() - 1], lines[lines.size() - 2]);
    }
}

}  // namespace
}  // namespace kalvero
