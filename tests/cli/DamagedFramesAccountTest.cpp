// Frames lost to damage and times of day, from the run loop's frame
// reports to the summary and the passes: where the spans land, what they
// add up to, and which pass they belong to.
#include <chrono>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cli/PassFile.h"
#include "cli/PassTracker.h"
#include "cli/ReadReport.h"
#include "cli/UtcOffset.h"

namespace kalvero {
namespace {

constexpr int kDepth = 10;

// Frame `number` of the run reading `text` (empty: nothing), confirmed, with
// `lost` frames lost right before it.
FrameReport Frame(int number, const std::string& text, long long lost = 0) {
    FrameReport report;
    report.frameNumber = number;
    report.timestampMs = (number - 1) * 40.0;
    if (lost > 0) {
        report.damageBefore = DamagedGap{lost, (number - 2) * 40.0, report.timestampMs};
    }
    if (!text.empty()) {
        Reading reading;
        reading.text = text;
        reading.box = cv::Rect(10, 10, 40, 12);
        reading.score = 0.9f;
        report.readings.push_back(reading);
        report.voted = text;
        report.voteCode = 0;
        report.confirmed = text;
    }
    return report;
}

TEST(DamagedFrames, TheSummaryAddsUpAndPlacesEverySpan) {
    ReadReport report;
    report.SetAnnouncedFrames(100);
    for (int f = 1; f <= 80; ++f) {
        report.AddFrame(Frame(f, "", f == 31 ? 3 : f == 60 ? 16 : 0));
    }
    EXPECT_EQ(report.DamagedFrames(), 19);
    ASSERT_EQ(report.DamagedSpans().size(), 2u);
    EXPECT_EQ(report.DamagedSpans()[0].afterFrame, 30);
    EXPECT_EQ(report.DamagedSpans()[1].afterFrame, 59);
    EXPECT_DOUBLE_EQ(report.DamagedSpans()[1].toSeconds, 2.36);
    EXPECT_NE(report.Summary().find("Damaged: 19 frames could not be decoded and were skipped: after frame 30 "
                                    "(3 frames, 1.160-1.200 s), after frame 59 (16 frames, 2.320-2.360 s).\n"),
              std::string::npos)
        << report.Summary();
    EXPECT_NE(report.SummaryJsonLine().find(
                  "\"damaged_frames\": 19, \"damaged\": [{\"after_frame\": 30, \"frames\": 3, \"from_s\": 1.160, "
                  "\"to_s\": 1.200}, {\"after_frame\": 59, \"frames\": 16, \"from_s\": 2.320, \"to_s\": 2.360}]}}"),
              std::string::npos)
        << report.SummaryJsonLine();
    // 80 read and 19 lost of 100 announced: one frame short, no early end;
    // without the lost ones it would be one.
    EXPECT_FALSE(report.EndedEarly());
    ReadReport undamaged;
    undamaged.SetAnnouncedFrames(100);
    for (int f = 1; f <= 80; ++f) undamaged.AddFrame(Frame(f, ""));
    EXPECT_TRUE(undamaged.EndedEarly());
    EXPECT_EQ(undamaged.Summary().find("Damaged"), std::string::npos);
}

std::vector<CarriagePass> PassesOf(const std::vector<FrameReport>& frames) {
    PassTracker tracker("cam.mp4", kDepth);
    std::vector<CarriagePass> passes;
    for (const FrameReport& frame : frames) {
        for (CarriagePass& p : tracker.AddFrame(PassFrameFrom(frame))) passes.push_back(std::move(p));
    }
    for (CarriagePass& p : tracker.Finish()) passes.push_back(std::move(p));
    return passes;
}

TEST(DamagedFrames, APassListsTheSpansBetweenItsFirstAndLastFrameOnly) {
    std::vector<FrameReport> frames;
    for (int f = 1; f <= 5; ++f) frames.push_back(Frame(f, ""));
    frames.push_back(Frame(6, "52473063", 7));  // lost before the pass starts
    for (int f = 7; f <= 20; ++f) frames.push_back(Frame(f, "52473063", f == 12 ? 4 : 0));
    frames.push_back(Frame(21, "", 2));  // inside: the number is read again after it
    frames.push_back(Frame(22, "", 0));
    frames.push_back(Frame(23, "52473063", 0));
    frames.push_back(Frame(24, "", 5));  // after the pass's last frame
    for (int f = 25; f <= 40; ++f) frames.push_back(Frame(f, "", 0));
    frames.push_back(Frame(41, "58241837", 1));  // the next pass's first frame: not its damage
    for (int f = 42; f <= 50; ++f) frames.push_back(Frame(f, "58241837", f == 45 ? 9 : 0));

    const std::vector<CarriagePass> passes = PassesOf(frames);
    ASSERT_EQ(passes.size(), 2u);
    ASSERT_EQ(passes[0].damaged.size(), 2u);
    EXPECT_EQ(passes[0].damaged[0].afterFrame, 11);
    EXPECT_EQ(passes[0].damaged[0].frames, 4);
    EXPECT_EQ(passes[0].damaged[1].afterFrame, 20);
    EXPECT_EQ(passes[0].damaged[1].frames, 2);
    EXPECT_EQ(passes[0].DamagedFrames(), 6);
    ASSERT_EQ(passes[1].damaged.size(), 1u);
    EXPECT_EQ(passes[1].damaged[0].afterFrame, 44);
    // Both forms of the pass file carry them at the end of the record.
    EXPECT_NE(PassFile::JsonRecord(passes[0]).find(", \"damaged_frames\": 6, \"damaged\": [[11, 4], [20, 2]]}"),
              std::string::npos)
        << PassFile::JsonRecord(passes[0]);
    const std::string csv = PassFile::CsvRecord(passes[0]);
    EXPECT_EQ(csv.substr(csv.size() - 12), ",6,11+4 20+2") << csv;
}

TEST(TimesOfDay, APassTakesTheTimesOfItsFirstAndLastFrame) {
    const TimeOfDay created = *ParseIsoUtc("2026-12-08T10:00:00Z");
    std::vector<FrameReport> frames;
    for (int f = 1; f <= 30; ++f) {
        frames.push_back(Frame(f, f >= 5 && f <= 20 ? "52473063" : ""));
        if (f != 12) {  // one frame without a time of day changes nothing at the ends
            frames.back().wallTime = created + std::chrono::milliseconds(40 * (f - 1));
        }
    }
    const std::vector<CarriagePass> passes = PassesOf(frames);
    ASSERT_EQ(passes.size(), 1u);
    ASSERT_TRUE(passes[0].startTime && passes[0].endTime);
    EXPECT_EQ(IsoUtc(*passes[0].startTime), "2026-12-08T10:00:00.160Z");
    EXPECT_EQ(IsoUtc(*passes[0].endTime), "2026-12-08T10:00:00.760Z");
    EXPECT_NE(PassFile::JsonRecord(passes[0])
                  .find("\"end_s\": 0.760, \"start_time\": \"2026-12-08T10:00:00.160Z\", "
                        "\"end_time\": \"2026-12-08T10:00:00.760Z\", \"first_confirmed_frame\""),
              std::string::npos);
    EXPECT_NE(PassFile::CsvRecord(passes[0]).find(",0.760,2026-12-08T10:00:00.160Z,2026-12-08T10:00:00.760Z,"),
              std::string::npos);
}

struct OffsetCase {
    const char* text;
    std::optional<int> minutes;
};

class UtcOffsetText : public ::testing::TestWithParam<OffsetCase> {};

TEST_P(UtcOffsetText, ParsesOnlyTheFormsOfTheOption) {
    EXPECT_EQ(ParseUtcOffset(GetParam().text), GetParam().minutes) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Forms, UtcOffsetText,
    ::testing::Values(OffsetCase{"Z", 0}, OffsetCase{"z", 0}, OffsetCase{"+00:00", 0}, OffsetCase{"-00:00", 0},
                      OffsetCase{"+05:45", 345}, OffsetCase{"-09:30", -570}, OffsetCase{"+14:00", 840},
                      OffsetCase{"-12:00", -720}, OffsetCase{"+14:01", std::nullopt},
                      OffsetCase{"-12:01", std::nullopt}, OffsetCase{"+01:60", std::nullopt},
                      OffsetCase{"01:00", std::nullopt}, OffsetCase{"+1:00", std::nullopt},
                      OffsetCase{"+0100", std::nullopt}, OffsetCase{"+01:00 ", std::nullopt},
                      OffsetCase{"+0a:00", std::nullopt}, OffsetCase{"", std::nullopt},
                      OffsetCase{"UTC", std::nullopt}));

TEST(TimesOfDay, TheLocalOffsetFollowsSummerTimeOfTheZone) {
    const char* before = std::getenv("TZ");
    const std::string kept = before != nullptr ? before : "";
    setenv("TZ", "Europe/Berlin", 1);
    tzset();
    EXPECT_EQ(LocalOffsetMinutes(*ParseIsoUtc("2026-12-08T10:00:00Z")), 60);
    EXPECT_EQ(LocalOffsetMinutes(*ParseIsoUtc("2026-07-08T10:00:00Z")), 120);
    EXPECT_EQ(SummaryTimeText(*ParseIsoUtc("2026-07-08T10:00:00Z"), std::nullopt), "2026-07-08 12:00:00.000 +02:00");
    EXPECT_EQ(SummaryTimeText(*ParseIsoUtc("2026-07-08T10:00:00Z"), -90), "2026-07-08 08:30:00.000 -01:30");
    if (before != nullptr) {
        setenv("TZ", kept.c_str(), 1);
    } else {
        unsetenv("TZ");
    }
    tzset();
}

}  // namespace
}  // namespace kalvero
