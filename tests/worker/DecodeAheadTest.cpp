// Decoding ahead: the same frames and times as reading one by one, in
// order, frame buffers decoded into again only when free, and a source that
// is let go at any moment stops its decoder.
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <opencv2/imgcodecs.hpp>

#include "support/VideoFixtures.h"
#include "worker/DecodeAhead.h"
#include "worker/FrameSource.h"

namespace kalvero::testing {
namespace {

struct Played {
    std::vector<cv::Mat> frames;
    std::vector<double> timestamps;
};

Played PlayAll(const std::string& path, bool ahead) {
    FrameSource source;
    EXPECT_TRUE(ahead ? source.openDecodingAhead(path) : source.open(path));
    EXPECT_TRUE(source.isOpened());
    Played played;
    cv::Mat frame;
    while (source.read(frame)) {
        played.frames.push_back(frame.clone());
        played.timestamps.push_back(source.timestampMs());
    }
    EXPECT_TRUE(frame.empty());
    // The end stays the end.
    EXPECT_FALSE(source.read(frame));
    return played;
}

TEST(DecodeAhead, GivesTheFramesAndTimesOfReadingOneByOne) {
    TestVideo video(PlainFrames(cv::Size(96, 64), 17));
    ASSERT_TRUE(video.written);
    const Played plain = PlayAll(video.path(), false);
    const Played ahead = PlayAll(video.path(), true);
    ASSERT_EQ(plain.frames.size(), 17u);
    ASSERT_EQ(ahead.frames.size(), plain.frames.size());
    for (std::size_t i = 0; i < plain.frames.size(); ++i) {
        EXPECT_EQ(ahead.frames[i].type(), CV_8UC3);
        EXPECT_EQ(cv::norm(ahead.frames[i], plain.frames[i], cv::NORM_INF), 0.0) << "frame " << i + 1;
        EXPECT_DOUBLE_EQ(ahead.timestamps[i], plain.timestamps[i]) << "frame " << i + 1;
    }
    // The frames differ from each other (the test could not tell them apart
    // otherwise) and their times grow.
    EXPECT_GT(cv::norm(plain.frames[0], plain.frames[1], cv::NORM_INF), 0.0);
    EXPECT_GT(ahead.timestamps.back(), ahead.timestamps.front());
}

// Frame buffers are decoded into again, but only once nobody holds a frame
// in them: a frame kept (not copied) stays as it was decoded, and a run that
// lets each frame go makes a handful of buffers, not one a frame.
TEST(DecodeAhead, DecodesIntoBuffersAgainOnlyOnceTheirFramesAreLetGo) {
    TestVideo video(PlainFrames(cv::Size(96, 64), 17));
    ASSERT_TRUE(video.written);
    const Played plain = PlayAll(video.path(), false);
    ASSERT_EQ(plain.frames.size(), 17u);

    std::vector<cv::Mat> kept;
    {
        FrameSource source;
        ASSERT_TRUE(source.openDecodingAhead(video.path()));
        cv::Mat frame;
        while (source.read(frame)) kept.push_back(frame);  // shared, not copied
    }
    ASSERT_EQ(kept.size(), plain.frames.size());
    for (std::size_t i = 0; i < kept.size(); ++i) {
        EXPECT_EQ(cv::norm(kept[i], plain.frames[i], cv::NORM_INF), 0.0) << "frame " << i + 1;
    }

    const long long madeBefore = DecodeAhead::BuffersMade();
    int frames = 0;
    {
        FrameSource source;
        ASSERT_TRUE(source.openDecodingAhead(video.path()));
        cv::Mat frame;
        while (source.read(frame)) {
            EXPECT_EQ(cv::norm(frame, plain.frames[static_cast<std::size_t>(frames)], cv::NORM_INF), 0.0)
                << "frame " << frames + 1;
            ++frames;
        }
    }
    EXPECT_EQ(frames, 17);
    const long long made = DecodeAhead::BuffersMade() - madeBefore;
    EXPECT_GE(made, 1);
    EXPECT_LE(made, static_cast<long long>(DecodeAhead::kBuffers));
}

TEST(DecodeAhead, LettingGoAtAnyMomentStopsTheDecoder) {
    TestVideo video(PlainFrames(cv::Size(96, 64), 9));
    ASSERT_TRUE(video.written);
    for (int taken = 0; taken <= 10; ++taken) {
        FrameSource source;
        ASSERT_TRUE(source.openDecodingAhead(video.path()));
        cv::Mat frame;
        for (int i = 0; i < taken; ++i) source.read(frame);
        // Destroyed here, with the decoder waiting for room, decoding, or
        // past the end; opening again in between as the window does.
        if (taken % 3 == 0) {
            ASSERT_TRUE(source.openDecodingAhead(video.path()));
        }
    }
}

TEST(DecodeAhead, StillImagesAndFilesThatDoNotOpenAreAsBefore) {
    const TempFile stillFile(".png");
    const std::string& still = stillFile.path();
    ASSERT_TRUE(cv::imwrite(still, cv::Mat(40, 50, CV_8UC3, cv::Scalar(1, 2, 3))));
    const Played played = PlayAll(still, true);
    ASSERT_EQ(played.frames.size(), 1u);
    EXPECT_EQ(played.timestamps.front(), 0.0);
    FrameSource nothing;
    EXPECT_FALSE(nothing.openDecodingAhead(""));
    EXPECT_FALSE(nothing.openDecodingAhead("/nonexistent/video.avi"));
    EXPECT_FALSE(nothing.isOpened());
}

}  // namespace
}  // namespace kalvero::testing
