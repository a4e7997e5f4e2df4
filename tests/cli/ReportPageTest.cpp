// The --report page: rewritten whole while passes come in from several
// threads, and sorted and filtered by its own script in a real browser.
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "ReaderProcess.h"
#include "cli/HtmlReport.h"
#include "cli/ReportWriter.h"

namespace kalvero {
namespace {

using namespace testing_cli;
namespace fs = std::filesystem;

CarriagePass PassOf(const std::string& number, const std::string& file, double start) {
    CarriagePass pass;
    pass.file = file;
    pass.number = number;
    pass.firstFrame = 1 + static_cast<int>(start * 25);
    pass.lastFrame = pass.firstFrame + 20;
    pass.startSeconds = start;
    pass.endSeconds = start + 0.8;
    pass.bestFrame = pass.firstFrame + 5;
    pass.bestScore = 0.9f;
    pass.scores = {{pass.firstFrame, 0.8f}, {pass.bestFrame, 0.9f}};
    return pass;
}

int Rows(const std::string& page) {
    int rows = 0;
    for (std::size_t at = 0; (at = page.find("<tr data-index=", at)) != std::string::npos; ++at) ++rows;
    return rows;
}

bool Whole(const std::string& page) {
    return page.rfind("<!DOCTYPE html>", 0) == 0 && page.size() > 15 &&
           page.compare(page.size() - 15, 15, "</body></html>\n") == 0;
}

TEST(ReportWriter, ThePageIsRewrittenWholeAsPassesComeFromSeveralThreadsAtMostOnceASecond) {
    const std::string path = ScratchDir() + "/live-report.html";
    ReportWriter writer(path);
    std::string error;
    ASSERT_TRUE(writer.Prepare(error)) << error;
    EXPECT_TRUE(Whole(ReadFile(path)));
    EXPECT_EQ(Rows(ReadFile(path)), 0);

    // Four jobs, five passes each, one every 0.5 s: 2.5 s in all.
    const auto start = std::chrono::steady_clock::now();
    std::atomic<int> added{0};
    std::vector<std::thread> jobs;
    for (int job = 0; job < 4; ++job) {
        jobs.emplace_back([&, job] {
            for (int i = 0; i < 5; ++i) {
                std::this_thread::sleep_for(std::chrono::milliseconds(500));
                writer.Add({PassOf("5247306" + std::to_string(job), "cam" + std::to_string(job) + ".mp4", i)});
                ++added;
            }
        });
    }
    // Every look at the file while they run finds a whole page; some show
    // part of the passes, before the end.
    int looks = 0, partial = 0, broken = 0;
    while (added.load() < 20) {
        const std::string page = ReadFile(path);
        ++looks;
        broken += Whole(page) ? 0 : 1;
        const int rows = Rows(page);
        partial += rows > 0 && rows < 20 ? 1 : 0;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    for (std::thread& job : jobs) job.join();
    EXPECT_EQ(broken, 0) << looks << " looks";
    EXPECT_GT(partial, 0) << looks << " looks";
    // A pass is on the page about a second after it came, not at the end.
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    EXPECT_EQ(Rows(ReadFile(path)), 20);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    // The first page, then at most one a second.
    EXPECT_LE(writer.Rewrites(), 1 + static_cast<int>(seconds) + 1) << seconds << " s";

    writer.Finish();
    EXPECT_FALSE(writer.Failed());
    const std::string last = ReadFile(path);
    EXPECT_TRUE(Whole(last));
    EXPECT_EQ(Rows(last), 20);
    EXPECT_EQ(last.find("so far"), std::string::npos);
    // Each pass once, numbered 1..20 in the order they came.
    for (int i = 1; i <= 20; ++i) {
        EXPECT_NE(last.find("<tr data-index=\"" + std::to_string(i) + "\""), std::string::npos) << i;
    }
}

TEST(HtmlReport, LongPathsWrapWithTheWholePathInATitleAndTimesOfDayShowWhenKnown) {
    CarriagePass timed = PassOf("52473063", "/srv/yard/" + std::string(150, 'n') + "/east <1>.mp4", 2.0);
    timed.startTime = TimeOfDay(std::chrono::milliseconds(1796733296789LL));
    timed.endTime = TimeOfDay(std::chrono::milliseconds(1796733297589LL));
    const CarriagePass untimed = PassOf("58241837", "west.mp4", 1.0);
    const std::string page = HtmlReport({timed, untimed}, "Passes");
    const std::string file = "/srv/yard/" + std::string(150, 'n') + "/east &lt;1&gt;.mp4";
    EXPECT_NE(page.find("title=\"" + file + "\""), std::string::npos);
    EXPECT_NE(page.find("overflow-wrap:anywhere"), std::string::npos);
    EXPECT_NE(page.find("<time datetime=\"2026-12-08T12:34:56.789Z\">"), std::string::npos);
    EXPECT_NE(page.find("<time datetime=\"2026-12-08T12:34:57.589Z\">"), std::string::npos);
    // The untimed pass: a dash for each time, sorted after every timed one.
    EXPECT_NE(page.find("data-time=\"~"), std::string::npos);
    EXPECT_NE(page.find("<span class=\"none\">-</span><br><span class=\"none\">-</span>"), std::string::npos);
    // Nothing outside the page.
    EXPECT_EQ(page.find("src=\"http"), std::string::npos);
    EXPECT_EQ(page.find("href="), std::string::npos);
    EXPECT_EQ(page.find("<script src"), std::string::npos);
}

// The numbers of the rows Chromium shows for the page at `address`, in
// their order after the page's script ran; rows it hides are left out.
std::vector<std::string> ShownNumbers(const std::string& address) {
    const std::string dom = ScratchDir() + "/dom.html";
    // TMPDIR: Chromium leaves a folder there, which the scratch folder's
    // removal takes with it.
    const std::string command = "TMPDIR=" + ScratchDir() +
                                " chromium --headless --no-sandbox --disable-gpu --user-data-dir=" + ScratchDir() +
                                "/chromium-dom --dump-dom '" + address + "' > " + dom + " 2>/dev/null";
    std::vector<std::string> numbers;
    if (std::system(command.c_str()) != 0) {
        numbers.push_back("chromium failed");
        return numbers;
    }
    const std::string text = ReadFile(dom);
    const std::regex row("<tr data-index=\"[0-9]+\" data-number=\"([0-9]+)\"[^>]*>");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), row); it != std::sregex_iterator(); ++it) {
        if ((*it)[0].str().find("display: none") == std::string::npos) {
            numbers.push_back((*it)[1]);
        }
    }
    return numbers;
}

