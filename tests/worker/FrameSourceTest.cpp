// Frame sources, conversion to 8-bit BGR, zoom scaling and the outbox.
#include <filesystem>
#include <thread>

#include <gtest/gtest.h>
#include <opencv2/imgcodecs.hpp>

#include "support/VideoFixtures.h"
#include "worker/DecodeAhead.h"
#include "worker/FrameScaling.h"
#include "worker/FrameSource.h"

namespace kalvero::testing {
namespace {

TEST(ToBgr8, EveryPictureBecomesEightBitBgr) {
    const cv::Mat grey(4, 5, CV_8UC1, cv::Scalar(77));
    EXPECT_EQ(ToBgr8(grey).at<cv::Vec3b>(1, 1), cv::Vec3b(77, 77, 77));

    const cv::Mat deep(4, 5, CV_16UC3, cv::Scalar(65535, 0, 257 * 10));
    const cv::Mat fromDeep = ToBgr8(deep);
    EXPECT_EQ(fromDeep.type(), CV_8UC3);
    EXPECT_EQ(fromDeep.at<cv::Vec3b>(0, 0), cv::Vec3b(255, 0, 10));

    const cv::Mat alpha(4, 5, CV_8UC4, cv::Scalar(1, 2, 3, 4));
    EXPECT_EQ(ToBgr8(alpha).at<cv::Vec3b>(3, 4), cv::Vec3b(1, 2, 3));

    const cv::Mat greyAlpha(4, 5, CV_8UC2, cv::Scalar(9, 200));
    EXPECT_EQ(ToBgr8(greyAlpha).at<cv::Vec3b>(0, 0), cv::Vec3b(9, 9, 9));

    const cv::Mat real(4, 5, CV_32FC1, cv::Scalar(0.5));
    EXPECT_EQ(ToBgr8(real).at<cv::Vec3b>(2, 2), cv::Vec3b(128, 128, 128));

    const cv::Mat colour(4, 5, CV_8UC3, cv::Scalar(1, 2, 3));
    EXPECT_EQ(ToBgr8(colour).data, colour.data);  // already right: shared, not copied
    EXPECT_TRUE(ToBgr8(cv::Mat()).empty());
}

TEST(FrameSource, StillImagesPlayAsOneFrame) {
    for (const char* text : {"a/b.PNG", "x.tiff", "x.jpeg"}) EXPECT_TRUE(IsStillImageName(text)) << text;
    for (const char* text : {"x.avi", "dir.png/video", "png"}) EXPECT_FALSE(IsStillImageName(text)) << text;

    TempFile still("png");
    ASSERT_TRUE(cv::imwrite(still.path(), cv::Mat(30, 40, CV_8UC4, cv::Scalar(10, 20, 30, 255))));
    FrameSource source;
    ASSERT_TRUE(source.open(still.path()));
    cv::Mat frame;
    ASSERT_TRUE(source.read(frame));
    EXPECT_EQ(frame.type(), CV_8UC3);
    EXPECT_EQ(frame.at<cv::Vec3b>(0, 0), cv::Vec3b(10, 20, 30));
    EXPECT_FALSE(source.read(frame));
    EXPECT_TRUE(frame.empty());
}

TEST(FrameSource, VideoFramesInOrderThenEnd) {
    TestVideo video(PlainFrames(cv::Size(64, 48), 3));
    FrameSource source;
    ASSERT_TRUE(source.open(video.path()));
    cv::Mat frame;
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(source.read(frame)) << i;
        EXPECT_EQ(frame.size(), cv::Size(64, 48));
        EXPECT_EQ(frame.type(), CV_8UC3);
    }
    EXPECT_FALSE(source.read(frame));
}

TEST(FrameSource, PeekingShowsTheFrameTheNextReadGivesOnlyWhenDecodingAhead) {
    std::vector<cv::Mat> frames;
    for (int i = 0; i < 3; ++i) frames.push_back(cv::Mat(48, 64, CV_8UC3, cv::Scalar(40 + 80 * i, 40 + 80 * i, 40 + 80 * i)));
    TestVideo video(frames);
    const auto grey = [](const cv::Mat& frame) { return static_cast<int>(cv::mean(frame)[0]); };

    FrameSource ahead;
    ASSERT_TRUE(ahead.openDecodingAhead(video.path()));
    cv::Mat frame;
    cv::Mat next;
    ASSERT_TRUE(ahead.peekNext(next));
    ASSERT_TRUE(ahead.peekNext(next));  // looking twice takes nothing
    ASSERT_TRUE(ahead.read(frame));
    EXPECT_EQ(frame.data, next.data);  // the very frame, not a copy
    // Two frames ahead: the one after the next.
    ASSERT_TRUE(ahead.peekNext(next, 1));
    EXPECT_NEAR(grey(next), 200, 6);
    EXPECT_FALSE(ahead.peekNext(next, DecodeAhead::kDepth));  // not decoded before earlier ones are taken
    EXPECT_FALSE(ahead.peekNext(next, -1));
    for (int i = 1; i < 3; ++i) {
        ASSERT_TRUE(ahead.peekNext(next)) << i;
        EXPECT_NEAR(grey(next), 40 + 80 * i, 6) << i;
        ASSERT_TRUE(ahead.read(frame)) << i;
        EXPECT_NEAR(grey(frame), 40 + 80 * i, 6) << i;
    }
    EXPECT_FALSE(ahead.peekNext(next));
    EXPECT_TRUE(next.empty());
    EXPECT_FALSE(ahead.peekNext(next, 1));
    EXPECT_FALSE(ahead.read(frame));

    // A frame put back is read again: what follows it is not the next.
    FrameSource putBack;
    ASSERT_TRUE(putBack.openDecodingAhead(video.path()));
    ASSERT_TRUE(putBack.read(frame));
    putBack.putBack(frame);
    EXPECT_FALSE(putBack.peekNext(next));

    // Read directly, the next frame is not decoded before it is asked for.
    FrameSource direct;
    ASSERT_TRUE(direct.open(video.path()));
    EXPECT_FALSE(direct.peekNext(next));
    ASSERT_TRUE(direct.read(frame));

    TempFile still("png");
    ASSERT_TRUE(cv::imwrite(still.path(), frames[0]));
    FrameSource stillSource;
    ASSERT_TRUE(stillSource.openDecodingAhead(still.path()));
    EXPECT_FALSE(stillSource.peekNext(next));
}

// Writes `text` as the whole of the file at `path`; false when it cannot.
bool WriteText(const std::string& path, const char* text) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    std::fputs(text, file);
    std::fclose(file);
    return true;
}

