// The store's contract, run against SQLite and against a real PostgreSQL
// (started by the test where Debian's server is installed): every field
// kept, the searches, corrections, the outbox, the schema's versions, and
// no acknowledged pass lost through kill -9.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <map>
#include <set>
#include <thread>

#include "StoreRawSql.h"
#include "StoreTestSupport.h"
#include "TemporaryPostgres.h"
#include "serve/PassStore.h"
#include "serve/PostgresPassStore.h"
#include "serve/SqlitePassStore.h"
#include "serve/StoreSchema.h"

namespace kalvero {
namespace {

// The test's own database: a new SQLite file or a new PostgreSQL database.
class StoreTest : public ::testing::Test {
protected:
    void UseStore(const std::string& kind) {
        kind_ = kind;
        if (kind == "postgresql") {
            TemporaryPostgres& server = TemporaryPostgres::Shared();
            if (!server.Running()) GTEST_SKIP() << server.WhyNot();
            storage_ = server.NewDatabase();
        } else {
            ASSERT_FALSE(folder_.path().empty());
            storage_ = folder_.path() + "/passes.db";
        }
    }
    std::unique_ptr<PassStore> Open() { return OpenPassStore(storage_); }
    std::unique_ptr<PassStore> OpenWithSteps(const std::vector<SchemaStep>& steps) {
        if (kind_ == "postgresql") return std::make_unique<PostgresPassStore>(storage_, steps);
        return std::make_unique<SqlitePassStore>(storage_, steps);
    }

