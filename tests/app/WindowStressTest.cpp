// The window under strain: a hundred runs started and ended in every way the
// operator can end them, and extreme values typed into every setting while a
// run goes on. Run under AddressSanitizer and ThreadSanitizer in CI.
#include <fstream>
#include <memory>
#include <string>
#include <thread>

#include <QRegularExpression>
#include <QTest>

#include "TestWindow.h"
#include "support/VideoFixtures.h"

namespace kalvero::testing {
namespace {

// Threads of this process, from /proc/self/status.
int ThreadCount() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("Threads:", 0) == 0) return std::stoi(line.substr(8));
    }
    return -1;
}

bool OnlyFrameLines(const QStringList& lines) {
    const QRegularExpression pattern("^Frame #\\d+: Time recognition: \\d+\\.\\d{3} s$");
    for (const QString& line : lines) {
        if (!pattern.match(line).hasMatch()) {
            ADD_FAILURE() << "unexpected console line: " << line.toStdString();
            return false;
        }
    }
    return true;
}

enum class Ending { StartAgain, CloseWindow, QuitWhilePaused };

// Waits, without handling GUI events meanwhile, until the worker has posted
// `frames` more frames than `before` (its outbox fills as it plays; only the
// display timer empties it). Returns at once when the run has ended. Tiny
// frames play in well under a millisecond each, so watching this closely is
// what keeps the run from reaching the end of the video first.
bool WaitForPosted(MainWindow& window, std::size_t before, std::size_t frames) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (window.control().outbox.Pending() < before + frames && window.workerActive() &&
           std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    return window.control().outbox.Pending() >= before + frames;
}

TEST(WindowStress, AHundredRunsStartedAndEndedEveryWay) {
    TestVideo video(PlainFrames(cv::Size(96, 72), 1000));
    const QString path = QString::fromStdString(video.path());
    int threadsAfterWarmUp = 0;
    for (int cycle = 0; cycle < 100; ++cycle) {
        SCOPED_TRACE(cycle);
        const Ending ending = static_cast<Ending>(cycle % 3);
        auto window = std::make_unique<TestWindow>();
        window->show();
        window->open(path);
        // Ended as soon as it plays, so that it is surely still going: tiny
        // frames play in a few milliseconds otherwise.
        QTest::mouseClick(window->button("buttonStart"), Qt::LeftButton);
        ASSERT_TRUE(WaitForPosted(*window, 0, 1));
        ASSERT_TRUE(window->workerActive());

        switch (ending) {
        case Ending::StartAgain:
            QTest::mouseClick(window->button("buttonStart"), Qt::LeftButton);
            ASSERT_TRUE(WaitFor([&] { return !window->workerActive(); }, std::chrono::seconds(10)));
            break;
        case Ending::CloseWindow:
            window->close();  // the run goes on until the window is destroyed
            break;
        case Ending::QuitWhilePaused:
            QTest::mouseClick(window->button("buttonStop"), Qt::LeftButton);
            ASSERT_TRUE(WaitFor([&] { return window->control().pauseEntered.load(); }));
            window->quitAnswer = true;
            window->trigger("actionExit");
            EXPECT_FALSE(window->workerActive());  // quitting waited for the run
            EXPECT_FALSE(window->control().isRunning.load());
            break;
        }
        QCoreApplication::processEvents();
        EXPECT_TRUE(OnlyFrameLines(window->consoleLines()));
        const auto closing = std::chrono::steady_clock::now();
        window.reset();
        EXPECT_LT(std::chrono::steady_clock::now() - closing, std::chrono::seconds(5));
        if (cycle == 9) threadsAfterWarmUp = ThreadCount();
    }
    // Every worker thread has ended: none piles up over the runs.
    QTest::qWait(50);
    EXPECT_LE(ThreadCount(), threadsAfterWarmUp);
}

