// Readers and threads: one reader entered by two threads refuses the second
// with a status; readers of their own on several threads read alike.
#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "SdkFixtures.h"

namespace kalvero::testing_sdk {
namespace {

TEST(Threads, ASecondThreadInsideOneReaderIsToldItIsBusy) {
    const std::vector<cv::Mat> frames = DecodedFrames(DefaultSample("sample.mkv"));
    ReaderHandle reader = NewReader();
    ASSERT_TRUE(reader) << kalvero_last_error();
    // Two threads hammer one reader until one of them has been refused:
    // every call either reads or says the reader is busy.
    std::atomic<int> busy{0};
    std::atomic<int> read{0};
    std::atomic<int> other{0};
    std::atomic<bool> messageRight{true};
    auto hammer = [&](int offset) {
        for (int i = 0; i < 40 && busy.load() < 3; ++i) {
            const kalvero_image image = ImageOf(frames[static_cast<std::size_t>((i + offset) % 60)]);
            kalvero_frame* result = nullptr;
            const int status = kalvero_read_frame(reader.get(), &image, i / 25.0, &result);
            if (status == KALVERO_OK) {
                ++read;
                kalvero_frame_free(result);
            } else if (status == KALVERO_E_BUSY) {
                ++busy;
                if (result != nullptr || std::strstr(kalvero_last_error(), "in use by another thread") == nullptr) {
                    messageRight = false;
                }
            } else {
                ++other;
            }
        }
    };
    std::thread first(hammer, 0);
    std::thread second(hammer, 30);
    first.join();
    second.join();
    EXPECT_GT(busy.load(), 0);
    EXPECT_GT(read.load(), 0);
    EXPECT_EQ(other.load(), 0);
    EXPECT_TRUE(messageRight.load());
    // Left alone again, the reader reads.
    const kalvero_image image = ImageOf(frames[0]);
    kalvero_frame* result = nullptr;
    EXPECT_EQ(kalvero_read_frame(reader.get(), &image, 99.0, &result), KALVERO_OK) << kalvero_last_error();
    kalvero_frame_free(result);
}

TEST(Threads, ReadersOnSeveralThreadsReadAsOneDoes) {
    const std::vector<cv::Mat> frames = DecodedFrames(DefaultSample("sample.mkv"));
    const std::vector<FrameOutcome> alone = ReadAll(frames);
    constexpr int kThreads = 3;
    std::vector<std::vector<FrameOutcome>> together(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] { together[static_cast<std::size_t>(t)] = ReadAll(frames); });
    }
    for (std::thread& thread : threads) thread.join();
    for (int t = 0; t < kThreads; ++t) {
        const std::vector<FrameOutcome>& outcomes = together[static_cast<std::size_t>(t)];
        ASSERT_EQ(outcomes.size(), alone.size());
        for (std::size_t i = 0; i < alone.size(); ++i) {
            EXPECT_EQ(outcomes[i].texts, alone[i].texts) << "thread " << t << " frame " << i + 1;
            EXPECT_EQ(outcomes[i].boxes, alone[i].boxes) << "thread " << t << " frame " << i + 1;
            EXPECT_EQ(outcomes[i].scores, alone[i].scores) << "thread " << t << " frame " << i + 1;
            EXPECT_EQ(outcomes[i].confirmed, alone[i].confirmed) << "thread " << t << " frame " << i + 1;
            EXPECT_EQ(outcomes[i].passes, alone[i].passes) << "thread " << t << " frame " << i + 1;
        }
    }
}

}  // namespace
}  // namespace kalvero::testing_sdk
