// What only the SQLite store promises: a file only its owner reads, and a
// full disk that loses no acknowledged pass and leaves no half one.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
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

TEST(SqlitePassStore, NearlyFullDiskIsNotWritable) {
    TemporaryFolder folder;
    SqlitePassStore store(folder.path() + "/passes.db");
    std::string reason;
    store.SetMinimumFreeBytes(1ull << 62);
    EXPECT_FALSE(store.Writable(reason));
    EXPECT_NE(std::string::npos, reason.find("is full")) << reason;
    EXPECT_NE(std::string::npos, reason.find(folder.path())) << reason;
    store.SetMinimumFreeBytes(0);
    reason.clear();
    EXPECT_TRUE(store.Writable(reason)) << reason;
}

// A database the first release wrote, in its own words (kept here as it
// was, never edited): today's program opens it without taking version 1's
// step again and reads its pass. A step changed after its release would
// break every database already in use, and this test.
TEST(SqlitePassStore, OpensADatabaseOfVersionOneWrittenByHand) {
    TemporaryFolder folder;
    const std::string path = folder.path() + "/passes.db";
    {
        std::ofstream(path).flush();
    }
    RawSql(path,
           "CREATE TABLE schema_version (version INTEGER PRIMARY KEY, applied TEXT NOT NULL);"
           "INSERT INTO schema_version VALUES (1, '2026-12-01T00:00:00.000Z');"
           "CREATE TABLE passes (id INTEGER PRIMARY KEY AUTOINCREMENT, camera TEXT NOT NULL, number TEXT NOT NULL,"
           " check_digit INTEGER NOT NULL, start_time TEXT NOT NULL, end_time TEXT NOT NULL,"
           " frames_read INTEGER NOT NULL, direction TEXT NOT NULL, best_score REAL NOT NULL,"
           " best_frame INTEGER NOT NULL, scores TEXT NOT NULL, record TEXT NOT NULL, crop BLOB NOT NULL,"
           " corrected_number TEXT NOT NULL DEFAULT '', corrected_at TEXT NOT NULL DEFAULT '');"
           "CREATE TABLE deliveries (id INTEGER PRIMARY KEY AUTOINCREMENT,"
           " pass_id INTEGER NOT NULL REFERENCES passes (id),"
           " kind TEXT NOT NULL CHECK (kind IN ('pass', 'correction')), url TEXT NOT NULL,"
           " attempts INTEGER NOT NULL DEFAULT 0, next_attempt TEXT NOT NULL, last_error TEXT NOT NULL DEFAULT '',"
           " created TEXT NOT NULL);"
           "CREATE TABLE dropped_deliveries (id INTEGER PRIMARY KEY, pass_id INTEGER NOT NULL REFERENCES passes (id),"
           " kind TEXT NOT NULL, url TEXT NOT NULL, attempts INTEGER NOT NULL, last_error TEXT NOT NULL,"
           " created TEXT NOT NULL, dropped TEXT NOT NULL);"
           "CREATE TABLE health_probe (id INTEGER PRIMARY KEY CHECK (id = 1), written TEXT NOT NULL);"
           "INSERT INTO passes (camera, number, check_digit, start_time, end_time, frames_read, direction,"
           " best_score, best_frame, scores, record, crop) VALUES ('east', '52473063', 1,"
           " '2026-12-01T08:00:00.000Z', '2026-12-01T08:00:04.000Z', 12, 'left', 0.875, 6,"
           " '[[5,0.75],[6,0.875]]', '{\"number\":\"52473063\"}', X'89504E47');"
           "INSERT INTO deliveries (pass_id, kind, url, next_attempt, created)"
           " VALUES (1, 'pass', 'http://hook/', '', '2026-12-01T08:00:04.000Z');");

    auto store = OpenPassStore(path);
    EXPECT_EQ(1, store->SchemaVersion());
    const std::optional<StoredPass> pass = store->Pass(1);
    ASSERT_TRUE(pass.has_value());
    EXPECT_EQ("52473063", pass->number);
    EXPECT_TRUE(pass->checkDigit);
    EXPECT_EQ(0.875, pass->bestScore);
    EXPECT_EQ((std::vector<std::pair<int, float>>{{5, 0.75f}, {6, 0.875f}}), pass->scores);
    EXPECT_EQ((std::vector<unsigned char>{0x89, 'P', 'N', 'G'}), pass->cropPng);
    ASSERT_EQ(1u, store->DueDeliveries("2026-12-01T08:00:04.000Z", 10).size());
    // It takes new passes and corrections beside the old one.
    EXPECT_EQ(2, store->AddPass(MakePass("east", "52473071", "2026-12-08T12:00:00.000Z"), {}));
    EXPECT_TRUE(store->Correct(1, "52473089", "2026-12-08T12:05:00.000Z", {}));
}

// One record of the child's pipe: a stored pass's seed and id, or a
// failure (seed kFailed: the one that ended the writing; kNotRecovered:
// the write tried once there was room again) with its text's length as id
// and the text after it.
struct Report {
    long long seed = 0;
    long long id = 0;
};
constexpr long long kFailed = -1;
constexpr long long kNotRecovered = -2;
constexpr long long kSeedWithRoomAgain = 1000;

