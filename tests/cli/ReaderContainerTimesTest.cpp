// Pass times from the container: the same frames as H.264 MP4, HEVC MKV,
// MPEG-TS, MPEG-4 AVI and Motion-JPEG AVI give the same start_s and end_s
// within one frame, the last pass ending in the file's last frames
// included; a file's creation_time gives the passes their times of day.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "GeneratedMedia.h"
#include "ReaderProcess.h"
#include "cli/TimeOfDay.h"

namespace kalvero {
namespace {

using namespace testing_cli;

constexpr double kFrameSeconds = 1.0 / 25.0;
constexpr int kFramesEach = 60;

// Two carriages, the second one still in view in the last frame.
const std::string& SourceVideo() {
    static const std::string path = [] {
        const std::string source = ScratchDir() + "/times-source.avi";
        EXPECT_TRUE(WritePassesVideo(source, PassNumbers(2), kFramesEach));
        return source;
    }();
    return path;
}

std::vector<nlohmann::json> PassesOf(const std::string& video, const std::vector<std::string>& more = {}) {
    const std::string passes = video + ".jsonl";
    std::remove(passes.c_str());  // pass files are appended to
    std::vector<std::string> args = {video, "--passes", passes};
    args.insert(args.end(), more.begin(), more.end());
    const ProcessResult r = RunReaderProcess(args);
    EXPECT_EQ(r.status, 0) << r.err;
    std::vector<nlohmann::json> list;
    std::ifstream in(passes);
    for (std::string line; std::getline(in, line);) list.push_back(nlohmann::json::parse(line));
    return list;
}

struct Container {
    const char* name;
    const char* encode;
};

class ReaderContainerTimes : public ::testing::TestWithParam<Container> {};

TEST_P(ReaderContainerTimes, PassTimesMatchTheMotionJpegOriginalWithinAFrame) {
    if (!FfmpegInstalled()) GTEST_SKIP() << "ffmpeg is not installed (scripts/bootstrap installs it)";
    const std::vector<nlohmann::json> original = PassesOf(SourceVideo());
    ASSERT_EQ(original.size(), 2u);
    // The second pass runs to the last frame, at its time.
    EXPECT_NEAR(original[1]["end_s"].get<double>(), (2 * kFramesEach - 1) * kFrameSeconds, kFrameSeconds / 2);

    const std::string encoded = ScratchDir() + "/times-" + GetParam().name;
    ASSERT_TRUE(RunQuietly("ffmpeg -nostdin -y -v error -i '" + SourceVideo() + "' " + GetParam().encode + " '" +
                           encoded + "'"));
    const std::vector<nlohmann::json> passes = PassesOf(encoded);
    ASSERT_EQ(passes.size(), original.size());
    for (std::size_t i = 0; i < passes.size(); ++i) {
        EXPECT_EQ(passes[i]["number"], original[i]["number"]);
        EXPECT_NEAR(passes[i]["start_s"].get<double>(), original[i]["start_s"].get<double>(), kFrameSeconds * 1.01)
            << "pass " << i + 1;
        EXPECT_NEAR(passes[i]["end_s"].get<double>(), original[i]["end_s"].get<double>(), kFrameSeconds * 1.01)
            << "pass " << i + 1;
        // No creation_time in the file: no time of day.
        EXPECT_TRUE(passes[i]["start_time"].is_null());
        EXPECT_TRUE(passes[i]["end_time"].is_null());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Formats, ReaderContainerTimes,
    ::testing::Values(Container{"h264.mp4", "-c:v libx264 -preset veryfast -bf 3 -pix_fmt yuv420p"},
                      Container{"hevc.mkv", "-c:v libx265 -preset veryfast -x265-params log-level=error -pix_fmt yuv420p"},
                      Container{"h264.ts", "-c:v libx264 -preset veryfast -bf 3 -pix_fmt yuv420p"},
                      Container{"mpeg4.avi", "-c:v mpeg4 -q:v 2"},
                      Container{"mjpeg.avi", "-c:v mjpeg -q:v 2"}),
    [](const ::testing::TestParamInfo<Container>& info) {
        std::string name = info.param.name;
        for (char& c : name) {
            if (c == '.') c = '_';
        }
        return name;
    });

// A file made on 8 December 2026 at 10:00 UTC.
const std::string& DatedVideo() {
    static const std::string path = [] {
        const std::string dated = ScratchDir() + "/dated.mp4";
        EXPECT_TRUE(RunQuietly("ffmpeg -nostdin -y -v error -i '" + SourceVideo() +
                               "' -c:v libx264 -preset veryfast -pix_fmt yuv420p "
                               "-metadata creation_time=2026-12-08T10:00:00Z '" + dated + "'"));
        return dated;
    }();
    return path;
}

TEST(ReaderTimesOfDay, AFilesCreationTimePlusTheFramesTimeInEveryPassRecord) {
    if (!FfmpegInstalled()) GTEST_SKIP() << "ffmpeg is not installed (scripts/bootstrap installs it)";
    const std::vector<nlohmann::json> passes = PassesOf(DatedVideo());
    ASSERT_EQ(passes.size(), 2u);
    const TimeOfDay created = *ParseIsoUtc("2026-12-08T10:00:00Z");
    for (const nlohmann::json& pass : passes) {
        for (const char* which : {"start", "end"}) {
            const std::string text = pass[std::string(which) + "_time"];
            const std::optional<TimeOfDay> time = ParseIsoUtc(text);
            ASSERT_TRUE(time) << text;
            EXPECT_EQ(text.size(), 24u) << "ISO 8601 UTC to the millisecond: " << text;
            EXPECT_EQ(text.back(), 'Z');
            const double seconds = std::chrono::duration<double>(*time - created).count();
            EXPECT_NEAR(seconds, pass[std::string(which) + "_s"].get<double>(), 0.0015) << text;
        }
    }
    // Right after end_s, in CSV too.
    const std::string csv = ScratchDir() + "/dated.csv";
    ASSERT_EQ(RunReaderProcess({DatedVideo(), "--passes", csv}).status, 0);
    const std::vector<std::string> lines = Lines(ReadFile(csv));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_NE(lines[0].find(",start_s,end_s,start_time,end_time,"), std::string::npos) << lines[0];
    EXPECT_NE(lines[1].find("," + passes[0]["start_time"].get<std::string>() + "," +
                            passes[0]["end_time"].get<std::string>() + ","),
              std::string::npos)
        << lines[1];
}

struct Shown {
    std::vector<std::string> args;
    const char* zone;  // the TZ environment of the run, or nullptr
    const char* text;  // the start of the first pass as the summary prints it
};

class ReaderSummaryTimes : public ::testing::TestWithParam<Shown> {};

TEST_P(ReaderSummaryTimes, PrintsTheLocalTimeOfTheOffsetOrZone) {
    if (!FfmpegInstalled()) GTEST_SKIP() << "ffmpeg is not installed (scripts/bootstrap installs it)";
    std::vector<std::string> args = {DatedVideo()};
    args.insert(args.end(), GetParam().args.begin(), GetParam().args.end());
    const char* before = std::getenv("TZ");
    const std::string kept = before != nullptr ? before : "";
    if (GetParam().zone != nullptr) {
        setenv("TZ", GetParam().zone, 1);
    } else {
        unsetenv("TZ");
    }
    const ProcessResult r = RunReaderProcess(args);
    if (before != nullptr) {
        setenv("TZ", kept.c_str(), 1);
    } else {
        unsetenv("TZ");
    }
    ASSERT_EQ(r.status, 0) << r.err;
    const bool json = std::find(args.begin(), args.end(), "--json") != args.end();
    const std::string& summary = json ? r.err : r.out;
    EXPECT_NE(summary.find(std::string(" s, ") + GetParam().text), std::string::npos) << summary;
}

INSTANTIATE_TEST_SUITE_P(
    Offsets, ReaderSummaryTimes,
    ::testing::Values(Shown{{"--utc-offset", "+01:00"}, "UTC", "2026-12-08 11:00:00.000 +01:00 to 11:00:0"},
                      Shown{{"--utc-offset", "-03:30"}, "Asia/Tokyo", "2026-12-08 06:30:00.000 -03:30 to 06:30:0"},
                      Shown{{"--utc-offset", "Z"}, "Asia/Tokyo", "2026-12-08 10:00:00.000 +00:00 to 10:00:0"},
                      // --json's summary on standard error is the same text.
                      Shown{{"--utc-offset", "+05:45", "--json"}, "UTC", "2026-12-08 15:45:00.000 +05:45 to 15:45:0"},
                      // Without the option, the zone of TZ at that moment:
                      // winter in New York, summer in Sydney.
                      Shown{{}, "America/New_York", "2026-12-08 05:00:00.000 -05:00 to 05:00:0"},
                      Shown{{}, "Australia/Sydney", "2026-12-08 21:00:00.000 +11:00 to 21:00:0"}),
    [](const ::testing::TestParamInfo<Shown>& info) {
        std::string name = info.param.zone;
        for (const std::string& word : info.param.args) name += "_" + word;
        for (char& c : name) {
            if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
        }
        return name;
    });

TEST(ReaderTimesOfDay, ABadOffsetIsRefusedWithStatus2) {
    for (const char* bad : {"1:00", "+1:00", "+01", "+0100", "UTC", "+15:00", "-12:30", "+01:60", ""}) {
        const ProcessResult r = RunReaderProcess({SourceVideo(), "--utc-offset", bad});
        EXPECT_EQ(r.status, 2) << bad;
        EXPECT_NE(r.err.find("--utc-offset"), std::string::npos) << r.err;
    }
}

}  // namespace
}  // namespace kalvero