TEST(FrameSource, FilesThatDoNotDecodeDoNotOpen) {
    FrameSource source;
    EXPECT_FALSE(source.open(""));
    EXPECT_FALSE(source.open("/nonexistent/kalvero.avi"));
    EXPECT_FALSE(source.open("/nonexistent/kalvero.png"));
    TempFile garbage("png");
    ASSERT_TRUE(WriteText(garbage.path(), "not an image"));
    EXPECT_FALSE(source.open(garbage.path()));
    EXPECT_FALSE(source.isOpened());
    TempFile notAVideo("avi");
    ASSERT_TRUE(WriteText(notAVideo.path(), "RIFF but not really"));
    EXPECT_FALSE(source.open(notAVideo.path()));
    EXPECT_FALSE(source.open(std::filesystem::temp_directory_path().string()));  // a folder
    EXPECT_FALSE(source.isOpened());
    cv::Mat frame;
    EXPECT_FALSE(source.read(frame));
}

// Every frame of a source, and the timestamps read with them.
std::vector<std::pair<cv::Mat, double>> ReadAll(FrameSource& source) {
    std::vector<std::pair<cv::Mat, double>> frames;
    cv::Mat frame;
    while (source.read(frame)) {
        frames.emplace_back(frame.clone(), source.timestampMs());
    }
    return frames;
}

class FrameSourceHandover : public ::testing::TestWithParam<bool> {};  // decoding ahead or not

