// The outbox keeps one picture waiting and every line, in order.
#include <chrono>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "app/FrameOutbox.h"

namespace kalvero {
namespace {

OutboxFrame Frame(int number, bool withImage = true) {
    OutboxFrame frame;
    if (withImage) frame.rgbImage = cv::Mat(48, 64, CV_8UC3, cv::Scalar(number % 256, 0, 0));
    frame.line = "Frame #" + std::to_string(number);
    return frame;
}

TEST(FrameOutbox, KeepsOnlyTheNewestImageButEveryLineInOrder) {
    FrameOutbox outbox;
    for (int number = 1; number <= 1000; ++number) {
        outbox.Post(Frame(number));
        if (number == 500) {
            OutboxFrame notice;
            notice.line = "notice";
            outbox.Post(notice);
        }
        ASSERT_EQ(outbox.PendingImages(), 1u);
    }
    EXPECT_EQ(outbox.ImagesPosted(), 1000u);
    EXPECT_EQ(outbox.ImagesDropped(), 999u);

    const std::deque<OutboxFrame> taken = outbox.TakeAll();
    ASSERT_EQ(taken.size(), 1001u);
    int images = 0;
    for (const OutboxFrame& frame : taken) images += frame.rgbImage.empty() ? 0 : 1;
    EXPECT_EQ(images, 1);
    ASSERT_FALSE(taken.back().rgbImage.empty());
    EXPECT_EQ(taken.back().rgbImage.at<cv::Vec3b>(0, 0)[0], 1000 % 256);
    EXPECT_EQ(taken[500].line, "notice");
    EXPECT_EQ(taken[499].line, "Frame #500");
    EXPECT_EQ(taken[1000].line, "Frame #1000");

    // Emptied: the next image waits alone again.
    EXPECT_EQ(outbox.PendingImages(), 0u);
    outbox.Post(Frame(1001));
    outbox.Post(Frame(1002, false));
    EXPECT_EQ(outbox.PendingImages(), 1u);
    EXPECT_EQ(outbox.ImagesDropped(), 999u);
}

TEST(FrameOutbox, AProducerThatNeverWaitsKeepsMemoryBounded) {
    FrameOutbox outbox;
    std::size_t lines = 0;
    std::size_t shown = 0;
    std::thread producer([&] {
        for (int number = 1; number <= 20000; ++number) outbox.Post(Frame(number));
    });
    // A slow consumer: most pictures are superseded before it looks.
    for (int round = 0; round < 200; ++round) {
        const std::deque<OutboxFrame> taken = outbox.TakeAll();
        std::size_t images = 0;
        for (const OutboxFrame& frame : taken) images += frame.rgbImage.empty() ? 0 : 1;
        EXPECT_LE(images, 1u);
        lines += taken.size();
        shown += images;
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    producer.join();
    const std::deque<OutboxFrame> rest = outbox.TakeAll();
    lines += rest.size();
    EXPECT_EQ(lines, 20000u);
    EXPECT_EQ(outbox.ImagesDropped() + shown + (rest.empty() || rest.back().rgbImage.empty() ? 0 : 1), 20000u);
}

TEST(FrameOutbox, TakesWhatAnotherThreadPostedInOrder) {
    FrameOutbox outbox;
    constexpr int kFrames = 200;
    std::thread producer([&] {
        for (int i = 0; i < kFrames; ++i) {
            OutboxFrame frame;
            frame.rgbImage = cv::Mat(2, 2, CV_8UC3, cv::Scalar::all(i % 256));
            frame.line = std::to_string(i);
            outbox.Post(std::move(frame));
        }
    });
    int next = 0;
    while (next < kFrames) {
        // Every line, in order; a picture only with the newest entry taken
        // (older ones are dropped from display), and it is that frame's.
        const std::deque<OutboxFrame> taken = outbox.TakeAll();
        for (std::size_t i = 0; i < taken.size(); ++i) {
            const OutboxFrame& frame = taken[i];
            ASSERT_EQ(frame.line, std::to_string(next));
            if (i + 1 < taken.size()) {
                ASSERT_TRUE(frame.rgbImage.empty());
            }
            if (!frame.rgbImage.empty()) {
                ASSERT_EQ(frame.rgbImage.at<cv::Vec3b>(0, 0)[0], next % 256);
            }
            ++next;
        }
        std::this_thread::yield();
    }
    producer.join();
    EXPECT_EQ(outbox.Pending(), 0u);
    outbox.Post(OutboxFrame{});
    outbox.Clear();
    EXPECT_EQ(outbox.Pending(), 0u);
}

}  // namespace
}  // namespace kalvero
