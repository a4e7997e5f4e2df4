// The pieces that keep a live input's output flowing and its memory flat:
// lines handed on as they are written, and a stream's account (frames
// skipped, readings kept) in the summaries.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cli/LineForwarder.h"
#include "cli/ReadReport.h"

namespace kalvero {
namespace {

TEST(LineForwarder, HandsOnEachLineAsItsNewlineIsWrittenAndTheRestAtTheEnd) {
    std::vector<std::string> lines;
    {
        LineForwarder out([&](const std::string& line) { lines.push_back(line); });
        out << "Frame 12: confirmed ";
        EXPECT_TRUE(lines.empty());
        out << "52473063\nSummary: 3 frames";
        out.flush();  // a flush does not cut a line
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_EQ(lines[0], "Frame 12: confirmed 52473063\n");
        out << " read\n" << 'x' << '\n' << "unfinished";
        ASSERT_EQ(lines.size(), 3u);
        EXPECT_EQ(lines[1], "Summary: 3 frames read\n");
        EXPECT_EQ(lines[2], "x\n");
    }
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[3], "unfinished");
}

FrameReport FrameWith(int number, const std::string& best, long long skippedBefore) {
    FrameReport report;
    report.frameNumber = number;
    report.skippedBefore = skippedBefore;
    if (!best.empty()) {
        Reading reading;
        reading.text = best;
        reading.score = 0.9f;
        report.readings.push_back(reading);
    }
    return report;
}

TEST(LiveReadReport, CountsSkippedFramesInBothSummariesAndNamesTheStream) {
    ReadReport report;
    report.SetLiveInput("udp://127.0.0.1:5000");
    report.AddFrame(FrameWith(1, "", 0));
    report.AddFrame(FrameWith(2, "", 7));
    report.AddFrame(FrameWith(3, "", 5));
    EXPECT_EQ(report.FramesSkipped(), 12);
    EXPECT_NE(report.Summary().find("Summary: 3 frames read, a reading in 0, 12 frames skipped to keep up with "
                                    "the stream, no number confirmed.\n"),
              std::string::npos)
        << report.Summary();
    EXPECT_NE(report.SummaryJsonLine().find(
                  "\"frames_skipped\": 12, \"file\": \"udp://127.0.0.1:5000\"}}\n"),
              std::string::npos)
        << report.SummaryJsonLine();
}

TEST(LiveReadReport, KeepsItsBestReadingsBoundedAndTheFrequentOnes) {
    ReadReport report;
    report.SetLiveInput("rtsp://camera/1");
    int frame = 0;
    // A frequent misreading among thousands of one-off ones, as a camera
    // gives over days.
    for (int i = 0; i < 3 * static_cast<int>(ReadReport::kLiveReadingsKept); ++i) {
        report.AddFrame(FrameWith(++frame, "1" + std::to_string(1000000 + i), 0));
        if (i % 10 == 0) {
            report.AddFrame(FrameWith(++frame, "99999999", 0));
        }
    }
    EXPECT_LE(report.ReadingsHeld(), ReadReport::kLiveReadingsKept + 1);
    const std::vector<ConfirmedNumber> others = report.Unconfirmed();
    ASSERT_FALSE(others.empty());
    EXPECT_EQ(others.front().text, "99999999");
    EXPECT_EQ(others.front().bestReadingFrames, 3 * static_cast<int>(ReadReport::kLiveReadingsKept) / 10 + 1);
    EXPECT_EQ(report.FramesWithReading(), frame);
}

TEST(LiveReadReport, AFileKeepsItsSummaryLineAsItWas) {
    ReadReport report;
    report.AddFrame(FrameWith(1, "", 3));
    EXPECT_EQ(report.SummaryJsonLine().find("frames_skipped"), std::string::npos);
    EXPECT_EQ(report.Summary().find("skipped"), std::string::npos);
}

}  // namespace
}  // namespace kalvero