// Values typed into the line edits, applied during a run: each is stored as
// its whole-number value or 0, and the run goes on. The run is held between
// the steps so that the video lasts however fast tiny zones are read.
TEST(WindowStress, ExtremeTypedSettingsDuringARunNeverStopIt) {
    TestVideo video(PlainFrames(cv::Size(160, 120), 1000));
    TestWindow window;
    window.show();
    window.openPath(video.path());
    WindowVideoThread& block = window.control();
    window.click("buttonStart");
    ASSERT_TRUE(WaitForPosted(window, 0, 1));
    window.click("buttonStop");
    ASSERT_TRUE(WaitFor([&] { return block.pauseEntered.load(); }));

    // Lets the run go on while `apply` runs, until the worker has posted two
    // more frames, then holds it again: the hold comes within a frame or two
    // however fast tiny zones are read, so the video lasts.
    auto duringTheRun = [&](auto apply) {
        const std::size_t before = block.outbox.Pending();
        window.click("buttonStop");
        apply();
        const bool going = WaitForPosted(window, before, 2);
        window.click("buttonStop");
        return going && WaitFor([&] { return block.pauseEntered.load() || !window.workerActive(); }) &&
               window.workerActive();
    };

    struct Typed {
        const char* text;
        std::int32_t stored;
    };
    const Typed values[] = {
        {"-1", -1},        {"0", 0},         {"2147483647", 2147483647}, {"-2147483648", INT32_MIN},
        {"abc", 0},        {"12abc", 0},     {"", 0},                    {"99999999999", 0},
        {"2147483648", 0}, {"1e9", 0},       {"-0", 0},                  {"7", 7},
    };
    const char* const edits[] = {"editZoneX", "editZoneY", "editZoneW", "editZoneH", "editDeepBuf", "editColSum"};
    const char* const applies[] = {"buttonApplyZone", "buttonApplyDeepBuf", "buttonApplyColNum"};
    const Options& options = window.settings();

    for (const Typed& value : values) {
        SCOPED_TRACE(value.text);
        ASSERT_TRUE(duringTheRun([&] {
            for (const char* edit : edits) window.edit(edit)->setText(QString::fromLatin1(value.text));
            for (const char* apply : applies) QTest::mouseClick(window.button(apply), Qt::LeftButton);
            // Both overlays on, with the values in place.
            window.click("buttonShowZone");
            window.click("buttonShowNumberH");
        })) << "the run stopped";
        EXPECT_EQ(options.zoneX.load(), value.stored);
        EXPECT_EQ(options.zoneH.load(), value.stored);
        EXPECT_EQ(options.deepBuf.load(), value.stored);
        EXPECT_EQ(options.colNum.load(), value.stored);
        // And off again.
        ASSERT_TRUE(duringTheRun([&] {
            window.click("buttonShowZone");
            window.click("buttonShowNumberH");
        })) << "the run stopped";
    }

    // The digit height and zoom are spin boxes: typing reaches only their
    // ends, and letters are not taken.
    QSpinBox* height = window.find<QSpinBox>("editNumberH");
    QDoubleSpinBox* zoom = window.find<QDoubleSpinBox>("editZoom");
    for (const char* typed : {"2147483647", "-5", "0", "abc", "99"}) {
        SCOPED_TRACE(typed);
        ASSERT_TRUE(duringTheRun([&] {
            height->selectAll();
            QTest::keyClicks(height, QString::fromLatin1(typed));
            zoom->selectAll();
            QTest::keyClicks(zoom, QString::fromLatin1(typed));
            window.click("buttonApplyNumberH");
            window.click("buttonApplyZoom");
            window.click("buttonShowNumberH");
        })) << "the run stopped";
        EXPECT_GE(options.numberH.load(), 0);
        EXPECT_LE(options.numberH.load(), 99);
        EXPECT_GE(options.zoom.load(), 0.3f);
        EXPECT_LE(options.zoom.load(), 1.0f);
    }

    ASSERT_TRUE(window.workerActive());
    window.click("buttonStart");
    ASSERT_TRUE(WaitFor([&] { return !window.workerActive(); }, std::chrono::seconds(10)));
    QTest::qWait(30);
    EXPECT_TRUE(OnlyFrameLines(window.consoleLines()));
}

}  // namespace
}  // namespace kalvero::testing
