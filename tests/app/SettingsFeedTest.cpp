// The window's settings reach the record the worker reads: what is opened
// and applied in the window is what the next run (or the running one) plays
// and recognises with.
#include <QTest>

#include "TestWindow.h"
#include "support/VideoFixtures.h"
#include "worker/RunSettings.h"

namespace kalvero::testing {
namespace {

TEST(SettingsFeed, EachStartPlaysTheFileOpenedLast) {
    // (The Apply buttons store into the same record; MainWindowApply reads
    // them back from it.)
    TestVideo shorter(PlainFrames(cv::Size(160, 120), 3));
    TestVideo longer(PlainFrames(cv::Size(160, 120), 5));
    TestWindow window;
    const RunSettings& run = window.settings();  // what the worker is handed

    window.openPath(shorter.path());
    EXPECT_EQ(LoadRunPath(run), shorter.path());
    window.click("buttonStart");
    ASSERT_TRUE(WaitFor([&] { return !window.workerActive() && window.consoleLines().size() >= 3; }));
    EXPECT_EQ(window.consoleLines().size(), 3);  // one line per frame of the shorter file

    window.openPath(longer.path());
    EXPECT_EQ(LoadRunPath(run), longer.path());
    window.click("buttonStart");
    ASSERT_TRUE(WaitFor([&] { return !window.workerActive() && window.consoleLines().size() >= 8; }));
    EXPECT_EQ(window.consoleLines().size(), 8);
}

TEST(SettingsFeed, AZoneAppliedDuringARunReachesTheWorker) {
    TestVideo video(PlainFrames(cv::Size(96, 72), 400));
    TestWindow window;
    ASSERT_TRUE(window.startAndWaitForLines(video.path(), 2));
    VideoThread& block = window.control();
    EXPECT_EQ(block.fontScale.load(), 1.0);
    EXPECT_FALSE(block.drawZone.load());

    // A zone larger than the frame: only the worker, testing the applied
    // zone on its next frame, can raise the warning and the zone switch.
    window.edit("editZoneW")->setText("500");
    window.click("buttonApplyZone");
    EXPECT_TRUE(WaitFor([&] { return block.drawZone.load() && block.fontScale.load() == 2.0; },
                        std::chrono::seconds(20)));
    EXPECT_TRUE(window.workerActive());  // the run goes on with its old zone
    window.stopRun();
    EXPECT_FALSE(window.workerActive());
}

}  // namespace
}  // namespace kalvero::testing
