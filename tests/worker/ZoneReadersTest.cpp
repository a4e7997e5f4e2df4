// The worker's choice of zone reader and the learned engine's network: made
// once per thread, whatever the number of readers, runs or inputs.
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "line_reader/ThreadLineReader.h"
#include "support/VideoFixtures.h"
#include "worker/RecordingSink.h"
#include "worker/VideoThread.h"
#include "worker/ZoneReaders.h"

namespace kalvero::testing {
namespace {

// Sets an environment variable for the life of the object.
class ScopedVariable {
public:
    ScopedVariable(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old, hadOld_ = true;
        ::setenv(name, value, 1);
    }
    ~ScopedVariable() {
        if (hadOld_) {
            ::setenv(name_, old_.c_str(), 1);
        } else {
            ::unsetenv(name_);
        }
    }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    const char* name_;
    std::string old_;
    bool hadOld_ = false;
};

// Runs `body` on a thread of its own, which has loaded no network yet.
template <typename Body>
void OnFreshThread(Body body) {
    std::thread thread(body);
    thread.join();
}

TEST(ZoneReaders, EachEngineReadsTheSameNumberThroughTheOneInterface) {
    const cv::Mat frame = NumberFrames(cv::Size(320, 240), 1, "52473063", 29, cv::Point(40, 100)).front();
    const cv::Mat zone = frame(cv::Rect(0, 60, 320, 120));
    for (RecognitionEngine engine : {RecognitionEngine::Glyph, RecognitionEngine::Learned}) {
        SCOPED_TRACE(EngineName(engine));
        std::string error;
        ZoneReaderChoice choice;
        choice.engine = engine;
        const std::unique_ptr<ZoneReader> reader = MakeZoneReader(choice, error);
        ASSERT_NE(reader, nullptr);
        EXPECT_EQ(reader->engine(), engine) << error;
        const std::vector<Reading> readings = reader->Read(zone, 29);
        ASSERT_FALSE(readings.empty());
        EXPECT_EQ(readings.front().text, "52473063");
        for (const Reading& reading : readings) EXPECT_EQ(reading.engine, engine);
        EXPECT_TRUE(reader->Read(cv::Mat(), 29).empty());
    }
}

TEST(ZoneReaders, ALearnedEngineWithoutItsModelGivesTheGlyphReaderAndSaysWhy) {
    OnFreshThread([] {
        ScopedVariable model(kLineModelVariable, "/nonexistent/kalvero-line-model.onnx");
        std::string error;
        ZoneReaderChoice choice;
        choice.engine = RecognitionEngine::Learned;
        const std::unique_ptr<ZoneReader> reader = MakeZoneReader(choice, error);
        ASSERT_NE(reader, nullptr);
        EXPECT_EQ(reader->engine(), RecognitionEngine::Glyph);
        EXPECT_NE(error.find("/nonexistent/kalvero-line-model.onnx"), std::string::npos) << error;
    });
}

TEST(ThreadLineReader, OneNetworkPerThreadForEveryReaderOnIt) {
    OnFreshThread([] {
        std::string error;
        LineReader* first = ThreadLineReader(error);
        ASSERT_NE(first, nullptr) << error;
        const std::size_t before = ThreadLineReaderLoads();
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(ThreadLineReader(error), first);
            ZoneReaderChoice choice;
            choice.engine = RecognitionEngine::Learned;
            EXPECT_EQ(MakeZoneReader(choice, error)->engine(), RecognitionEngine::Learned);
        }
        EXPECT_EQ(ThreadLineReaderLoads(), before);
    });
}

TEST(ThreadLineReader, ThreadsReadingAtOnceHaveOneEachAndLaterThreadsTakeThemOver) {
    // Two threads holding their networks at the same time.
    std::mutex mutex;
    std::condition_variable bothHold;
    int holding = 0;
    LineReader* readers[2] = {nullptr, nullptr};
    const auto hold = [&](int slot) {
        std::string error;
        readers[slot] = ThreadLineReader(error);
        std::unique_lock<std::mutex> lock(mutex);
        ++holding;
        bothHold.notify_all();
        bothHold.wait(lock, [&] { return holding == 2; });
    };
    std::thread one(hold, 0);
    std::thread two(hold, 1);
    one.join();
    two.join();
    ASSERT_NE(readers[0], nullptr);
    ASSERT_NE(readers[1], nullptr);
    EXPECT_NE(readers[0], readers[1]);

    // Threads that come after them, one after another, as the window's run
    // threads do: no load, and one of the networks already made.
    const std::size_t before = ThreadLineReaderLoads();
    for (int i = 0; i < 3; ++i) {
        LineReader* later = nullptr;
        OnFreshThread([&] {
            std::string error;
            later = ThreadLineReader(error);
        });
        EXPECT_TRUE(later == readers[0] || later == readers[1]);
    }
    EXPECT_EQ(ThreadLineReaderLoads(), before);
}

TEST(ThreadLineReader, AThreadReadingSeveralInputsLoadsTheModelOnce) {
    TestVideo first(NumberFrames(cv::Size(320, 240), 3, "52473063", 29, cv::Point(40, 100)));
    TestVideo second(NumberFrames(cv::Size(320, 240), 3, "52473063", 29, cv::Point(40, 100)));
    OnFreshThread([&] {
        const std::size_t before = ThreadLineReaderLoads();
        for (const TestVideo* video : {&first, &second, &first}) {
            VideoThread block;
            RunSettings options;
            ASSERT_TRUE(StoreRunPath(options, video->path()));
            options.zoneY = 60;
            options.zoneW = 320;
            options.zoneH = 120;
            options.engine = static_cast<std::int32_t>(RecognitionEngine::Learned);
            block.optionsChanged = true;
            RecordingSink sink;
            block.Run(sink, options);
            ASSERT_EQ(sink.frames().size(), 3u);
            for (const RecordedFrame& frame : sink.frames()) EXPECT_EQ(frame.engine, RecognitionEngine::Learned);
        }
        // Three runs on one thread: one load at most (none when the
        // network of an ended thread of this process is taken over; nothing
        // else loads meanwhile: a run reads on the thread that calls it).
        EXPECT_LE(ThreadLineReaderLoads() - before, 1u);
    });
}

}  // namespace
}  // namespace kalvero::testing
