// Runs started from the window: console lines, replay, Start as Stop,
// opening and Show during a run, closing during a run, and a screenshot.
#include <filesystem>

#include <QDir>
#include <QRegularExpression>
#include <QTest>

#include "TestWindow.h"
#include "support/VideoFixtures.h"

namespace kalvero::testing {
namespace {

bool WaitForRunEnd(TestWindow& window, int lines) {
    return WaitFor([&] { return !window.workerActive() && window.consoleLines().size() >= lines; });
}

void ExpectFrameLines(const QStringList& lines, int from, int count) {
    const QRegularExpression pattern("^Frame #(\\d+): Time recognition: \\d+\\.\\d{3} s$");
    for (int i = 0; i < count; ++i) {
        const QRegularExpressionMatch match = pattern.match(lines.value(from + i));
        ASSERT_TRUE(match.hasMatch()) << lines.value(from + i).toStdString();
        EXPECT_EQ(match.captured(1).toInt(), i + 1);
    }
}

TEST(WindowRun, EveryFrameGetsOneLineAndStartReplaysFromFrameOne) {
    TestVideo video(PlainFrames(cv::Size(160, 120), 6));
    TestWindow window;
    window.show();
    window.openPath(video.path());
    window.click("buttonStart");
    ASSERT_TRUE(WaitForRunEnd(window, 6));
    QTest::qWait(30);
    QStringList lines = window.consoleLines();
    ASSERT_EQ(lines.size(), 6);
    ExpectFrameLines(lines, 0, 6);
    EXPECT_FALSE(window.control().isRunning.load());
    EXPECT_EQ(window.monitorImage().height(), window.monitor()->height());

    window.click("buttonStart");
    ASSERT_TRUE(WaitForRunEnd(window, 12));
    lines = window.consoleLines();
    ASSERT_EQ(lines.size(), 12);
    ExpectFrameLines(lines, 6, 6);
}

TEST(WindowRun, StartDuringARunEndsItAndStartDuringAPauseAfterOneMoreFrame) {
    TestVideo video(PlainFrames(cv::Size(96, 72), 400));
    TestWindow window;
    ASSERT_TRUE(window.startAndWaitForLines(video.path(), 2));
    VideoThread& block = window.control();
    window.click("buttonStart");
    ASSERT_TRUE(WaitFor([&] { return !window.workerActive(); }));
    QTest::qWait(30);
    const int played = window.consoleLines().size();
    EXPECT_LT(played, 400);
    EXPECT_FALSE(block.isRunning.load());
    EXPECT_FALSE(block.stopRequest.load());

    window.console()->clear();
    window.click("buttonStart");
    ASSERT_TRUE(window.waitForLines(1));
    window.click("buttonStop");
    ASSERT_TRUE(WaitFor([&] { return block.pauseEntered.load(); }));
    QTest::qWait(30);
    const int beforeStart = window.consoleLines().size();
    window.click("buttonStart");
    ASSERT_TRUE(WaitFor([&] { return !window.workerActive(); }));
    QTest::qWait(30);
    EXPECT_EQ(window.consoleLines().size(), beforeStart + 1);
    ExpectFrameLines(window.consoleLines(), 0, beforeStart + 1);
}

TEST(WindowRun, OpeningAndShowingDuringARunLeaveTheRunAlone) {
    TestVideo running(PlainFrames(cv::Size(160, 120), 400));
    TestVideo other(PlainFrames(cv::Size(640, 480), 1));
    TestWindow window;
    window.openPath(running.path());
    const cv::Mat previewBefore = window.preview().clone();
    VideoThread& block = window.control();
    window.click("buttonStart");
    ASSERT_TRUE(WaitFor([&] { return block.isRunning.load() && window.consoleLines().size() >= 1; }));
    window.click("buttonStop");
    ASSERT_TRUE(WaitFor([&] { return block.pauseEntered.load(); }));
    QTest::qWait(30);
    const QImage shown = window.monitorImage();

    // Show buttons flip only the worker's switches during a run.
    window.click("buttonShowZone");
    EXPECT_TRUE(block.drawZone.load());
    EXPECT_FALSE(window.zoneOverlayShown());

    // A second file: the edits propose its unscaled quarter, unapplied.
    block.optionsChanged = false;
    window.openPath(other.path());
    EXPECT_EQ(window.edit("editZoneW")->text(), "319");
    EXPECT_EQ(window.edit("editZoneH")->text(), "239");
    EXPECT_EQ(window.settings().zoneW.load(), 79);  // still the first file's zone
    EXPECT_FALSE(block.optionsChanged.load());
    EXPECT_EQ(window.preview().size(), cv::Size(640, 480));
    EXPECT_EQ(window.monitorImage(), shown);

    window.click("buttonStart");  // ends the run
    ASSERT_TRUE(WaitFor([&] { return !window.workerActive(); }));
    EXPECT_EQ(previewBefore.size(), cv::Size(160, 120));
}

TEST(WindowRun, ClosingTheWindowDuringARunWaitsForTheWorker) {
    TestVideo video(PlainFrames(cv::Size(160, 120), 400));
    for (const bool paused : {false, true}) {
        SCOPED_TRACE(paused ? "paused" : "playing");
        auto window = std::make_unique<TestWindow>();
        window->show();
        window->open(QString::fromStdString(video.path()));
        QTest::mouseClick(window->button("buttonStart"), Qt::LeftButton);
        ASSERT_TRUE(WaitFor([&] { return window->consoleLines().size() >= 2; }));
        if (paused) {
            QTest::mouseClick(window->button("buttonStop"), Qt::LeftButton);
            ASSERT_TRUE(WaitFor([&] { return window->control().pauseEntered.load(); }));
        }
        ASSERT_TRUE(window->workerActive());
        const auto closing = std::chrono::steady_clock::now();
        window.reset();  // must not leave the worker using freed objects
        const auto waited = std::chrono::steady_clock::now() - closing;
        EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(waited).count(), 5000);
        QTest::qWait(30);
    }
}

// The run of a readable video ends with the number confirmed; the monitor
// shows the last frame with its label, box and banner. The window is saved
// as screenshots/main_window.png in the build folder.
TEST(WindowRun, ReadableVideoEndsWithTheBannerOnTheMonitor) {
    TestVideo video(NumberFrames(cv::Size(320, 240), 8, "52473063", 29, cv::Point(40, 100)));
    TestWindow window;
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    window.openPath(video.path());
    window.edit("editZoneY")->setText("60");
    window.edit("editZoneW")->setText("320");
    window.edit("editZoneH")->setText("120");
    window.click("buttonApplyZone");
    window.click("buttonStart");
    ASSERT_TRUE(WaitForRunEnd(window, 8));
    QTest::qWait(50);
    ASSERT_EQ(window.consoleLines().size(), 8);

    // The banner sits 40 frame pixels in from the left and bottom edges; the
    // frame is shown at 351 / 240 of its size.
    const QImage shown = window.monitorImage();
    ASSERT_EQ(shown.size(), QSize(468, 351));
    const double scale = 351.0 / 240.0;
    const QRect banner(int(42 * scale), int((240 - 60) * scale), int(120 * scale), int(18 * scale));
    int white = 0;
    int red = 0;
    for (int y = banner.top(); y <= banner.bottom(); ++y) {
        for (int x = banner.left(); x <= banner.right(); ++x) {
            const QRgb pixel = shown.pixel(x, y) & 0xFFFFFF;
            if (pixel == 0xFFFFFF) ++white;
            if (pixel == 0xFF0000) ++red;
        }
    }
    EXPECT_GT(white, banner.width() * banner.height() / 3);
    EXPECT_GT(red, 200);

#ifdef KALVERO_BUILD_DIR
    const QString folder = QString::fromLocal8Bit(KALVERO_BUILD_DIR) + "/screenshots";
#else
    const QString folder = QDir::tempPath() + "/screenshots";
#endif
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString path = folder + "/main_window.png";
    ASSERT_TRUE(window.grab().save(path));
    EXPECT_TRUE(std::filesystem::exists(path.toStdString()));
}

}  // namespace
}  // namespace kalvero::testing
