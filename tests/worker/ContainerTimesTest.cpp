// Frame times from the container to a file's last frame, where the decoder
// hands out the frames it held back for reordering without their packet's
// time, and a file's creation time.
#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/VideoFixtures.h"
#include "worker/ContainerFacts.h"
#include "worker/FrameSource.h"

namespace kalvero::testing {
namespace {

bool Ffmpeg(const std::string& arguments) {
    return std::system(("ffmpeg -nostdin -y -v error " + arguments + " >/dev/null 2>&1").c_str()) == 0;
}

TEST(ContainerTimes, EveryFrameOfAnH264FileWithBFramesHasItsTimeToTheLast) {
    if (std::system("command -v ffmpeg >/dev/null 2>&1") != 0) GTEST_SKIP() << "ffmpeg is not installed";
    constexpr int kFrames = 40;
    TestVideo video(PlainFrames(cv::Size(96, 64), kFrames));
    ASSERT_TRUE(video.written);
    const TempFile encoded(".mp4");
    ASSERT_TRUE(Ffmpeg("-i '" + video.path() + "' -c:v libx264 -bf 3 -pix_fmt yuv420p -metadata "
                       "creation_time=2026-12-08T10:00:00Z '" + encoded.path() + "'"));
    for (const bool ahead : {false, true}) {
        FrameSource source;
        ASSERT_TRUE(ahead ? source.openDecodingAhead(encoded.path()) : source.open(encoded.path()));
        std::vector<double> times;
        cv::Mat frame;
        while (source.read(frame)) {
            times.push_back(source.timestampMs());
            EXPECT_FALSE(source.damageBefore()) << "frame " << times.size();
        }
        ASSERT_EQ(times.size(), static_cast<std::size_t>(kFrames)) << (ahead ? "ahead" : "one by one");
        for (int i = 0; i < kFrames; ++i) {
            EXPECT_NEAR(times[i], i * 40.0, 0.5) << "frame " << i + 1 << (ahead ? " ahead" : " one by one");
        }
        ASSERT_TRUE(source.creationTime());
        EXPECT_EQ(std::chrono::duration_cast<std::chrono::milliseconds>(source.creationTime()->time_since_epoch())
                      .count(),
                  1796724000000LL);  // MP4 keeps whole seconds
    }
    // The MJPEG original states no creation time.
    FrameSource plain;
    ASSERT_TRUE(plain.open(video.path()));
    EXPECT_FALSE(plain.creationTime());
}

TEST(ContainerTimes, CreationTimesInTheFormsFfmpegGives) {
    const auto at = [](const char* text) -> long long {
        const auto time = CreationTimeFrom(text);
        return time ? std::chrono::duration_cast<std::chrono::milliseconds>(time->time_since_epoch()).count() : -1;
    };
    EXPECT_EQ(at("2026-12-08T10:00:00.000000Z"), 1796724000000LL);
    EXPECT_EQ(at("2026-12-08T10:00:00Z"), 1796724000000LL);
    // Without a zone, FFmpeg's times are UTC all the same (not local time).
    EXPECT_EQ(at("2026-12-08 10:00:00"), 1796724000000LL);
    EXPECT_EQ(at("2026-12-08T10:00:01.5Z"), 1796724001500LL);
    EXPECT_EQ(at(""), -1);
    EXPECT_EQ(at("yesterday"), -1);
}

}  // namespace
}  // namespace kalvero::testing