    TemporaryFolder folder_;
    std::string kind_;
    std::string storage_;
};

class PassStoreContract : public StoreTest, public ::testing::WithParamInterface<std::string> {
protected:
    void SetUp() override { UseStore(GetParam()); }
};

std::string StoreName(const ::testing::TestParamInfo<std::string>& info) { return info.param; }

TEST_P(PassStoreContract, KeepsEveryFieldOfAPass) {
    auto store = Open();
    StoredPass pass = MakePass("east 'gate'", "52473063", "2026-12-08T12:34:56.789Z", 4, 70000);
    pass.correctedNumber = "52473071";
    pass.correctedAt = "2026-12-08T13:00:00.000Z";
    const long long id = store->AddPass(pass, {});
    ASSERT_GT(id, 0);

    const std::optional<StoredPass> stored = store->Pass(id);
    ASSERT_TRUE(stored.has_value());
    EXPECT_EQ(id, stored->id);
    ExpectSamePass(pass, *stored);

    // Lists leave the crop out unless asked for it.
    PassQuery query;
    const std::vector<StoredPass> listed = store->FindPasses(query);
    ASSERT_EQ(1u, listed.size());
    EXPECT_EQ(id, listed[0].id);
    ExpectSamePass(pass, listed[0], false);
    query.withCrops = true;
    ExpectSamePass(pass, store->FindPasses(query).at(0));

    // A pass without a crop and without scores keeps them empty.
    StoredPass bare = MakePass("west", "12345678", "2026-12-08T12:35:00.000Z", 1, 0);
    bare.scores.clear();
    const std::optional<StoredPass> storedBare = store->Pass(store->AddPass(bare, {}));
    ASSERT_TRUE(storedBare.has_value());
    ExpectSamePass(bare, *storedBare);

    // What was stored is there for the next process that opens the database.
    store.reset();
    const std::optional<StoredPass> reopened = Open()->Pass(id);
    ASSERT_TRUE(reopened.has_value());
    ExpectSamePass(pass, *reopened);
}

TEST_P(PassStoreContract, UnknownIdsFindNothingAndChangeNothing) {
    auto store = Open();
    const long long id = store->AddPass(MakePass("east", "52473063", "2026-12-08T12:00:00.000Z"), {"http://a/"});
    EXPECT_FALSE(store->Pass(id + 1000).has_value());
    EXPECT_FALSE(store->Correct(id + 1000, "11111111", "2026-12-08T13:00:00.000Z", {"http://a/"}));
    const long long deliveryId = store->DueDeliveries("2026-12-08T12:00:00.000Z", 10).at(0).id;
    EXPECT_NO_THROW(store->Delivered(deliveryId + 1000));
    EXPECT_NO_THROW(store->Retry(deliveryId + 1000, 1, "2030-01-01T00:00:00.000Z", "HTTP 503"));
    EXPECT_NO_THROW(store->Drop(deliveryId + 1000, 3, "HTTP 404"));
    EXPECT_EQ(1, store->OutboxLength());
    EXPECT_EQ("", store->Pass(id)->correctedNumber);
}

TEST_P(PassStoreContract, CorrectionIsKeptBesideTheReadNumberAndQueuesDeliveries) {
    auto store = Open();
    const StoredPass pass = MakePass("east", "52473063", "2026-12-08T12:00:00.000Z");
    const long long id = store->AddPass(pass, {});
    EXPECT_EQ(0, store->OutboxLength());

    ASSERT_TRUE(store->Correct(id, "52473071", "2026-12-08T12:30:00.000Z", {"http://a/", "http://b/"}));
    const std::optional<StoredPass> corrected = store->Pass(id);
    ASSERT_TRUE(corrected.has_value());
    EXPECT_EQ("52473063", corrected->number);
    EXPECT_EQ("52473071", corrected->correctedNumber);
    EXPECT_EQ("2026-12-08T12:30:00.000Z", corrected->correctedAt);

    const std::vector<Delivery> due = store->DueDeliveries("2026-12-08T12:30:00.000Z", 10);
    ASSERT_EQ(2u, due.size());
    std::set<std::string> urls;
    for (const Delivery& delivery : due) {
        EXPECT_EQ(DeliveryKind::Correction, delivery.kind);
        EXPECT_EQ(id, delivery.passId);
        EXPECT_EQ(0, delivery.attempts);
        urls.insert(delivery.url);
    }
    EXPECT_EQ((std::set<std::string>{"http://a/", "http://b/"}), urls);

    // A second correction replaces the first.
    ASSERT_TRUE(store->Correct(id, "52473089", "2026-12-08T12:40:00.000Z", {}));
    EXPECT_EQ("52473089", store->Pass(id)->correctedNumber);
    EXPECT_EQ("2026-12-08T12:40:00.000Z", store->Pass(id)->correctedAt);
}

TEST_P(PassStoreContract, CountsACamerasPassesFromATime) {
    auto store = Open();
    store->AddPass(MakePass("east", "11111111", "2026-12-07T23:59:59.999Z"), {});
    store->AddPass(MakePass("east", "22222222", "2026-12-08T00:00:00.000Z"), {});
    store->AddPass(MakePass("east", "33333333", "2026-12-08T09:00:00.000Z"), {});
    store->AddPass(MakePass("west", "44444444", "2026-12-08T09:00:00.000Z"), {});
    EXPECT_EQ(2, store->CountPasses("east", "2026-12-08T00:00:00.000Z"));
    EXPECT_EQ(3, store->CountPasses("east", "2026-12-01T00:00:00.000Z"));
    EXPECT_EQ(1, store->CountPasses("west", "2026-12-08T00:00:00.000Z"));
    EXPECT_EQ(0, store->CountPasses("eas", "2026-12-01T00:00:00.000Z"));
}

TEST_P(PassStoreContract, OutboxQueuesRetriesDeliversAndDrops) {
    auto store = Open();
    const std::vector<std::string> hooks = {"https://one.example/passes", "https://two.example/in"};
    const long long first = store->AddPass(MakePass("east", "52473063", "2026-12-08T12:00:00.000Z"), hooks);
    const long long second = store->AddPass(MakePass("east", "52473071", "2026-12-08T12:01:00.000Z"), hooks);
    store->AddPass(MakePass("east", "52473089", "2026-12-08T12:02:00.000Z"), {});
    EXPECT_EQ(4, store->OutboxLength());

    // Oldest first, due at once, one per pass and address.
    std::vector<Delivery> due = store->DueDeliveries("2026-12-08T12:00:00.000Z", 10);
    ASSERT_EQ(4u, due.size());
    const std::vector<std::pair<long long, std::string>> expected = {
        {first, hooks[0]}, {first, hooks[1]}, {second, hooks[0]}, {second, hooks[1]}};
    for (size_t i = 0; i < due.size(); ++i) {
        EXPECT_EQ(expected[i].first, due[i].passId) << i;
        EXPECT_EQ(expected[i].second, due[i].url) << i;
        EXPECT_EQ(DeliveryKind::Pass, due[i].kind);
        EXPECT_EQ(0, due[i].attempts);
        EXPECT_EQ("", due[i].lastError);
        if (i > 0) {
            EXPECT_LT(due[i - 1].id, due[i].id);
        }
    }
    EXPECT_EQ(2u, store->DueDeliveries("2026-12-08T12:00:00.000Z", 2).size());
    EXPECT_TRUE(store->DueDeliveries("2026-12-08T12:00:00.000Z", 0).empty());

    // A retry waits for its time; the others stay due.
    store->Retry(due[0].id, 1, "2026-12-08T12:10:00.000Z", "HTTP 503");
    std::vector<Delivery> now = store->DueDeliveries("2026-12-08T12:09:59.999Z", 10);
    ASSERT_EQ(3u, now.size());
    EXPECT_EQ(due[1].id, now[0].id);
    std::vector<Delivery> later = store->DueDeliveries("2026-12-08T12:10:00.000Z", 10);
    ASSERT_EQ(4u, later.size());
    EXPECT_EQ(due[0].id, later[0].id);
    EXPECT_EQ(1, later[0].attempts);
    EXPECT_EQ("2026-12-08T12:10:00.000Z", later[0].nextAttempt);
    EXPECT_EQ("HTTP 503", later[0].lastError);

    // Delivered leaves; dropped leaves and is kept for the record.
    store->Delivered(due[1].id);
    store->Drop(due[2].id, 3, "HTTP 404 Not Found");
    EXPECT_EQ(2, store->OutboxLength());
    const std::vector<Delivery> left = store->DueDeliveries("2027-01-01T00:00:00.000Z", 10);
    ASSERT_EQ(2u, left.size());
    EXPECT_EQ(due[0].id, left[0].id);
    EXPECT_EQ(due[3].id, left[1].id);
    const std::string dropped = std::to_string(due[2].id);
    EXPECT_EQ("1", RawSqlValue(storage_, "SELECT COUNT(*) FROM dropped_deliveries"));
    EXPECT_EQ("3", RawSqlValue(storage_, "SELECT attempts FROM dropped_deliveries WHERE id = " + dropped));
    EXPECT_EQ("HTTP 404 Not Found",
              RawSqlValue(storage_, "SELECT last_error FROM dropped_deliveries WHERE id = " + dropped));
    EXPECT_EQ(hooks[0], RawSqlValue(storage_, "SELECT url FROM dropped_deliveries WHERE id = " + dropped));

    // The outbox outlives the process.
    store.reset();
    EXPECT_EQ(2, Open()->OutboxLength());
}

// Two services' senders sharing one store: a due delivery is taken by one
// of them only, and comes due again once the taker's time has run out.
TEST_P(PassStoreContract, ADeliveryIsClaimedByOneSenderOnly) {
    auto store = Open();
    auto other = Open();  // a second service's connection
    store->AddPass(MakePass("east", "52473063", "2026-12-08T12:00:00.000Z"), {"https://one.example/passes"});
    const std::vector<Delivery> seen = store->DueDeliveries("2026-12-08T12:00:01.000Z", 10);
    const std::vector<Delivery> seenToo = other->DueDeliveries("2026-12-08T12:00:01.000Z", 10);
    ASSERT_EQ(1u, seen.size());
    ASSERT_EQ(1u, seenToo.size());
    EXPECT_TRUE(store->Claim(seen[0].id, seen[0].nextAttempt, "2026-12-08T12:01:01.000Z"));
    EXPECT_FALSE(other->Claim(seenToo[0].id, seenToo[0].nextAttempt, "2026-12-08T12:01:02.000Z"));
    EXPECT_FALSE(store->Claim(seen[0].id + 100, "", "2026-12-08T12:01:02.000Z"));
    EXPECT_TRUE(other->DueDeliveries("2026-12-08T12:01:00.000Z", 10).empty());
    const std::vector<Delivery> again = other->DueDeliveries("2026-12-08T12:01:01.000Z", 10);
    ASSERT_EQ(1u, again.size());
    EXPECT_EQ(0, again[0].attempts);
}

// Senders on threads of their own, each with its own connection, all
// claiming the same deliveries: every delivery is taken exactly once.
TEST_P(PassStoreContract, SendersRacingForTheSameDeliveriesTakeEachOnce) {
    auto store = Open();
    for (int i = 0; i < 20; ++i) {
        store->AddPass(MakePass("east", "52473063", "2026-12-08T12:00:00.000Z"), {"https://one.example/passes"});
    }
    std::vector<std::unique_ptr<PassStore>> senders;
    for (int i = 0; i < 3; ++i) senders.push_back(Open());
    std::vector<std::vector<long long>> taken(senders.size());
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < senders.size(); ++i) {
        threads.emplace_back([&, i] {
            for (const Delivery& delivery : senders[i]->DueDeliveries("2026-12-08T12:00:01.000Z", 100)) {
                if (senders[i]->Claim(delivery.id, delivery.nextAttempt, "2026-12-08T13:00:00.000Z")) {
                    taken[i].push_back(delivery.id);
                }
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    std::multiset<long long> all;
    for (const auto& ids : taken) all.insert(ids.begin(), ids.end());
    EXPECT_EQ(20u, all.size());
    EXPECT_EQ(20u, std::set<long long>(all.begin(), all.end()).size());
}

TEST_P(PassStoreContract, ThreadsStoringAtOnceGetDistinctIds) {
    auto store = Open();
    constexpr int kThreads = 4;
    constexpr int kEach = 10;
    std::vector<std::vector<long long>> ids(kThreads);
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kEach; ++i) {
                try {
                    ids[t].push_back(store->AddPass(
                        MakePass("cam" + std::to_string(t), "5247306" + std::to_string(i), "2026-12-08T12:00:00.000Z", i),
                        {"http://hook/"}));
                    store->FindPasses(PassQuery{});
                } catch (const StoreError&) {
                    ++failures;
                }
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(0, failures.load());
    std::set<long long> distinct;
    for (const auto& list : ids) distinct.insert(list.begin(), list.end());
    EXPECT_EQ(static_cast<size_t>(kThreads * kEach), distinct.size());
    EXPECT_EQ(kThreads * kEach, store->OutboxLength());
    for (int t = 0; t < kThreads; ++t) {
        EXPECT_EQ(kEach, store->CountPasses("cam" + std::to_string(t), "2026-12-08T00:00:00.000Z"));
    }
}

TEST_P(PassStoreContract, HealthProbeWrites) {
    auto store = Open();
    std::string reason;
    EXPECT_TRUE(store->Writable(reason)) << reason;
    EXPECT_TRUE(store->Writable(reason)) << reason;
}

// --- the schema's versions ---

// A later version's step, for the tests: a table, filled from the passes
// the database already holds (so that running it twice shows).
SchemaStep NotesStep() {
    const std::string fill = "INSERT INTO pass_notes (pass_id, note) SELECT id, 'from step 2' FROM passes";
    return {2,
            {"CREATE TABLE pass_notes (pass_id INTEGER NOT NULL REFERENCES passes (id), note TEXT NOT NULL)", fill},
            {"CREATE TABLE pass_notes (pass_id BIGINT NOT NULL REFERENCES passes (id), note TEXT NOT NULL)", fill}};
}

TEST_P(PassStoreContract, FreshDatabaseIsAtTheCurrentVersion) {
    auto store = Open();
    EXPECT_EQ(static_cast<int>(StoreSchemaSteps().size()), store->SchemaVersion());
    store.reset();
    // Reopening takes no step again (a step run twice would fail on its
    // CREATE TABLE, or leave two rows of record).
    auto again = Open();
    EXPECT_EQ(static_cast<int>(StoreSchemaSteps().size()), again->SchemaVersion());
    EXPECT_EQ(std::to_string(StoreSchemaSteps().size()), RawSqlValue(storage_, "SELECT COUNT(*) FROM schema_version"));
}

TEST_P(PassStoreContract, LaterStepsUpgradeAnOlderDatabaseOnce) {
    const std::vector<SchemaStep> version1 = {StoreSchemaSteps().at(0)};
    std::vector<SchemaStep> version2 = version1;
    version2.push_back(NotesStep());

    StoredPass pass = MakePass("east", "52473063", "2026-12-08T12:00:00.000Z");
    long long id = 0;
    {
        auto old = OpenWithSteps(version1);
        EXPECT_EQ(1, old->SchemaVersion());
        id = old->AddPass(pass, {"http://hook/"});
    }
    {
        auto upgraded = OpenWithSteps(version2);
        EXPECT_EQ(2, upgraded->SchemaVersion());
        ASSERT_TRUE(upgraded->Pass(id).has_value());
        ExpectSamePass(pass, *upgraded->Pass(id));
        EXPECT_EQ(1, upgraded->OutboxLength());
    }
    OpenWithSteps(version2);
    EXPECT_EQ("1", RawSqlValue(storage_, "SELECT COUNT(*) FROM pass_notes"));
    EXPECT_EQ("2", RawSqlValue(storage_, "SELECT COUNT(*) FROM schema_version"));

    // This program knows one step: the upgraded database is refused.
    try {
        OpenWithSteps(version1);
        FAIL() << "a database newer than the program was opened";
    } catch (const StoreError& error) {
        EXPECT_NE(std::string::npos,
                  std::string(error.what()).find("the database's schema is version 2; this kalvero-serve knows up to 1"))
            << error.what();
    }
}

TEST_P(PassStoreContract, ServicesStartingTogetherCreateTheSchemaOnce) {
    constexpr int kServices = 4;
    std::vector<std::string> errors(kServices);
    std::vector<std::thread> threads;
    for (int i = 0; i < kServices; ++i) {
        threads.emplace_back([&, i] {
            try {
                Open()->AddPass(MakePass("cam", "52473063", "2026-12-08T12:00:00.000Z", i), {});
            } catch (const StoreError& error) {
                errors[i] = error.what();
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    for (const std::string& error : errors) EXPECT_EQ("", error);
    EXPECT_EQ("1", RawSqlValue(storage_, "SELECT COUNT(*) FROM schema_version"));
    EXPECT_EQ(kServices, Open()->CountPasses("cam", "2026-01-01T00:00:00.000Z"));
}

// --- durability: kill -9 in the middle of writing ---

// Reads what the child wrote to the pipe: pairs of (seed, pass id), one
// for each AddPass that returned.
bool ReadAcknowledgement(int pipe, std::pair<long long, long long>& acknowledged) {
    size_t got = 0;
    char* bytes = reinterpret_cast<char*>(&acknowledged);
    while (got < sizeof(acknowledged)) {
        const ssize_t n = read(pipe, bytes + got, sizeof(acknowledged) - got);
        if (n <= 0) return false;
        got += static_cast<size_t>(n);
    }
    return true;
}

std::string DurabilityStart(int seed) {
    char text[32];
    std::snprintf(text, sizeof(text), "2026-12-08T%02d:%02d:%02d.000Z", seed / 3600 % 24, seed / 60 % 60, seed % 60);
    return text;
}

// Several webhooks: a pass and its deliveries are several statements, and
// a kill between them would show as a pass without all of its deliveries.
const std::vector<std::string> kHooks = {"http://one/", "http://two/", "http://three/"};

TEST_P(PassStoreContract, KillNineLosesNoAcknowledgedPass) {
    int fds[2];
    ASSERT_EQ(0, pipe(fds));
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(fds[0]);
        try {
            auto store = Open();
            for (long long seed = 0; seed < 100000; ++seed) {
                const long long id = store->AddPass(
                    MakePass("east", "5247" + std::to_string(1000 + seed % 9000), DurabilityStart(static_cast<int>(seed)),
                             static_cast<int>(seed), 20000),
                    kHooks);
                const std::pair<long long, long long> acknowledged(seed, id);
                if (write(fds[1], &acknowledged, sizeof(acknowledged)) != sizeof(acknowledged)) break;
            }
        } catch (...) {
        }
        _exit(0);
    }
    close(fds[1]);
    std::vector<std::pair<long long, long long>> acknowledged;
    std::pair<long long, long long> one;
    while (acknowledged.size() < 30 && ReadAcknowledgement(fds[0], one)) acknowledged.push_back(one);
    kill(child, SIGKILL);
    // What the child wrote before it died was acknowledged too.
    while (ReadAcknowledgement(fds[0], one)) acknowledged.push_back(one);
    close(fds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the child ended before it was killed";
    ASSERT_GE(acknowledged.size(), 30u);

    auto store = Open();
    for (const auto& [seed, id] : acknowledged) {
        const std::optional<StoredPass> stored = store->Pass(id);
        ASSERT_TRUE(stored.has_value()) << "acknowledged pass " << id << " is lost";
        const int s = static_cast<int>(seed);
        ExpectSamePass(MakePass("east", "5247" + std::to_string(1000 + seed % 9000), DurabilityStart(s), s, 20000),
                       *stored);
    }
    // At most the pass being written when the kill came is there beyond
    // those acknowledged, and every stored pass has its delivery.
    PassQuery all;
    all.limit = 10000;
    const size_t stored = store->FindPasses(all).size();
    EXPECT_GE(stored, acknowledged.size());
    EXPECT_LE(stored, acknowledged.size() + 1);
    EXPECT_EQ(static_cast<long long>(stored * kHooks.size()), store->OutboxLength());
    if (kind_ == "sqlite") {
        EXPECT_EQ("ok", RawSqlValue(storage_, "PRAGMA integrity_check"));
    }
}

// --- a number search's table ---

struct SearchCase {
    std::string name;
    PassQuery query;
    std::string expected;  // the passes found, in order, by their letters
};

void PrintTo(const SearchCase& search, std::ostream* out) { *out << search.name; }

PassQuery Query(std::string number, std::string camera = "", std::string from = "", std::string to = "",
                int limit = 100, int offset = 0) {
    PassQuery query;
    query.number = std::move(number);
    query.camera = std::move(camera);
    query.from = std::move(from);
    query.to = std::move(to);
    query.limit = limit;
    query.offset = offset;
    return query;
}

class PassSearchTable : public StoreTest,
                   public ::testing::WithParamInterface<std::tuple<std::string, SearchCase>> {
protected:
    void SetUp() override { UseStore(std::get<0>(GetParam())); }
};

TEST_P(PassSearchTable, FindsNewestFirst) {
    auto store = Open();
    // C and D start together: D, stored later, comes first. E's number was
    // misread and corrected.
    const std::vector<std::tuple<char, std::string, std::string, std::string>> passes = {
        {'A', "east", "52473063", "2026-12-01T08:00:00.000Z"},
        {'B', "west", "52473071", "2026-12-02T08:00:00.000Z"},
        {'C', "east", "61234567", "2026-12-03T08:00:00.000Z"},
        {'D', "east", "12345678", "2026-12-03T08:00:00.000Z"},
        {'E', "eastgate", "99999999", "2026-12-04T08:00:00.000Z"},
    };
    std::map<long long, char> letters;
    for (const auto& [letter, camera, number, start] : passes) {
        const long long id = store->AddPass(MakePass(camera, number, start), {});
        letters[id] = letter;
        if (letter == 'E') {
            ASSERT_TRUE(store->Correct(id, "52470000", "2026-12-05T08:00:00.000Z", {}));
        }
    }
    const SearchCase& search = std::get<1>(GetParam());
    std::string found;
    for (const long long id : Ids(store->FindPasses(search.query))) found += letters.at(id);
    EXPECT_EQ(search.expected, found);
}

const SearchCase kSearches[] = {
    {"Everything", Query(""), "EDCBA"},
    {"PartOfANumber", Query("2473"), "BA"},
    {"WholeNumber", Query("61234567"), "C"},
    {"CorrectedNumberToo", Query("5247"), "EBA"},
    {"ReadNumberOfACorrectedPass", Query("9999"), "E"},
    {"PercentIsLiteral", Query("%"), ""},
    {"UnderscoreIsLiteral", Query("2_7"), ""},
    {"BackslashIsLiteral", Query("\\"), ""},
    {"QuoteIsJustText", Query("' OR '1'='1"), ""},
    {"CameraExactly", Query("", "east"), "DCA"},
    {"FromIncluded", Query("", "", "2026-12-03T08:00:00.000Z"), "EDC"},
    {"ToIncluded", Query("", "", "", "2026-12-02T08:00:00.000Z"), "BA"},
    {"CameraAndTimes", Query("", "east", "2026-12-02T00:00:00.000Z", "2026-12-03T08:00:00.000Z"), "DC"},
    {"NumberAndCamera", Query("2473", "west"), "B"},
    {"Limit", Query("", "", "", "", 2), "ED"},
    {"Offset", Query("", "", "", "", 2, 2), "CB"},
    {"OffsetPastTheEnd", Query("", "", "", "", 10, 5), ""},
    {"LimitBelowOneGivesOne", Query("", "", "", "", 0), "E"},
};

INSTANTIATE_TEST_SUITE_P(Stores, PassSearchTable,
                         ::testing::Combine(::testing::Values("sqlite", "postgresql"), ::testing::ValuesIn(kSearches)),
                         [](const ::testing::TestParamInfo<std::tuple<std::string, SearchCase>>& info) {
                             return std::get<0>(info.param) + "_" + std::get<1>(info.param).name;
                         });

INSTANTIATE_TEST_SUITE_P(Stores, PassStoreContract, ::testing::Values("sqlite", "postgresql"), StoreName);

}  // namespace
}  // namespace kalvero
