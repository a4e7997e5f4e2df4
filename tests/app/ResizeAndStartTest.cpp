// Resizing returns to the very layout of a size, however the window got
// there; Start pressed while a run starts or ends never loses the run asked
// for; opening a still too large to read leaves the window as it was.
#include <algorithm>
#include <random>

#include <QTest>
#include <QTimer>

#include <opencv2/imgcodecs.hpp>

#include "support/VideoFixtures.h"
#include "TestWindow.h"
#include "worker/StillImageHeader.h"

namespace kalvero::testing {
namespace {

// How long the window may stand still. Sanitizer builds run the same code
// several times slower (ThreadSanitizer most), so they get more room; the
// Release build holds the operator's 200 ms.
#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
constexpr std::chrono::milliseconds kLongestStall(1000);
#else
constexpr std::chrono::milliseconds kLongestStall(200);
#endif

struct FormGeometry {
    QRect console, monitor, panel;
    bool operator==(const FormGeometry& other) const {
        return console == other.console && monitor == other.monitor && panel == other.panel;
    }
};

FormGeometry GeometryOf(TestWindow& window) {
    return {window.console()->geometry(), window.monitor()->geometry(), window.find<QWidget>("widget")->geometry()};
}

void ResizeTo(TestWindow& window, QSize size) {
    window.resize(size);
    ASSERT_TRUE(WaitFor([&] { return window.size() == size; }, std::chrono::seconds(10)));
}

TEST(WindowResize, ReturningToASizeGivesBackItsLayout) {
    TestWindow window;
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const FormGeometry form = GeometryOf(window);
    ASSERT_EQ(form.console, QRect(0, 0, 221, 351));

    // Far below the form: the console and the monitor are clamped at no
    // height, and the way back must not add to the clamped sizes.
    ResizeTo(window, QSize(300, 150));
    EXPECT_EQ(window.console()->height(), 0);
    EXPECT_EQ(window.monitor()->height(), 0);
    EXPECT_EQ(window.find<QWidget>("widget")->y(), 360 + 150 - 563);
    ResizeTo(window, QSize(1093, 563));
    EXPECT_TRUE(GeometryOf(window) == form);

    std::mt19937 random(20261207);
    std::uniform_int_distribution<int> width(100, 1600);
    std::uniform_int_distribution<int> height(60, 1000);
    for (int step = 0; step < 25; ++step) {
        const QSize size(width(random), height(random));
        SCOPED_TRACE(step);
        ResizeTo(window, size);
        // Unclamped, the layout is the form grown by the window's growth.
        const int dW = size.width() - 1093;
        const int dH = size.height() - 563;
        if (351 + dH >= 0) {
            EXPECT_EQ(window.console()->geometry(), QRect(0, 0, 221, 351 + dH));
        }
        if (351 + dH >= 0 && 841 + dW >= 0) {
            EXPECT_EQ(window.monitor()->geometry(), QRect(220, 0, 841 + dW, 351 + dH));
        }
        EXPECT_EQ(window.find<QWidget>("widget")->pos(), QPoint(0, 360 + dH));
    }
    ResizeTo(window, QSize(1093, 563));
    EXPECT_TRUE(GeometryOf(window) == form);
}

// Waits until the window's worker has finished and its frames are shown.
bool WaitForIdle(TestWindow& window) {
    return WaitFor([&] { return !window.workerActive() && !window.startPending(); });
}

TEST(WindowStart, ADoubleClickStartsOneRunThatPlaysToTheEnd) {
    // Frames large enough that the first one takes the worker a while.
    TestVideo video(PlainFrames(cv::Size(640, 480), 40));
    TestWindow window;
    window.openPath(video.path());
    // The second press comes while the worker is still opening the file.
    window.click("buttonStart");
    window.click("buttonStart");
    EXPECT_EQ(window.startState(), MainWindow::StartState::Starting);
    ASSERT_TRUE(WaitForIdle(window));
    QTest::qWait(30);
    EXPECT_EQ(window.consoleLines().size(), 40);
    EXPECT_EQ(window.consoleLines().front().left(9), "Frame #1:");
}

TEST(WindowStart, StartWhileARunEndsStartsANewRunOnceItHasEnded) {
    TestVideo video(PlainFrames(cv::Size(160, 120), 400));
    TestWindow window;
    ASSERT_TRUE(window.startAndWaitForLines(video.path(), 2));
    VideoThread& block = window.control();
    ASSERT_EQ(window.startState(), MainWindow::StartState::Running);

    // Pause, so that the run surely is still ending when the second press
    // comes: Start ends it after one more frame.
    window.click("buttonStop");
    ASSERT_TRUE(WaitFor([&] { return block.pauseEntered.load(); }));
    window.click("buttonStart");
    EXPECT_EQ(window.startState(), MainWindow::StartState::Ending);
    window.click("buttonStart");
    EXPECT_TRUE(window.startPending());

    // The second run begins from frame 1 once the first has ended.
    ASSERT_TRUE(WaitFor([&] { return window.consoleLines().filter(QStringLiteral("Frame #1:")).size() == 2; }));
    EXPECT_EQ(window.startState(), MainWindow::StartState::Running);
    window.click("buttonStart");
    ASSERT_TRUE(WaitForIdle(window));
    EXPECT_FALSE(block.isRunning.load());
    EXPECT_FALSE(block.stopRequest.load());
}

TEST(WindowOpen, AStillBeyondThePixelLimitDoesNotOpen) {
    // A real picture, decodable, just over the limit: an 8-bit grey BMP is
    // cheap to write and decodes at once if asked to.
    const int side = 6400;
    ASSERT_GT(std::int64_t{side} * side, kMaxStillPixels);
    TempFile huge(".bmp");
    ASSERT_TRUE(cv::imwrite(huge.path(), cv::Mat(side, side, CV_8UC1, cv::Scalar(90))));
    TestVideo small(PlainFrames(cv::Size(160, 120), 1));

    TestWindow window;
    window.openPath(small.path());
    const QImage shown = window.monitorImage();
    ASSERT_FALSE(shown.isNull());
    const auto before = std::chrono::steady_clock::now();
    window.openPath(huge.path());
    const auto took = std::chrono::steady_clock::now() - before;
    // Refused from its header: nothing of it was decoded or shown.
    EXPECT_LT(took, kLongestStall);
    EXPECT_EQ(window.preview().size(), cv::Size(160, 120));
    EXPECT_EQ(window.monitorImage(), shown);
    EXPECT_EQ(window.edit("editZoneW")->text(), "79");

    // A run of it ends at once, as for any file that does not open.
    window.click("buttonStart");
    ASSERT_TRUE(WaitForIdle(window));
    EXPECT_TRUE(window.consoleLines().isEmpty());
}

TEST(WindowOpen, TheWindowKeepsWorkingWhileALargeStillIsDecoded) {
    // Sixteen bits and an alpha channel: slow to decode and to bring to
    // 8-bit BGR, cheap to show once converted.
    TempFile still(".png");
    cv::Mat picture(3000, 4000, CV_16UC4);
    cv::randu(picture, cv::Scalar::all(0), cv::Scalar::all(65535));
    ASSERT_TRUE(cv::imwrite(still.path(), picture, {cv::IMWRITE_PNG_COMPRESSION, 1}));
    picture.release();

    TestWindow window;
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    // The longest the event loop stood still while the file was opened.
    QTimer ticker;
    ticker.setInterval(10);
    auto last = std::chrono::steady_clock::now();
    std::chrono::steady_clock::duration longest{};
    int ticks = 0;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const auto now = std::chrono::steady_clock::now();
        longest = std::max(longest, now - last);
        last = now;
        ++ticks;
    });
    ticker.start();
    QTest::qWait(30);
    last = std::chrono::steady_clock::now();
    ticks = 0;
    window.openPath(still.path());
    longest = std::max(longest, std::chrono::steady_clock::now() - last);
    ticker.stop();

    ASSERT_EQ(window.preview().size(), cv::Size(4000, 3000));
    EXPECT_FALSE(window.monitorImage().isNull());
    EXPECT_GT(ticks, 0) << "the window did nothing while decoding";
    EXPECT_LT(longest, kLongestStall) << std::chrono::duration_cast<std::chrono::milliseconds>(longest).count() << " ms";
}

}  // namespace
}  // namespace kalvero::testing
