#include <gtest/gtest.h>

#include <sstream>

#include "cli/ExplainTrace.h"
#include "cli/JsonOutput.h"
#include "cli/ProgressLine.h"
#include "cli/ReadReport.h"

namespace kalvero {
namespace {

Reading Entry(const char* name, int x, int y, int w, int h, float score) {
    Reading reading;
    reading.text = name;
    reading.box = cv::Rect(x, y, w, h);
    reading.score = score;
    return reading;
}

FrameReport Frame(int number, std::vector<Reading> readings, int voteCode,
                  const std::string& confirmed = "") {
    FrameReport r;
    r.frameNumber = number;
    r.readings = std::move(readings);
    r.voteCode = voteCode;
    r.confirmed = confirmed;
    r.zone = cv::Rect(100, 50, 300, 200);
    r.recognitionSeconds = 0.012f;
    r.recognitionMs = 12.3456;
    return r;
}

TEST(JsonOutput, EscapesStringsIntoValidJson) {
    EXPECT_EQ(JsonString("52473063"), "\"52473063\"");
    EXPECT_EQ(JsonString("a\"b\\c"), "\"a\\\"b\\\\c\"");
    EXPECT_EQ(JsonString("line\nnext\ttab"), "\"line\\nnext\\ttab\"");
    EXPECT_EQ(JsonString(std::string("\x01\x1f", 2)), "\"\\u0001\\u001f\"");
    // Valid UTF-8 passes unchanged, stray bytes become U+FFFD.
    EXPECT_EQ(JsonString("\xd0\x9e\xd0\x9a"), "\"\xd0\x9e\xd0\x9a\"");
    EXPECT_EQ(JsonString("a\xff" "b"), "\"a\\ufffdb\"");
    EXPECT_EQ(JsonString("\xd0"), "\"\\ufffd\"");          // cut sequence
    EXPECT_EQ(JsonString("\xc0\xaf"), "\"\\ufffd\\ufffd\"");  // overlong form
    EXPECT_EQ(JsonNumber(1.23456), "1.235");
    EXPECT_EQ(JsonNumber(std::nan("")), "null");
}

TEST(JsonOutput, FrameLineHasFrameCoordinatesCheckDigitsAndTheConfirmedText) {
    const FrameReport confirmed =
        Frame(7, {Entry("52473063", 10, 20, 150, 31, 1.25f), Entry("52473068", 12, 21, 148, 30, 0.5f)},
              0, "52473063");
    EXPECT_EQ(FrameJsonLine(confirmed),
              "{\"frame\": 7, \"time_ms\": 12.35, \"readings\": ["
              "{\"text\": \"52473063\", \"x\": 110, \"y\": 70, \"width\": 150, \"height\": 31, "
              "\"score\": 1.250, \"check_digit\": true, \"engine\": \"glyph\"}, "
              "{\"text\": \"52473068\", \"x\": 112, \"y\": 71, \"width\": 148, \"height\": 30, "
              "\"score\": 0.500, \"check_digit\": false, \"engine\": \"glyph\"}], \"confirmed\": \"52473063\"}");
    // Not confirmed in this frame (the vote said 2): null, even though a
    // banner text from an earlier frame might be lying around.
    const FrameReport open = Frame(8, {}, 2, "52473063");
    EXPECT_EQ(FrameJsonLine(open),
              "{\"frame\": 8, \"time_ms\": 12.35, \"readings\": [], \"confirmed\": null}");
    // The learned engine's readings carry the confidence of every digit.
    FrameReport learned = Frame(10, {Entry("52473063", 0, 0, 150, 31, 0.9f)}, 2);
    learned.engine = RecognitionEngine::Learned;
    learned.readings[0].engine = RecognitionEngine::Learned;
    learned.readings[0].digitScores = {1.0f, 0.99f, 0.98f, 0.97f, 0.96f, 0.995f, 1.0f, 0.9999f};
    EXPECT_NE(FrameJsonLine(learned).find("\"engine\": \"learned\", \"digit_scores\": [1.000, 0.990, 0.980, "
                                          "0.970, 0.960, 0.995, 1.000, 1.000]}"),
              std::string::npos)
        << FrameJsonLine(learned);
    const std::string noVote = FrameJsonLine(Frame(9, {}, kNoVote, "52473063"));
    EXPECT_NE(noVote.find("\"confirmed\": null}"), std::string::npos) << noVote;
}

TEST(ReadReport, PrintsALineOnlyWhenTheConfirmedNumberChanges) {
    ReadReport report;
    EXPECT_FALSE(report.AddFrame(Frame(1, {Entry("52473063", 0, 0, 1, 1, 1.0f)}, 2)));
    auto line = report.AddFrame(Frame(2, {Entry("52473063", 0, 0, 1, 1, 1.5f)}, 0, "52473063"));
    ASSERT_TRUE(line);
    EXPECT_EQ(*line, "Frame 2: confirmed 52473063, check digit holds");
    EXPECT_FALSE(report.AddFrame(Frame(3, {Entry("52473063", 0, 0, 1, 1, 0.5f)}, 0, "52473063")));
    // A frame that confirms nothing is no change; the same number
    // confirmed again afterwards is not announced twice.
    EXPECT_FALSE(report.AddFrame(Frame(4, {}, 2)));
    EXPECT_FALSE(report.AddFrame(Frame(5, {Entry("52473063", 0, 0, 1, 1, 0.7f)}, 0, "52473063")));
    line = report.AddFrame(Frame(6, {Entry("12345678", 0, 0, 1, 1, 2.0f)}, 0, "12345678"));
    ASSERT_TRUE(line);
    EXPECT_EQ(*line, "Frame 6: confirmed 12345678, check digit fails");
    line = report.AddFrame(Frame(7, {Entry("52473063", 0, 0, 1, 1, 0.1f)}, 0, "52473063"));
    ASSERT_TRUE(line);
    EXPECT_EQ(*line, "Frame 7: confirmed 52473063, check digit holds");
}

TEST(ReadReport, SummaryListsEachConfirmedNumberWithItsFigures) {
    ReadReport report;
    report.AddFrame(Frame(1, {Entry("52473063", 0, 0, 1, 1, 1.0f)}, 2));
    report.AddFrame(Frame(2, {}, 2));
    report.AddFrame(Frame(3, {Entry("99999999", 0, 0, 1, 1, 3.0f), Entry("52473063", 0, 0, 1, 1, 9.0f)}, 2));
    report.AddFrame(Frame(4, {Entry("52473063", 0, 0, 1, 1, 1.75f)}, 0, "52473063"));
    report.AddFrame(Frame(5, {Entry("52473063", 0, 0, 1, 1, 1.5f)}, 0, "52473063"));
    report.AddFrame(Frame(6, {}, 0, "52473063"));
    report.AddFrame(Frame(7, {Entry("12345678", 0, 0, 1, 1, 0.25f)}, 2));
    const auto confirmed = report.Confirmed();
    ASSERT_EQ(confirmed.size(), 1u);
    EXPECT_EQ(confirmed[0].firstConfirmedFrame, 4);
    EXPECT_EQ(confirmed[0].lastConfirmedFrame, 6);
    // Best reading in frames 1, 4 and 5; frame 3's 9.0 was not the best.
    EXPECT_EQ(confirmed[0].bestReadingFrames, 3);
    EXPECT_FLOAT_EQ(confirmed[0].bestScore, 1.75f);
    EXPECT_EQ(report.FramesRead(), 7);
    EXPECT_EQ(report.FramesWithReading(), 5);
    EXPECT_EQ(report.Summary(),
              "Summary: 7 frames read, a reading in 5, 1 number confirmed:\n"
              "  52473063  confirmed in frames 4-6, best reading in 3 frames, best score 1.750, "
              "check digit holds\n"
              "Best readings never confirmed:\n"
              "  99999999  best reading in 1 frame, best score 3.000, check digit fails\n"
              "  12345678  best reading in 1 frame, best score 0.250, check digit fails\n");

    // Never-confirmed readings: the most frequent first, at most five.
    ReadReport many;
    int frame = 0;
    for (int copies = 1; copies <= 7; ++copies) {
        const std::string text = "1111111" + std::to_string(copies);
        for (int k = 0; k < copies; ++k) {
            many.AddFrame(Frame(++frame, {Entry(text.c_str(), 0, 0, 1, 1, 0.5f)}, 2));
        }
    }
    const auto unconfirmed = many.Unconfirmed();
    ASSERT_EQ(unconfirmed.size(), 5u);
    EXPECT_EQ(unconfirmed.front().text, "11111117");
    EXPECT_EQ(unconfirmed.front().bestReadingFrames, 7);
    EXPECT_EQ(unconfirmed.back().text, "11111113");

    ReadReport empty;
    empty.AddFrame(Frame(1, {}, 1));
    empty.MarkInterrupted();
    EXPECT_EQ(empty.Summary(),
              "Interrupted after frame 1.\nSummary: 1 frame read, a reading in 0, no number "
              "confirmed.\n");
}

// A report of `read` frames from a file that announced `announced`.
ReadReport ReadOf(int read, long long announced) {
    ReadReport report;
    for (int i = 1; i <= read; ++i) {
        report.AddFrame(Frame(i, {}, 1));
    }
    report.SetAnnouncedFrames(announced);
    return report;
}

struct EarlyEndCase {
    int read;
    long long announced;
    bool endedEarly;
};

class ReadReportEarlyEnd : public ::testing::TestWithParam<EarlyEndCase> {};

TEST_P(ReadReportEarlyEnd, OnlyAClearShortfallCounts) {
    const EarlyEndCase& c = GetParam();
    const ReadReport report = ReadOf(c.read, c.announced);
    EXPECT_EQ(report.EndedEarly(), c.endedEarly) << c.read << " of " << c.announced;
    const std::string line = "Ended after frame " + std::to_string(c.read) + " of " +
                             std::to_string(c.announced) + " announced.\n";
    EXPECT_EQ(report.Summary().find(line) != std::string::npos, c.endedEarly) << report.Summary();
    EXPECT_NE(report.SummaryJsonLine().find(std::string("\"ended_early\": ") +
                                            (c.endedEarly ? "true" : "false")),
              std::string::npos)
        << report.SummaryJsonLine();
}

INSTANTIATE_TEST_SUITE_P(
    Shortfalls, ReadReportEarlyEnd,
    ::testing::Values(EarlyEndCase{31, 60, true}, EarlyEndCase{58, 60, true},
                      EarlyEndCase{59, 60, false},     // one frame: a count off by one
                      EarlyEndCase{990, 1000, false},  // 1 in 100: an estimated count
                      EarlyEndCase{989, 1000, true}, EarlyEndCase{0, 60, true},
                      EarlyEndCase{60, 60, false}, EarlyEndCase{61, 60, false},
                      EarlyEndCase{5, 0, false}));  // nothing announced

TEST(ReadReport, AStopOnPurposeOrForTheOutputIsNoEarlyEnd) {
    ReadReport interrupted = ReadOf(10, 60);
    interrupted.MarkInterrupted();
    EXPECT_FALSE(interrupted.EndedEarly());
    EXPECT_EQ(interrupted.Summary().find("Ended after"), std::string::npos);
    ReadReport failed = ReadOf(10, 60);
    failed.MarkOutputFailed();
    EXPECT_FALSE(failed.EndedEarly());
    EXPECT_EQ(failed.Summary().rfind("Stopped after frame 10: the output could not be written.\nSummary: ", 0), 0u)
        << failed.Summary();
    EXPECT_EQ(failed.SummaryJsonLine(),
              "{\"summary\": {\"frames_read\": 10, \"frames_with_reading\": 0, \"numbers_confirmed\": 0, "
              "\"interrupted\": false, \"output_failed\": true, \"ended_early\": false, "
              "\"frames_announced\": 60, \"damaged_frames\": 0, \"damaged\": []}}\n");
    EXPECT_NE(ReadOf(3, 0).SummaryJsonLine().find("\"frames_announced\": null, "), std::string::npos);
}

TEST(ProgressLine, ShowsTotalRateAndTimeLeftAndStaysSilentWhenDisabled) {
    EXPECT_EQ(ProgressLine::Format(40, 120, 2.0), "Frame 40/120  20.0 frames/s  0:04 left");
    EXPECT_EQ(ProgressLine::Format(10, 2000, 1.0), "Frame 10/2000  10.0 frames/s  3:19 left");
    EXPECT_EQ(ProgressLine::Format(5, 0, 1.0), "Frame 5  5.0 frames/s");
    EXPECT_EQ(ProgressLine::Format(0, 10, 0.0), "Frame 0/10  0.0 frames/s  --:-- left");

    std::ostringstream silent;
    ProgressLine off(silent, false, 100);
    off.Update(1);
    off.Clear();
    EXPECT_TRUE(silent.str().empty());

    std::ostringstream shown;
    ProgressLine on(shown, true, 100);
    const auto t0 = ProgressLine::Clock::now();
    on.Update(1, t0);
    EXPECT_EQ(shown.str().substr(0, 13), "\rFrame 1/100 ");
    const std::size_t afterFirst = shown.str().size();
    on.Update(2, t0 + std::chrono::milliseconds(20));  // too soon: not redrawn
    EXPECT_EQ(shown.str().size(), afterFirst);
    on.Clear();  // blanks the line and returns to its start
    EXPECT_EQ(shown.str().back(), '\r');
    on.Update(3, t0 + std::chrono::milliseconds(40));  // hidden: drawn at once
    EXPECT_NE(shown.str().find("Frame 3/100"), std::string::npos);
}

TEST(ExplainTrace, GroupsCandidatesByScanModeAndAttachesStripsToTheirRegion) {
    ExplainTrace trace;
    CandidateRegion a{10, 5, 80, 20, 301, {}, 0.0f};
    CandidateRegion b{12, 40, 60, 22, 303, {}, 0.0f};
    CandidateRegion c{30, 6, 70, 18, 301, {}, 0.0f};
    trace.OnCandidates({a, b, c});
    trace.OnStrip(a, 0, 6, "5247306", 7);
    trace.OnStrip(a, 1, 8, "52473063", 8);
    trace.OnRegionResult(a, "52473063", "");
    trace.OnRegionResult(b, "", "no reading");
    trace.OnRegionResult(c, "", "say \"why\"");
    const std::string line = trace.TakeFrameLine(4, cv::Point(100, 200));
    EXPECT_EQ(line,
              "{\"frame\": 4, \"scan_modes\": ["
              "{\"mode\": 1, \"type\": 301, \"candidates\": [{\"x\": 110, \"y\": 205, \"width\": 80, "
              "\"height\": 20}, {\"x\": 130, \"y\": 206, \"width\": 70, \"height\": 18}]}, "
              "{\"mode\": 3, \"type\": 303, \"candidates\": [{\"x\": 112, \"y\": 240, \"width\": 60, "
              "\"height\": 22}]}], \"regions\": ["
              "{\"x\": 110, \"y\": 205, \"width\": 80, \"height\": 20, \"type\": 301, \"strips\": ["
              "{\"strip\": 0, \"digit_candidates\": 6, \"digits\": \"5247306\", \"assembled\": 7}, "
              "{\"strip\": 1, \"digit_candidates\": 8, \"digits\": \"52473063\", \"assembled\": 8}], "
              "\"text\": \"52473063\", \"reason\": null}, "
              "{\"x\": 112, \"y\": 240, \"width\": 60, \"height\": 22, \"type\": 303, \"strips\": [], "
              "\"text\": null, \"reason\": \"no reading\"}, "
              "{\"x\": 130, \"y\": 206, \"width\": 70, \"height\": 18, \"type\": 301, \"strips\": [], "
              "\"text\": null, \"reason\": \"say \\\"why\\\"\"}]}");
    // The next frame starts empty.
    EXPECT_EQ(trace.TakeFrameLine(5, cv::Point(0, 0)),
              "{\"frame\": 5, \"scan_modes\": [], \"regions\": []}");
}

}  // namespace
}  // namespace kalvero
