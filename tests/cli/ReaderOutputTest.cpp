// What kalvero-read does when its output cannot be written, and the
// summary's word on a file that ended before its announced frame count.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "ReaderProcess.h"

namespace kalvero {
namespace {

using testing_cli::BrokenOutput;
using testing_cli::Lines;
using testing_cli::ReadFile;
using testing_cli::ProcessResult;
using testing_cli::RunReaderProcess;
using testing_cli::RunReaderWithBrokenOutput;
using testing_cli::SampleFile;
using testing_cli::ScratchDir;

namespace fs = std::filesystem;

SampleOptions SmallVideo(int frames) { return testing_cli::SmallSample({320, 180}, frames, 20); }

struct OutputCase {
    const char* what;
    std::vector<std::string> args;  // "@video" stands for a short sample video
};

class ReaderBrokenOutput
    : public ::testing::TestWithParam<std::tuple<OutputCase, BrokenOutput>> {};

TEST_P(ReaderBrokenOutput, EndsWithStatusFourAndSaysWhy) {
    const OutputCase& c = std::get<0>(GetParam());
    const BrokenOutput broken = std::get<1>(GetParam());
    const std::string video = SampleFile("output-video.avi", SmallVideo(40));
    std::vector<std::string> args;
    for (const std::string& a : c.args) {
        args.push_back(a == "@video" ? video : a);
    }
    const ProcessResult r = RunReaderWithBrokenOutput(args, broken);
    EXPECT_EQ(r.status, 4) << c.what << "\n" << r.err;
    const std::string reason = broken == BrokenOutput::Full         ? "standard output: No space left on device"
                               : broken == BrokenOutput::ReaderGone ? "standard output: Broken pipe"
                                                                    : "standard output is closed";
    EXPECT_NE(r.err.find("kalvero-read: output could not be written: " + reason + "\n"),
              std::string::npos)
        << c.what << "\n" << r.err;
}

INSTANTIATE_TEST_SUITE_P(
    EveryKindOfOutput, ReaderBrokenOutput,
    ::testing::Combine(::testing::Values(OutputCase{"text", {"@video", "--digit-height", "20"}},
                                         OutputCase{"json", {"@video", "--digit-height", "20", "--json"}},
                                         OutputCase{"sign", {"@video", "--sign", "0,0,60,60"}},
                                         OutputCase{"sign-json", {"@video", "--sign", "0,0,60,60", "--json"}},
                                         OutputCase{"help", {"--help"}},
                                         OutputCase{"version", {"--version"}}),
                       ::testing::Values(BrokenOutput::Full, BrokenOutput::Closed, BrokenOutput::ReaderGone)),
    [](const ::testing::TestParamInfo<ReaderBrokenOutput::ParamType>& info) {
        const std::string what = std::get<0>(info.param).what;
        const BrokenOutput broken = std::get<1>(info.param);
        return (what == "sign-json" ? std::string("signjson") : what) +
               (broken == BrokenOutput::Full ? "_full" : broken == BrokenOutput::Closed ? "_closed" : "_pipe");
    });

class ReaderBrokenOutputSummary
    : public ::testing::TestWithParam<std::tuple<bool, BrokenOutput>> {};

TEST_P(ReaderBrokenOutputSummary, SaysOnStandardErrorThatTheRunStoppedForTheOutput) {
    const bool json = std::get<0>(GetParam());
    const std::string video = SampleFile("output-video.avi", SmallVideo(40));
    std::vector<std::string> args{video, "--digit-height", "20"};
    if (json) {
        args.push_back("--json");
    }
    const ProcessResult r = RunReaderWithBrokenOutput(args, std::get<1>(GetParam()));
    // The run ends at the first frame whose output fails, long before the
    // 40th, and the summary goes to standard error instead.
    std::smatch m;
    ASSERT_TRUE(std::regex_search(r.err, m, std::regex("Stopped after frame ([0-9]+): the output could not "
                                                        "be written\\.\nSummary: ([0-9]+) frames? read")))
        << r.err;
    EXPECT_LT(std::stoi(m[1]), 40);
    EXPECT_EQ(m[1], m[2]);
    if (json) {
        EXPECT_NE(r.err.find("\"output_failed\": true"), std::string::npos) << r.err;
    }
}

INSTANTIATE_TEST_SUITE_P(TextAndJson, ReaderBrokenOutputSummary,
                         ::testing::Combine(::testing::Bool(), ::testing::Values(BrokenOutput::Full, BrokenOutput::Closed,
                                                                                 BrokenOutput::ReaderGone)));

// With standard output closed, the first file the reader opens would get
// descriptor 1; the frames' JSON must not end up in it.
TEST(ReaderClosedOutput, NeverWritesTheOutputIntoAFileItOpened) {
    const std::string video = SampleFile("output-video.avi", SmallVideo(40));
    const std::string passes = ScratchDir() + "/closed-output.csv";
    const ProcessResult r = RunReaderWithBrokenOutput(
        {video, "--digit-height", "20", "--json", "--passes", passes}, BrokenOutput::Closed);
    EXPECT_EQ(r.status, 4) << r.err;
    const std::string written = ReadFile(passes);
    EXPECT_EQ(written.find("\"frame\""), std::string::npos) << written;
    EXPECT_EQ(written.rfind("file,number,", 0), 0u) << written;
}

// A full disk under the pass file mid-run: the same status as standard output.
TEST(ReaderOutputFiles, APassFileThatFillsUpEndsTheRunWithStatusFour) {
    const std::string video = SampleFile("output-video.avi", SmallVideo(40));
    const std::string full = ScratchDir() + "/output-full.jsonl";
    fs::remove(full);
    fs::create_symlink("/dev/full", full);
    const ProcessResult r = RunReaderProcess({video, "--digit-height", "20", "--passes", full});
    EXPECT_EQ(r.status, 4) << r.err;
    EXPECT_NE(r.err.find("kalvero-read: output could not be written: cannot write passes to '" + full +
                         "': No space left on device"),
              std::string::npos)
        << r.err;
    // Standard output still works: the summary is there, and says so.
    EXPECT_NE(r.out.find("Stopped after frame "), std::string::npos) << r.out;
}

// A video cut short (a copy still being written, a broken download): the
// container still announces the whole count.
std::string TruncatedVideo() {
    const std::string whole = SampleFile("output-whole.avi", SmallVideo(60));
    const std::string cut = ScratchDir() + "/output-cut.avi";
    fs::copy_file(whole, cut, fs::copy_options::overwrite_existing);
    fs::resize_file(cut, fs::file_size(whole) / 2);
    return cut;
}

TEST(ReaderEarlyEnd, TheTextSummarySaysWhereAShortFileEnded) {
    const ProcessResult r = RunReaderProcess({TruncatedVideo(), "--digit-height", "20"});
    ASSERT_EQ(r.status, 0) << r.err;
    std::smatch m;
    ASSERT_TRUE(std::regex_search(r.out, m, std::regex("Summary: ([0-9]+) frames read"))) << r.out;
    const int read = std::stoi(m[1]);
    EXPECT_GT(read, 5);
    EXPECT_LT(read, 55);
    EXPECT_NE(r.out.find("Ended after frame " + std::to_string(read) + " of 60 announced.\n"),
              std::string::npos)
        << r.out;
}

TEST(ReaderEarlyEnd, TheJsonSummaryObjectClosesStandardError) {
    const ProcessResult r = RunReaderProcess({TruncatedVideo(), "--digit-height", "20", "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<std::string> errLines = Lines(r.err);
    ASSERT_FALSE(errLines.empty());
    const std::string frames = std::to_string(Lines(r.out).size());
    EXPECT_EQ(errLines.back(), "{\"summary\": {\"frames_read\": " + frames +
                                   ", \"frames_with_reading\": " + frames +
                                   ", \"numbers_confirmed\": 1, \"interrupted\": false, \"output_failed\": "
                                   "false, \"ended_early\": true, \"frames_announced\": 60, \"damaged_frames\": 0, "
                                   "\"damaged\": []}}")
        << r.err;
}

TEST(ReaderEarlyEnd, AWholeFileEndsWithoutTheLine) {
    const std::string whole = SampleFile("output-whole.avi", SmallVideo(60));
    const ProcessResult r = RunReaderProcess({whole, "--digit-height", "20", "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err.find("Ended after"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("\"ended_early\": false, \"frames_announced\": 60, \"damaged_frames\": 0, \"damaged\": []}}\n"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(Lines(r.out).size(), 60u);
}

// "--" ends the options on the real command line too.
TEST(ReaderCommandLine, DoubleDashLetsAFileNameStartWithADash) {
    const std::string video = SampleFile("output-video.avi", SmallVideo(40));
    const std::string dashed = ScratchDir() + "/-dashed.avi";
    fs::copy_file(video, dashed, fs::copy_options::overwrite_existing);
    const std::string relative = "-dashed.avi";
    const fs::path before = fs::current_path();
    fs::current_path(ScratchDir());
    const ProcessResult refused = RunReaderProcess({relative, "--digit-height", "20"});
    const ProcessResult read = RunReaderProcess({"--digit-height", "20", "--", relative});
    fs::current_path(before);
    EXPECT_EQ(refused.status, 2) << refused.err;
    EXPECT_EQ(refused.err.rfind("kalvero-read: unknown option '-dashed.avi'\n", 0), 0u) << refused.err;
    ASSERT_EQ(read.status, 0) << read.err;
    EXPECT_NE(read.out.find("Summary: 40 frames read"), std::string::npos) << read.out;
}

TEST(ReaderCommandLine, AThresholdAboveTheDepthIsRefused) {
    const std::string video = SampleFile("output-video.avi", SmallVideo(40));
    for (const std::vector<std::string>& extra :
         {std::vector<std::string>{"--threshold", "31"}, {"--threshold", "31", "--depth", "30"},
          {"--depth=10", "--threshold=11"}}) {
        std::vector<std::string> args{video};
        args.insert(args.end(), extra.begin(), extra.end());
        const ProcessResult r = RunReaderProcess(args);
        EXPECT_EQ(r.status, 2) << r.err;
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find("could never confirm a number"), std::string::npos) << r.err;
    }
    // Equal is fine: every reading the vote keeps must agree.
    EXPECT_EQ(RunReaderProcess({video, "--digit-height", "20", "--depth", "10", "--threshold", "10"}).status, 0);
}

}  // namespace
}  // namespace kalvero
