// Damaged and unusual files opened and started in the window: the run ends
// by itself and silently, leaving one console line per frame it could read
// and nothing else.
#include <fcntl.h>
#include <sys/stat.h>

#include <atomic>
#include <filesystem>
#include <thread>

#include <QRegularExpression>
#include <QTest>
#include <unistd.h>

#include "TestWindow.h"
#include "support/BadInputs.h"

namespace kalvero::testing {
namespace {

TEST(BadInputsWindow, RunsOnDamagedFilesEndSilently) {
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("kalvero-window-bad-inputs-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    const std::vector<BadInput> inputs = WriteBadInputs(folder.string());
    ASSERT_GE(inputs.size(), 39u);
    const QRegularExpression pattern("^Frame #(\\d+): Time recognition: \\d+\\.\\d{3} s$");

    TestWindow window;
    window.show();
    for (const BadInput& input : inputs) {
        SCOPED_TRACE(input.name);
        window.console()->clear();
        window.openPath(input.path);
        EXPECT_EQ(window.settings().fileName, input.path);  // even when it did not open
        window.click("buttonStart");
        ASSERT_TRUE(WaitFor([&] { return !window.workerActive() && window.control().outbox.Pending() == 0; },
                            std::chrono::seconds(60)))
            << "the run did not end";
        EXPECT_FALSE(window.control().isRunning.load());

        const QStringList lines = window.consoleLines();
        for (int i = 0; i < lines.size(); ++i) {
            const QRegularExpressionMatch match = pattern.match(lines[i]);
            ASSERT_TRUE(match.hasMatch()) << lines[i].toStdString();
            EXPECT_EQ(match.captured(1).toInt(), i + 1);
        }
        switch (input.outcome) {
        case BadInputOutcome::Refused:
            EXPECT_EQ(lines.size(), 0);
            break;
        case BadInputOutcome::Played:
            EXPECT_EQ(lines.size(), input.frames);
            break;
        case BadInputOutcome::Either:
            break;
        }
    }
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
}

// Choosing a named pipe in the open-file dialog (or starting a run on it)
// returns at once instead of waiting for a writer on the GUI thread.
TEST(BadInputsWindow, ANamedPipeIsNotOpened) {
    const std::string pipe =
        (std::filesystem::temp_directory_path() / ("kalvero-window-pipe-" + std::to_string(::getpid()) + ".avi"))
            .string();
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    // Should the window wait on the pipe after all, a writer comes after ten
    // seconds so that the test ends and reports it.
    std::atomic<bool> finished{false};
    std::thread rescue([&] {
        for (int i = 0; i < 1000 && !finished.load(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (!finished.load()) {
            const int writer = ::open(pipe.c_str(), O_WRONLY | O_NONBLOCK);
            if (writer >= 0) ::close(writer);
        }
    });

    TestWindow window;
    const auto start = std::chrono::steady_clock::now();
    window.openPath(pipe);
    EXPECT_TRUE(window.preview().empty());
    window.click("buttonStart");
    EXPECT_TRUE(WaitFor([&] { return !window.workerActive(); }, std::chrono::seconds(20)));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_TRUE(window.consoleLines().isEmpty());
    finished.store(true);
    rescue.join();
    std::filesystem::remove(pipe);
}

}  // namespace
}  // namespace kalvero::testing
