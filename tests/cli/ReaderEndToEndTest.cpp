// kalvero-read run as a separate process on sample videos the test writes.
#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <regex>

#include <gtest/gtest.h>

#include "ReaderProcess.h"
#include "recognition_common/CheckDigit.h"

namespace kalvero {
namespace {

using namespace testing_cli;

SampleOptions MakeSample(const std::string& number, bool light, int digitHeight, cv::Size size,
                int frames = 12) {
    SampleOptions sample;
    sample.number = number;
    sample.lightDigits = light;
    sample.digitHeight = digitHeight;
    sample.size = size;
    sample.frames = frames;
    return sample;
}

// Light digits at the default number, and three numbers holding the digit 1
// (which the reader finds from column profiles alone) in both polarities and
// at two digit heights.
struct Configuration {
    const char* name;
    SampleOptions sample;
};

const Configuration kConfigurations[] = {
    {"light20", MakeSample("52473063", true, 20, {320, 180})},
    {"dark20_with_1", MakeSample("50317809", false, 20, {320, 180})},
    {"dark24_with_1", MakeSample("52413069", false, 24, {320, 180})},
    {"light36_with_1", MakeSample("52471067", true, 36, {400, 240})},
};

class ReaderOnSamples : public ::testing::TestWithParam<Configuration> {};

TEST_P(ReaderOnSamples, ConfirmsTheDrawnNumberAndNoOther) {
    const Configuration& c = GetParam();
    const std::string video = SampleFile(std::string(c.name) + ".avi", c.sample);
    const ProcessResult r =
        RunReaderProcess({video, "--digit-height", std::to_string(c.sample.digitHeight)});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<std::string> lines = Lines(r.out);
    const std::regex change("Frame ([0-9]+): confirmed ([0-9]+), check digit (holds|fails)");
    int changes = 0;
    for (const std::string& line : lines) {
        std::smatch m;
        if (std::regex_match(line, m, change)) {
            ++changes;
            EXPECT_EQ(m[2], c.sample.number) << r.out;
            EXPECT_EQ(m[3], CheckDigitHolds(c.sample.number) ? "holds" : "fails");
            // The learned engine confirms a number read well on three
            // frames in a row: never on the first two.
            EXPECT_GE(std::stoi(m[1]), 3);
        }
    }
    EXPECT_EQ(changes, 1) << r.out;
    EXPECT_NE(r.out.find("Summary: 12 frames read"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("1 number confirmed:\n  " + c.sample.number + "  confirmed in frames "),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("-12, best reading in "), std::string::npos) << r.out;
}

INSTANTIATE_TEST_SUITE_P(Samples, ReaderOnSamples, ::testing::ValuesIn(kConfigurations),
                         [](const ::testing::TestParamInfo<Configuration>& info) {
                             return std::string(info.param.name);
                         });

// Checks every line of a --json output file: a JSON object with exactly the
// documented keys and types, frames numbered 1..N; prints the last
// confirmed text.
const char* const kJsonCheck = R"PY(
import json, sys
path, frames, width, height = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4])
text = open(path, encoding="utf-8").read()
assert text.endswith("\n"), "output must end with a line end"
lines = text[:-1].split("\n")
assert len(lines) == frames, "%d lines for %d frames" % (len(lines), frames)
confirmed = None
for number, line in enumerate(lines, 1):
    o = json.loads(line)
    assert list(o) == ["frame", "time_ms", "readings", "confirmed", "file"], list(o)
    assert isinstance(o["file"], str) and o["file"].endswith(".avi"), o["file"]
    assert o["frame"] == number, (o["frame"], number)
    assert isinstance(o["time_ms"], (int, float)) and o["time_ms"] >= 0
    scores = []
    for r in o["readings"]:
        assert list(r)[:8] == ["text", "x", "y", "width", "height", "score", "check_digit", "engine"], list(r)
        assert r["engine"] in ("glyph", "learned") and list(r)[8:] in ([], ["digit_scores"]), list(r)
        assert isinstance(r["text"], str) and len(r["text"]) == 8
        for k in ("x", "y", "width", "height"):
            assert isinstance(r[k], int)
        assert 0 <= r["x"] and r["x"] + r["width"] <= width, r
        assert 0 <= r["y"] and r["y"] + r["height"] <= height, r
        assert isinstance(r["check_digit"], bool)
        scores.append(r["score"])
    assert scores == sorted(scores, reverse=True), "best first"
    assert o["confirmed"] is None or isinstance(o["confirmed"], str)
    if o["confirmed"] is not None:
        confirmed = o["confirmed"]
print(confirmed)
)PY";