TEST_P(FrameSourceHandover, TheNextOpenOfThePathTakesTheProbedSourceWithItsFirstFrameBack) {
    const bool ahead = GetParam();
    TestVideo video(PlainFrames(cv::Size(64, 48), 5));
    FrameSource fresh;
    ASSERT_TRUE(fresh.open(video.path()));
    EXPECT_EQ(fresh.announcedFrames(), 5);
    EXPECT_DOUBLE_EQ(fresh.framesPerSecond(), 25.0);
    const auto expected = ReadAll(fresh);
    ASSERT_EQ(expected.size(), 5u);

    FrameSource probed;
    ASSERT_TRUE(probed.open(video.path()));
    cv::Mat first;
    ASSERT_TRUE(probed.read(first));
    probed.putBack(first);
    const long long opensBefore = FrameSource::filesOpened();
    std::vector<std::pair<cv::Mat, double>> frames;
    {
        FrameSource::Handover handover(video.path(), probed);
        FrameSource loop;
        ASSERT_TRUE(ahead ? loop.openDecodingAhead(video.path()) : loop.open(video.path()));
        EXPECT_TRUE(handover.taken());
        EXPECT_FALSE(probed.isOpened());
        frames = ReadAll(loop);
    }
    EXPECT_EQ(FrameSource::filesOpened(), opensBefore);  // the file was not opened again
    ASSERT_EQ(frames.size(), expected.size());
    for (std::size_t i = 0; i < frames.size(); ++i) {
        EXPECT_EQ(cv::norm(frames[i].first, expected[i].first, cv::NORM_INF), 0.0) << "frame " << i + 1;
        EXPECT_DOUBLE_EQ(frames[i].second, expected[i].second) << "frame " << i + 1;
    }
}

INSTANTIATE_TEST_SUITE_P(ReadDirectlyAndDecodingAhead, FrameSourceHandover, ::testing::Bool());

TEST(FrameSourceHandover, IsTakenOnlyByTheSamePathOnTheSameThreadAndOnlyOnce) {
    TestVideo video(PlainFrames(cv::Size(64, 48), 2));
    TestVideo other(PlainFrames(cv::Size(32, 24), 2));
    FrameSource probed;
    ASSERT_TRUE(probed.open(video.path()));
    FrameSource::Handover handover(video.path(), probed);

    const long long opensBefore = FrameSource::filesOpened();
    FrameSource elsewhere;
    ASSERT_TRUE(elsewhere.open(other.path()));  // another file: opened as usual
    EXPECT_FALSE(handover.taken());
    bool takenOnOtherThread = true;
    std::thread([&] {
        FrameSource source;
        EXPECT_TRUE(source.open(video.path()));
        takenOnOtherThread = handover.taken();
    }).join();
    EXPECT_FALSE(takenOnOtherThread);
    EXPECT_EQ(FrameSource::filesOpened(), opensBefore + 2);

    FrameSource loop;
    ASSERT_TRUE(loop.open(video.path()));
    EXPECT_TRUE(handover.taken());
    FrameSource again;  // a second opening (a stream read again) opens the file
    ASSERT_TRUE(again.open(video.path()));
    EXPECT_EQ(FrameSource::filesOpened(), opensBefore + 3);
}

TEST(FrameSource, AStillAnnouncesOneFrameAndPlaysItOnceAfterPutBack) {
    TempFile still("png");
    ASSERT_TRUE(cv::imwrite(still.path(), cv::Mat(30, 40, CV_8UC3, cv::Scalar(10, 20, 30))));
    FrameSource source;
    ASSERT_TRUE(source.open(still.path()));
    EXPECT_EQ(source.announcedFrames(), 1);
    cv::Mat frame;
    ASSERT_TRUE(source.read(frame));
    source.putBack(frame);
    ASSERT_TRUE(source.read(frame));
    EXPECT_EQ(frame.at<cv::Vec3b>(0, 0), cv::Vec3b(10, 20, 30));
    EXPECT_FALSE(source.read(frame));
}

TEST(ZoomedSize, TruncatesTheFloatProducts) {
    EXPECT_EQ(ZoomedSize(cv::Size(640, 480), 0.5f), cv::Size(320, 240));
    EXPECT_EQ(ZoomedSize(cv::Size(641, 481), 0.3f), cv::Size(192, 144));
    EXPECT_EQ(ZoomedSize(cv::Size(640, 480), 1.0f), cv::Size(640, 480));
    EXPECT_EQ(ZoomedSize(cv::Size(2, 2), 0.3f), cv::Size(1, 1));  // never below one pixel
    EXPECT_EQ(ZoomedSize(cv::Size(64, 48), 0.0f), cv::Size(64, 48));
    EXPECT_EQ(ZoomedSize(cv::Size(64, 48), std::nanf("")), cv::Size(64, 48));

    cv::Mat frame(48, 64, CV_8UC3, cv::Scalar(5, 6, 7));
    ScaleByZoom(frame, 0.5f);
    EXPECT_EQ(frame.size(), cv::Size(32, 24));
    EXPECT_EQ(frame.at<cv::Vec3b>(10, 10), cv::Vec3b(5, 6, 7));
}

}  // namespace
}  // namespace kalvero::testing