bool ReadAll(int pipe, void* into, size_t size) {
    size_t got = 0;
    while (got < size) {
        const ssize_t n = read(pipe, static_cast<char*>(into) + got, size - got);
        if (n <= 0) return false;
        got += static_cast<size_t>(n);
    }
    return true;
}

// Long addresses: the deliveries take room of their own, so the limit may
// come between a pass and its deliveries as well as inside the pass.
std::vector<std::string> LongHooks() {
    return {"http://one/" + std::string(3000, 'a'), "http://two/" + std::string(3000, 'b'),
            "http://three/" + std::string(3000, 'c')};
}

// Crops of 20 to 120 kB, so that the limit falls at a different place of
// each pass.
size_t FullDiskCropBytes(long long seed) { return 20000 + static_cast<size_t>(seed * 37813 % 100000); }

StoredPass FullDiskPass(long long seed) {
    return MakePass("east", "5247" + std::to_string(1000 + seed),
                    "2026-12-08T12:00:" + std::to_string(10 + seed % 50) + ".000Z", static_cast<int>(seed),
                    FullDiskCropBytes(seed));
}

// The child: stores passes until a file it writes reaches the limit, then,
// the limit lifted, stores one more with the same store (as the service
// does with the passes it held).
[[noreturn]] void FillTheDisk(const std::string& path, int pipe) {
    auto send = [&](long long seed, long long id, const std::string& text) {
        const Report report{seed, id};
        (void)!write(pipe, &report, sizeof(report));
        if (!text.empty()) (void)!write(pipe, text.data(), text.size());
    };
    auto fail = [&](long long what, const std::string& text) {
        send(what, static_cast<long long>(text.size()), text);
    };
    std::unique_ptr<PassStore> store;
    try {
        store = OpenPassStore(path);
    } catch (const StoreError& error) {
        fail(kFailed, std::string("cannot open: ") + error.what());
        _exit(0);
    }
    // No file of this process grows past 1.5 MB now, and growing one fails
    // with EFBIG instead of a signal.
    signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    const rlim_t unlimited = limit.rlim_cur;
    limit.rlim_cur = 1500 * 1000;
    setrlimit(RLIMIT_FSIZE, &limit);
    try {
        for (long long seed = 0; seed < kSeedWithRoomAgain; ++seed) {
            send(seed, store->AddPass(FullDiskPass(seed), LongHooks()), "");
        }
        fail(kFailed, "");
        _exit(0);
    } catch (const StoreError& error) {
        fail(kFailed, error.what());
    }
    limit.rlim_cur = unlimited;
    setrlimit(RLIMIT_FSIZE, &limit);
    try {
        send(kSeedWithRoomAgain, store->AddPass(FullDiskPass(kSeedWithRoomAgain), LongHooks()), "");
    } catch (const StoreError& error) {
        fail(kNotRecovered, error.what());
    }
    _exit(0);
}

TEST(SqlitePassStore, FullDiskKeepsEveryAcknowledgedPassAndNoHalfOne) {
    TemporaryFolder folder;
    const std::string path = folder.path() + "/passes.db";
    int fds[2];
    ASSERT_EQ(0, pipe(fds));
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(fds[0]);
        FillTheDisk(path, fds[1]);
    }
    close(fds[1]);
    std::vector<Report> stored;
    std::string failure;
    std::string notRecovered;
    Report report;
    while (ReadAll(fds[0], &report, sizeof(report))) {
        if (report.seed >= 0) {
            stored.push_back(report);
            continue;
        }
        std::string& text = report.seed == kFailed ? failure : notRecovered;
        text.resize(static_cast<size_t>(report.id));
        ReadAll(fds[0], text.data(), text.size());
        if (text.empty()) text = "(no message)";
    }
    close(fds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the writing process crashed";
    ASSERT_FALSE(failure.empty()) << "no write failed: the file size limit was never reached";
    EXPECT_NE(std::string::npos, failure.find(path)) << failure;
    EXPECT_NE(std::string::npos, failure.find("disk")) << failure;
    EXPECT_EQ("", notRecovered) << "the store did not write again once there was room";
    ASSERT_GE(stored.size(), 3u) << "the limit came before any pass: " << failure;
    EXPECT_EQ(kSeedWithRoomAgain, stored.back().seed);

    auto store = OpenPassStore(path);
    for (const Report& one : stored) {
        const std::optional<StoredPass> pass = store->Pass(one.id);
        ASSERT_TRUE(pass.has_value()) << "acknowledged pass " << one.id << " is lost";
        ExpectSamePass(FullDiskPass(one.seed), *pass);
    }
    PassQuery all;
    all.limit = 10000;
    EXPECT_EQ(stored.size(), store->FindPasses(all).size()) << "the pass that failed was kept";
    EXPECT_EQ(static_cast<long long>(stored.size() * LongHooks().size()), store->OutboxLength());
    EXPECT_EQ("ok", RawSqlValue(path, "PRAGMA integrity_check"));
}

}  // namespace
}  // namespace kalvero