TEST(ReaderJson, PrintsOneValidObjectPerFrameAndNothingElse) {
    const SampleOptions sample = MakeSample("52473063", true, 20, {320, 180});
    const std::string video = SampleFile("json.avi", sample);
    const ProcessResult r = RunReaderProcess({video, "--digit-height", "20", "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string outFile = ScratchDir() + "/json-out.txt";
    std::ofstream(outFile) << r.out;
    std::string checked;
    ASSERT_TRUE(RunPython(kJsonCheck, {outFile, "12", "320", "180"}, checked)) << checked << r.out;
    EXPECT_EQ(checked, sample.number + "\n");
    // The summary goes to standard error so that standard output stays JSON;
    // standard error is a file here, so no progress line is drawn on it.
    EXPECT_NE(r.err.find("1 number confirmed"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find('\r'), std::string::npos) << r.err;
}

TEST(ReaderJson, BoxesAreInFrameCoordinatesWhateverTheZone) {
    SampleOptions sample = MakeSample("52473063", false, 20, {320, 180});
    const std::string still = SampleFile("zone.png", sample);
    const SampleScene scene(sample);
    const cv::Rect number = scene.NumberBox(sample.frames / 2);

    const ProcessResult whole = RunReaderProcess({still, "--digit-height", "20", "--json"});
    const cv::Rect zone(number.x - 20, number.y - 15, number.width + 40, number.height + 30);
    const std::string zoneText = std::to_string(zone.x) + "," + std::to_string(zone.y) + "," +
                                 std::to_string(zone.width) + "," + std::to_string(zone.height);
    const ProcessResult zoned =
        RunReaderProcess({still, "--digit-height", "20", "--json", "--zone", zoneText});
    ASSERT_EQ(whole.status, 0) << whole.err;
    ASSERT_EQ(zoned.status, 0) << zoned.err;
    const std::regex first("\"readings\": \\[\\{\"text\": \"([0-9]+)\", \"x\": ([0-9]+), \"y\": ([0-9]+)");
    std::smatch a;
    std::smatch b;
    ASSERT_TRUE(std::regex_search(whole.out, a, first)) << whole.out;
    ASSERT_TRUE(std::regex_search(zoned.out, b, first)) << zoned.out;
    EXPECT_EQ(a[1], sample.number);
    EXPECT_EQ(b[1], sample.number);
    // The zone changes the binarisation a little, not where the number is.
    for (const std::smatch* m : {&a, &b}) {
        EXPECT_NEAR(std::stoi((*m)[2]), number.x, 6) << whole.out << "\n" << zoned.out;
        EXPECT_NEAR(std::stoi((*m)[3]), number.y, 6) << whole.out << "\n" << zoned.out;
    }

    // A zone beside the number reads nothing.
    const ProcessResult beside =
        RunReaderProcess({still, "--digit-height", "20", "--json", "--zone", "0,0,60,60"});
    ASSERT_EQ(beside.status, 0) << beside.err;
    EXPECT_NE(beside.out.find("\"readings\": []"), std::string::npos) << beside.out;
}

TEST(ReaderStill, AStillImageIsReadAsOneFrame) {
    const SampleOptions sample = MakeSample("52413069", true, 24, {320, 180});
    const std::string still = SampleFile("still.png", sample);
    // The learned engine: a still's one frame is all there is to see, so a
    // well-scored reading whose check digit holds confirms it.
    ProcessResult r = RunReaderProcess({still});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Lines(r.out).at(0), "Frame 1: confirmed 52413069, check digit holds") << r.out;
    // The glyph engine's vote: one frame cannot reach the threshold of 5;
    // the reading is listed.
    r = RunReaderProcess({still, "--digit-height", "24", "--engine", "glyph"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(std::regex_match(
        r.out, std::regex("Summary: 1 frame read, a reading in 1, no number confirmed\\.\n"
                          "Best readings never confirmed:\n"
                          "  52413069  best reading in 1 frame, best score [0-9]+\\.[0-9]{3}, "
                          "check digit holds\n")))
        << r.out;
    r = RunReaderProcess({still, "--digit-height", "24", "--engine", "glyph", "--threshold", "1", "--verbose"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<std::string> lines = Lines(r.out);
    ASSERT_GE(lines.size(), 3u) << r.out;
    EXPECT_TRUE(std::regex_match(lines[0], std::regex("Frame #1: Time recognition: [0-9]+\\.[0-9]{3} s")))
        << lines[0];
    EXPECT_EQ(lines[1], "Frame 1: confirmed 52413069, check digit holds");
    EXPECT_EQ(lines[2], "Summary: 1 frame read, a reading in 1, 1 number confirmed:");
}

TEST(ReaderExplain, TracesEveryFrameOnStandardError) {
    const SampleOptions sample = MakeSample("52473063", true, 20, {320, 180}, 6);
    const std::string video = SampleFile("explain.avi", sample);
    const ProcessResult r = RunReaderProcess({video, "--digit-height", "20", "--explain", "--json", "--engine", "glyph"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string errFile = ScratchDir() + "/explain-err.txt";
    std::ofstream(errFile) << r.err;
    const char* const check = R"PY(
import json, sys
frames = 0
summaries = 0
for line in open(sys.argv[1], encoding="utf-8"):
    if not line.startswith("{"):
        continue  # the summary
    o = json.loads(line)
    assert summaries == 0, "the summary object comes last"
    if "summary" in o:
        assert list(o) == ["summary"], o
        summaries += 1
        continue
    frames += 1
    assert o["frame"] == frames
    assert list(o) == ["frame", "scan_modes", "regions"]
    modes = [m["mode"] for m in o["scan_modes"]]
    assert set(modes) <= {1, 3}, modes
    texts = [r["text"] for r in o["regions"]]
    for r in o["regions"]:
        assert (r["text"] is None) != (r["reason"] is None), r
    assert "52473063" in texts, texts
assert frames == 6, frames
assert summaries == 1, summaries
)PY";
    std::string output;
    EXPECT_TRUE(RunPython(check, {errFile}, output)) << output << r.err;
    EXPECT_EQ(Lines(r.out).size(), 6u);
}

TEST(ReaderBrokenVideo, ATruncatedVideoEndsWithTheSummaryAndStatusZero) {
    const SampleOptions sample = MakeSample("52473063", true, 20, {320, 180}, 16);
    const std::string video = SampleFile("whole.avi", sample);
    const std::string cut = ScratchDir() + "/cut.avi";
    {
        std::ifstream in(video, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::ofstream(cut, std::ios::binary) << bytes.substr(0, bytes.size() * 6 / 10);
    }
    const ProcessResult r = RunReaderProcess({cut, "--digit-height", "20"});
    ASSERT_EQ(r.status, 0) << r.err;
    std::smatch m;
    ASSERT_TRUE(std::regex_search(r.out, m, std::regex("Summary: ([0-9]+) frames read"))) << r.out;
    EXPECT_GE(std::stoi(m[1]), 5);
    EXPECT_LT(std::stoi(m[1]), 16);
    EXPECT_NE(r.out.find("confirmed 52473063"), std::string::npos) << r.out;
}

TEST(ReaderInterrupt, CtrlCEndsTheRunAfterTheCurrentFrameAndStillSummarises) {
    const SampleOptions sample = MakeSample("52473063", true, 20, {320, 180}, 200);
    const std::string video = SampleFile("long.avi", sample);
    const ProcessResult r = InterruptReaderProcess({video, "--digit-height", "20", "--json"}, 2);
    ASSERT_EQ(r.status, 0) << r.err;
    const std::size_t frames = Lines(r.out).size();
    EXPECT_GE(frames, 2u);
    EXPECT_LT(frames, 200u);
    EXPECT_NE(r.err.find("Interrupted after frame " + std::to_string(frames) + "."),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("Summary: " + std::to_string(frames) + " frames read"), std::string::npos)
        << r.err;    // Stopped on purpose: not a file that ended early, though it announced 200.
    EXPECT_EQ(r.err.find("Ended after"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("\"interrupted\": true, \"output_failed\": false, \"ended_early\": false, "
                         "\"frames_announced\": 200, \"damaged_frames\": 0, \"damaged\": []}}"),
              std::string::npos)
        << r.err;
}

// What service managers, containers and a closed terminal send ends the run
// like Ctrl-C: the frame in hand finishes, the pass open at that moment is
// closed and written, the summary and the report are written, status 0.
class ReaderStopSignal : public ::testing::TestWithParam<int> {};

TEST_P(ReaderStopSignal, EndsTheRunLikeCtrlCAndWritesTheOpenPassAndTheReport) {
    const SampleOptions sample = MakeSample("52473063", true, 20, {320, 180}, 200);
    const std::string video = SampleFile("long.avi", sample);
    const std::string tag = std::to_string(GetParam());
    const std::string passes = ScratchDir() + "/stop-" + tag + ".jsonl";
    const std::string report = ScratchDir() + "/stop-" + tag + ".html";
    // The number is in view from the first frame: a pass is open when the
    // signal comes.
    const ProcessResult r = InterruptReaderProcess(
        {video, "--digit-height", "20", "--json", "--passes", passes, "--report", report}, 12, GetParam());
    ASSERT_EQ(r.status, 0) << r.err;
    const std::size_t frames = Lines(r.out).size();
    EXPECT_LT(frames, 200u);
    EXPECT_NE(r.err.find("Interrupted after frame " + std::to_string(frames) + "."), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("\"interrupted\": true"), std::string::npos) << r.err;
    const std::vector<std::string> passLines = Lines(ReadFile(passes));
    ASSERT_EQ(passLines.size(), 1u) << ReadFile(passes);
    EXPECT_NE(passLines.front().find("\"number\": \"52473063\""), std::string::npos) << passLines.front();
    EXPECT_NE(ReadFile(report).find("52473063"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(TermAndHangUp, ReaderStopSignal, ::testing::Values(SIGTERM, SIGHUP),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return std::string(info.param == SIGTERM ? "SIGTERM" : "SIGHUP");
                         });

}  // namespace
}  // namespace kalvero
