// What only the SQLite store promises: a file only its owner reads, and a
// full disk that loses no acknowledged pass and leaves no half one.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "StoreRawSql.h"
#include "StoreTestSupport.h"
#include "serve/PassStore.h"
#include "serve/SqlitePassStore.h"

namespace kalvero {
namespace {

TEST(SqlitePassStore, DatabaseFilesAreTheOwnersOnly) {
    TemporaryFolder folder;
    const std::string path = folder.path() + "/passes.db";
    auto store = OpenPassStore(path);
    store->AddPass(MakePass("east", "52473063", "2026-12-08T12:00:00.000Z"), {});
    for (const std::string& file : {path, path + "-wal"}) {
        struct stat info {};
        ASSERT_EQ(0, stat(file.c_str(), &info)) << file;
        EXPECT_EQ(0600u, info.st_mode & 0777u) << file;
    }
}

// One record of the child's pipe: a stored pass's seed and id, or (with
// seed -1) the failure that ended its writing, its text's length as id and
// the text after it.
struct Report {
    long long seed = 0;
    long long id = 0;
};

bool ReadAll(int pipe, void* into, size_t size) {
    size_t got = 0;
    while (got < size) {
        const ssize_t n = read(pipe, static_cast<char*>(into) + got, size - got);
        if (n <= 0) return false;
        got += static_cast<size_t>(n);
    }
    return true;
}

std::string FullDiskStart(long long seed) { return "2026-12-08T12:00:" + std::to_string(10 + seed % 50) + ".000Z"; }

TEST(SqlitePassStore, FullDiskKeepsEveryAcknowledgedPassAndNoHalfOne) {
    TemporaryFolder folder;
    const std::string path = folder.path() + "/passes.db";
    constexpr size_t kCropBytes = 100 * 1000;
    int fds[2];
    ASSERT_EQ(0, pipe(fds));
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(fds[0]);
        auto send = [&](long long seed, long long id, const std::string& text) {
            const Report report{seed, id};
            (void)!write(fds[1], &report, sizeof(report));
            if (!text.empty()) (void)!write(fds[1], text.data(), text.size());
        };
        try {
            auto store = OpenPassStore(path);
            // From here no file of this process grows past 1.5 MB, and
            // growing it fails with EFBIG instead of a signal.
            signal(SIGXFSZ, SIG_IGN);
            const rlim_t limit = 1500 * 1000;
            const rlimit small{limit, limit};
            setrlimit(RLIMIT_FSIZE, &small);
            for (long long seed = 0; seed < 1000; ++seed) {
                const long long id = store->AddPass(
                    MakePass("east", "5247" + std::to_string(1000 + seed), FullDiskStart(seed), static_cast<int>(seed),
                             kCropBytes),
                    {"http://hook/"});
                send(seed, id, "");
            }
        } catch (const StoreError& error) {
            const std::string text = error.what();
            send(-1, static_cast<long long>(text.size()), text);
        } catch (...) {
            send(-1, 7, "unknown");
        }
        close(fds[1]);
        _exit(0);
    }
    close(fds[1]);
    std::vector<Report> stored;
    std::string failure;
    Report report;
    while (ReadAll(fds[0], &report, sizeof(report))) {
        if (report.seed < 0) {
            failure.resize(static_cast<size_t>(report.id));
            ReadAll(fds[0], failure.data(), failure.size());
            break;
        }
        stored.push_back(report);
    }
    close(fds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the writing process crashed";
    ASSERT_FALSE(failure.empty()) << "no write failed: the file size limit was never reached";
    EXPECT_NE(std::string::npos, failure.find(path)) << failure;
    EXPECT_NE(std::string::npos, failure.find("disk")) << failure;
    ASSERT_GE(stored.size(), 2u) << "the limit came before any pass: " << failure;

    auto store = OpenPassStore(path);
    for (const Report& one : stored) {
        const std::optional<StoredPass> pass = store->Pass(one.id);
        ASSERT_TRUE(pass.has_value()) << "acknowledged pass " << one.id << " is lost";
        const int seed = static_cast<int>(one.seed);
        ExpectSamePass(MakePass("east", "5247" + std::to_string(1000 + seed), FullDiskStart(seed), seed, kCropBytes),
                       *pass);
    }
    PassQuery all;
    all.limit = 10000;
    EXPECT_EQ(stored.size(), store->FindPasses(all).size()) << "the pass that failed was kept";
    EXPECT_EQ(static_cast<long long>(stored.size()), store->OutboxLength());
    EXPECT_EQ("ok", RawSqlValue(path, "PRAGMA integrity_check"));
    // With room again, writing goes on.
    EXPECT_GT(store->AddPass(MakePass("east", "52473063", "2026-12-08T13:00:00.000Z", 0, kCropBytes), {}), 0);
}

}  // namespace
}  // namespace kalvero
