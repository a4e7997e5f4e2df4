// The run's own settings record: its path has no length limit of its own
// (the reader hands it paths of any length; only the window's field stops at
// 499 bytes), and a run plays whatever path it holds.
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "support/VideoFixtures.h"
#include "worker/RecordingSink.h"
#include "worker/RunSettings.h"
#include "worker/VideoThread.h"

namespace kalvero::testing {
namespace {

TEST(RunSettingsPath, KeepsAPathOfAnyLengthWholeAndRefusesANulByte) {
    RunSettings settings;
    EXPECT_EQ(LoadRunPath(settings), "");
    const std::string longPath = "/" + std::string(2000, 'p') + ".avi";
    ASSERT_TRUE(StoreRunPath(settings, longPath));
    EXPECT_EQ(LoadRunPath(settings), longPath);

    EXPECT_FALSE(StoreRunPath(settings, std::string("/tmp/a\0b.avi", 12)));
    EXPECT_EQ(LoadRunPath(settings), longPath);  // a refused path changes nothing
}

// A folder nest under the temporary folder whose video's path is longer
// than the window's 499-byte field; removed with the object.
class LongPathVideo {
public:
    explicit LongPathVideo(const std::vector<cv::Mat>& frames) {
        std::filesystem::path folder = root_.path();
        for (int i = 0; i < 4; ++i) folder /= std::string(150, static_cast<char>('a' + i));
        std::filesystem::create_directories(folder);
        path_ = (folder / "video.avi").string();
        written_ = WriteVideo(path_, frames);
    }
    ~LongPathVideo() {
        std::error_code ignored;
        std::filesystem::remove_all(root_.path(), ignored);
    }
    LongPathVideo(const LongPathVideo&) = delete;
    LongPathVideo& operator=(const LongPathVideo&) = delete;
    const std::string& path() const { return path_; }
    bool written() const { return written_; }

private:
    TempFile root_{"dir"};
    std::string path_;
    bool written_ = false;
};

TEST(RunSettingsPath, ARunPlaysAFileWhosePathIsLongerThanTheWindowsField) {
    LongPathVideo video(PlainFrames(cv::Size(96, 72), 4));
    ASSERT_TRUE(video.written());
    ASSERT_GT(video.path().size(), 600u);

    RunSettings settings;
    ASSERT_TRUE(StoreRunPath(settings, video.path()));
    VideoThread block;
    RecordingSink sink;
    block.Run(sink, settings);
    EXPECT_EQ(sink.count(), 4u);
    EXPECT_EQ(sink.runEnds(), 1);
    EXPECT_TRUE(sink.lastOpened());
}

}  // namespace
}  // namespace kalvero::testing