struct BrowserCase {
    const char* address;  // after the page's '#'
    std::vector<std::string> shown;
};

class ReportInBrowser : public ::testing::TestWithParam<BrowserCase> {};

TEST_P(ReportInBrowser, SortsAndFiltersItsTable) {
    if (std::system("command -v chromium >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "chromium is not installed (scripts/bootstrap installs it)";
    }
    static const std::string page = [] {
        // Given in this order: number, file and time all differ from it.
        CarriagePass a = PassOf("33333332", "/data/north/east.mp4", 9.0);
        CarriagePass b = PassOf("11111116", "/data/south/west.mp4", 1.0);
        CarriagePass c = PassOf("22222224", "/data/north/west.mp4", 5.0);
        CarriagePass d = PassOf("44444448", "/data/south/east.mp4", 3.0);
        a.startTime = TimeOfDay(std::chrono::seconds(1796733200));
        c.startTime = TimeOfDay(std::chrono::seconds(1796733100));
        const std::string path = ScratchDir() + "/sortable.html";
        std::string error;
        if (!WriteReportFile(path, HtmlReport({a, b, c, d}, "Sortable"), error)) throw std::runtime_error(error);
        return path;
    }();
    EXPECT_EQ(ShownNumbers("file://" + page + "#" + GetParam().address), GetParam().shown) << GetParam().address;
}

INSTANTIATE_TEST_SUITE_P(
    Orders, ReportInBrowser,
    ::testing::Values(BrowserCase{"", {"33333332", "11111116", "22222224", "44444448"}},
                      BrowserCase{"sort=number", {"11111116", "22222224", "33333332", "44444448"}},
                      BrowserCase{"sort=-number", {"44444448", "33333332", "22222224", "11111116"}},
                      BrowserCase{"sort=file", {"33333332", "22222224", "44444448", "11111116"}},
                      // Times of day first, in time order; then by seconds.
                      BrowserCase{"sort=time", {"22222224", "33333332", "11111116", "44444448"}},
                      BrowserCase{"q=north", {"33333332", "22222224"}},
                      BrowserCase{"q=EAST", {"33333332", "44444448"}},
                      BrowserCase{"q=2222", {"22222224"}},
                      BrowserCase{"q=south%20west", {"11111116"}},
                      BrowserCase{"q=nothing", {}},
                      BrowserCase{"q=west&sort=-number", {"22222224", "11111116"}}));

}  // namespace
}  // namespace kalvero
