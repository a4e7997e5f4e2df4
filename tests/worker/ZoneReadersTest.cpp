// The worker's choice of zone reader and the learned engine's network: loaded
// once per run block, whatever the number of readers, runs or inputs.
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "line_reader/LineReader.h"
#include "support/ScopedVariable.h"
#include "support/VideoFixtures.h"
#include "worker/RecordingSink.h"
#include "worker/RunConfiguration.h"
#include "worker/VideoThread.h"
#include "worker/ZoneReaders.h"

namespace kalvero::testing {
namespace {

// A run of `video` through `block` with the learned engine; every frame
// must have been read by it.
void RunLearned(VideoThread& block, const TestVideo& video) {
    RunSettings options;
    Configure(options, video.path(), cv::Rect(0, 60, 320, 120));
    options.engine = static_cast<std::int32_t>(RecognitionEngine::Learned);
    block.optionsChanged = true;
    RecordingSink sink;
    block.Run(sink, options);
    ASSERT_EQ(sink.frames().size(), 3u);
    for (const RecordedFrame& frame : sink.frames()) EXPECT_EQ(frame.engine, RecognitionEngine::Learned);
}

// The zone (0, 60, 320, 120) of a 320 x 240 frame that shows `number` with
// digits 29 pixels high.
cv::Mat NumberZone(const std::string& number) {
    const cv::Mat frame = NumberFrames(cv::Size(320, 240), 1, number, 29, cv::Point(40, 100)).front();
    return frame(cv::Rect(0, 60, 320, 120));
}

TEST(ZoneReaders, EachEngineReadsTheSameNumberThroughTheOneInterface) {
    const cv::Mat zone = NumberZone("52473063");
    std::string error;
    const std::unique_ptr<LineReader> network = LineReader::Create(error);
    ASSERT_NE(network, nullptr) << error;
    for (RecognitionEngine engine : {RecognitionEngine::Glyph, RecognitionEngine::Learned}) {
        SCOPED_TRACE(EngineName(engine));
        ZoneReaderChoice choice;
        choice.engine = engine;
        const std::unique_ptr<ZoneReader> reader = MakeZoneReader(choice, network.get());
        ASSERT_NE(reader, nullptr);
        EXPECT_EQ(reader->engine(), engine);
        const std::vector<Reading> readings = reader->Read(zone, 29);
        ASSERT_FALSE(readings.empty());
        EXPECT_EQ(readings.front().text, "52473063");
        for (const Reading& reading : readings) EXPECT_EQ(reading.engine, engine);
        EXPECT_TRUE(reader->Read(cv::Mat(), 29).empty());
    }
}

TEST(ZoneReaders, ALearnedEngineWithoutItsNetworkGivesTheGlyphReader) {
    ZoneReaderChoice choice;
    choice.engine = RecognitionEngine::Learned;
    const std::unique_ptr<ZoneReader> reader = MakeZoneReader(choice, nullptr);
    ASSERT_NE(reader, nullptr);
    EXPECT_EQ(reader->engine(), RecognitionEngine::Glyph);
}

TEST(ZoneReaders, UnderTheCheckDigitRuleTheLearnedEngineDropsReadingsWhoseCheckDigitFails) {
    // 52473064 is 52473063 with its check digit wrong: read as it is
    // painted without the rule, not at all with it.
    const cv::Mat zone = NumberZone("52473064");
    std::string error;
    const std::unique_ptr<LineReader> network = LineReader::Create(error);
    ASSERT_NE(network, nullptr) << error;
    ZoneReaderChoice choice;
    choice.engine = RecognitionEngine::Learned;
    const std::vector<Reading> free = MakeZoneReader(choice, network.get())->Read(zone, 29);
    ASSERT_FALSE(free.empty());
    EXPECT_EQ(free.front().text, "52473064");
    choice.learnedRequiresCheckDigit = true;
    EXPECT_TRUE(MakeZoneReader(choice, network.get())->Read(zone, 29).empty());
}

TEST(VideoThreadNetwork, ARunBlockLoadsItsNetworkOnceForEveryRunAndInput) {
    TestVideo first(NumberFrames(cv::Size(320, 240), 3, "52473063", 29, cv::Point(40, 100)));
    TestVideo second(NumberFrames(cv::Size(320, 240), 3, "52473063", 29, cv::Point(40, 100)));
    VideoThread block;
    EXPECT_EQ(block.networkLoads(), 0u);
    std::string error;
    LineReader* network = block.learnedNetwork(error);
    ASSERT_NE(network, nullptr) << error;
    for (const TestVideo* video : {&first, &second, &first}) RunLearned(block, *video);
    // The window's runs come on threads of their own, one after another.
    std::thread later([&] { RunLearned(block, second); });
    later.join();
    EXPECT_EQ(block.learnedNetwork(error), network);
    EXPECT_EQ(block.networkLoads(), 1u);
    // Another block (another of the reader's jobs) has its own.
    VideoThread other;
    EXPECT_NE(other.learnedNetwork(error), network);
}

TEST(VideoThreadNetwork, AModelThatCannotBeLoadedIsNamedAndTriedAgainLater) {
    VideoThread block;
    std::string error;
    {
        ScopedVariable model(kLineModelVariable, "/nonexistent/kalvero-line-model.onnx");
        EXPECT_EQ(block.learnedNetwork(error), nullptr);
        EXPECT_NE(error.find("/nonexistent/kalvero-line-model.onnx"), std::string::npos) << error;
    }
    error.clear();
    EXPECT_NE(block.learnedNetwork(error), nullptr) << error;
    EXPECT_EQ(block.networkLoads(), 2u);
}

}  // namespace
}  // namespace kalvero::testing
