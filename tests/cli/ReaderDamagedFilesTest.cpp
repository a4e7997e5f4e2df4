// Damaged video files: 64 KiB of random bytes in the middle of an H.264 MP4
// and of a Motion-JPEG AVI do not end the read. The reader reads nearly all
// the frames ffmpeg decodes, finds every pass away from the damage, reports
// where frames were lost and ends with status 0.
#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "GeneratedMedia.h"
#include "ReaderProcess.h"

namespace kalvero {
namespace {

using namespace testing_cli;

// 1800 frames, 8 s a pass at 25 fps; a sanitizer build, several times
// slower, reads 1000.
constexpr int kPasses = kTimingMeasured ? 9 : 5;
constexpr int kFramesEach = 200;
constexpr double kSecondsEach = kFramesEach / 25.0;

struct Damaged {
    const char* name;
    const char* encode;  // ffmpeg's output options
};

class ReaderDamagedFile : public ::testing::TestWithParam<Damaged> {};

TEST_P(ReaderDamagedFile, ReadsPastTheDamageAndSaysWhere) {
    if (!FfmpegInstalled()) GTEST_SKIP() << "ffmpeg is not installed (scripts/bootstrap installs it)";
    const Damaged& form = GetParam();
    const std::vector<std::string> numbers = PassNumbers(kPasses);
    const std::string source = ScratchDir() + "/passes-source.avi";
    static bool written = false;
    if (!written) {
        ASSERT_TRUE(WritePassesVideo(source, numbers, kFramesEach));
        written = true;
    }
    const std::string whole = ScratchDir() + "/whole-" + form.name;
    const std::string damaged = ScratchDir() + "/damaged-" + form.name;
    ASSERT_TRUE(RunQuietly("ffmpeg -nostdin -y -v error -i '" + source + "' " + form.encode + " '" + whole + "'"));
    ASSERT_TRUE(CopyDamaged(whole, damaged, 64 * 1024, 20));
    const long long decodable = FramesFfmpegDecodes(damaged);
    ASSERT_GT(decodable, 0);

    const std::string passes = ScratchDir() + "/damaged-" + std::string(form.name) + ".jsonl";
    const ProcessResult r = RunReaderProcess({damaged, "--json", "--passes", passes});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<std::string> errLines = Lines(r.err);
    ASSERT_FALSE(errLines.empty());
    const nlohmann::json summary = nlohmann::json::parse(errLines.back())["summary"];
    const long long read = summary["frames_read"];
    EXPECT_GE(read * 100, decodable * 98) << "read " << read << " of the " << decodable << " frames ffmpeg decodes";
    EXPECT_FALSE(summary["ended_early"].get<bool>()) << errLines.back();

    // The damage is said: spans in the order of the run, inside the file,
    // adding up to the count, in the text summary too. Every frame lost is
    // counted, also in an AVI, whose demuxer numbers the frames after chunks
    // it skipped on from the last one it read (its index has the true times).
    const long long lost = summary["damaged_frames"];
    ASSERT_GT(lost, 0) << errLines.back();
    ASSERT_FALSE(summary["damaged"].empty());
    // Frames read and frames lost make the whole file.
    EXPECT_NEAR(static_cast<double>(read + lost), kPasses * kFramesEach, kPasses * kFramesEach * 0.01);
    EXPECT_NE(r.err.find("Damaged: " + std::to_string(lost) + " frames could not be decoded"), std::string::npos)
        << r.err;
    long long sum = 0;
    double from = 1e9, to = 0.0;
    int after = 0;
    for (const auto& span : summary["damaged"]) {
        sum += span["frames"].get<long long>();
        EXPECT_GE(span["after_frame"].get<int>(), after);
        after = span["after_frame"];
        EXPECT_LT(span["from_s"].get<double>(), span["to_s"].get<double>());
        from = std::min(from, span["from_s"].get<double>());
        to = std::max(to, span["to_s"].get<double>());
    }
    EXPECT_EQ(sum, lost);
    EXPECT_GT(from, 0.0);
    EXPECT_LT(to, kPasses * kSecondsEach);

    // Every carriage that went by at least a second away from the damaged
    // stretch (an H.264 picture after damage may be garbled up to its next
    // key frame, one second here) is found, at its time.
    std::vector<nlohmann::json> found;
    std::ifstream in(passes);
    for (std::string line; std::getline(in, line);) found.push_back(nlohmann::json::parse(line));
    int expected = 0;
    for (int i = 0; i < kPasses; ++i) {
        const double start = i * kSecondsEach, end = start + kSecondsEach;
        if (end > from - 1.0 && start < to + 1.0) continue;
        ++expected;
        const bool there = std::any_of(found.begin(), found.end(), [&](const nlohmann::json& pass) {
            return pass["number"] == numbers[i] && pass["start_s"].get<double>() >= start - 0.04 &&
                   pass["end_s"].get<double>() <= end + 0.04;
        });
        EXPECT_TRUE(there) << numbers[i] << " at " << start << "-" << end << " s";
    }
    EXPECT_GE(expected, kPasses - 3);
}

INSTANTIATE_TEST_SUITE_P(Containers, ReaderDamagedFile,
                         ::testing::Values(Damaged{"h264.mp4", "-c:v libx264 -preset veryfast -g 25 -pix_fmt yuv420p"},
                                           Damaged{"mjpeg.avi", "-c:v mjpeg -q:v 3"}),
                         [](const ::testing::TestParamInfo<Damaged>& info) {
                             return std::string(info.param.name).substr(0, info.param.name[0] == 'h' ? 4 : 5);
                         });

// Frames that arrive whole but do not decode: 8 s of them are read past,
// 12 s end the read after 10 s (status 0, "Ended after frame ...").
struct Undecodable {
    int seconds;
    int readAfter;  // frames read after the undecodable ones
};

class ReaderUndecodableFrames : public ::testing::TestWithParam<Undecodable> {};

TEST_P(ReaderUndecodableFrames, ReadingGivesUpAfterTenSecondsOfThem) {
    if (!FfmpegInstalled()) GTEST_SKIP() << "ffmpeg is not installed (scripts/bootstrap installs it)";
    const std::string source = ScratchDir() + "/undecodable-source.avi";
    const std::string whole = ScratchDir() + "/undecodable-whole.avi";
    static bool written = false;
    if (!written) {
        ASSERT_TRUE(WritePassesVideo(source, PassNumbers(3), 250));  // 30 s
        ASSERT_TRUE(RunQuietly("ffmpeg -nostdin -y -v error -i '" + source + "' -c:v mjpeg -q:v 3 '" + whole + "'"));
        written = true;
    }
    const int undecodable = GetParam().seconds * 25;
    const std::string damaged = ScratchDir() + "/undecodable-" + std::to_string(GetParam().seconds) + ".avi";
    ASSERT_TRUE(CopyWithUndecodableFrames(whole, damaged, 100, undecodable));
    const ProcessResult r = RunReaderProcess({damaged, "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    const nlohmann::json summary = nlohmann::json::parse(Lines(r.err).back())["summary"];
    EXPECT_EQ(summary["frames_read"], 100 + GetParam().readAfter) << r.err;
    if (GetParam().readAfter > 0) {
        EXPECT_EQ(summary["damaged_frames"], undecodable);
        EXPECT_FALSE(summary["ended_early"].get<bool>());
    } else {
        EXPECT_EQ(summary["damaged_frames"], 0);
        EXPECT_TRUE(summary["ended_early"].get<bool>());
    }
}

INSTANTIATE_TEST_SUITE_P(Seconds, ReaderUndecodableFrames,
                         ::testing::Values(Undecodable{8, 750 - 100 - 8 * 25}, Undecodable{12, 0}),
                         [](const ::testing::TestParamInfo<Undecodable>& info) {
                             return std::to_string(info.param.seconds) + "s";
                         });

}  // namespace
}  // namespace kalvero
