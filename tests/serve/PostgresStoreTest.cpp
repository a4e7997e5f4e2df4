// What only the PostgreSQL store promises: a connection the server dropped
// is opened again, and the call that met it goes through.
#include <gtest/gtest.h>

#include <string>

#include "StoreRawSql.h"
#include "StoreTestSupport.h"
#include "TemporaryPostgres.h"
#include "serve/PostgresPassStore.h"

namespace kalvero {
namespace {

// Ends the server side of every connection kalvero-serve holds to `storage`.
void DropServiceConnections(const std::string& storage) {
    EXPECT_EQ("1", RawSqlValue(storage,
                               "SELECT COUNT(pg_terminate_backend(pid)) FROM pg_stat_activity"
                               " WHERE application_name = 'kalvero-serve' AND datname = current_database()"));
}

TEST(PostgresPassStore, ReconnectsWhenTheServerDroppedTheConnection) {
    TemporaryPostgres& server = TemporaryPostgres::Shared();
    if (!server.Running()) GTEST_SKIP() << server.WhyNot();
    const std::string storage = server.NewDatabase();
    PostgresPassStore store(storage);
    const StoredPass first = MakePass("east", "52473063", "2026-12-08T12:00:00.000Z", 1);
    const long long firstId = store.AddPass(first, {"http://hook/"});

    DropServiceConnections(storage);
    const StoredPass second = MakePass("east", "52473071", "2026-12-08T12:01:00.000Z", 2);
    const long long secondId = store.AddPass(second, {"http://hook/"});
    EXPECT_GT(secondId, firstId);

    DropServiceConnections(storage);
    const std::optional<StoredPass> stored = store.Pass(secondId);
    ASSERT_TRUE(stored.has_value());
    ExpectSamePass(second, *stored);
    // The call that met the dropped connection was stored once, with its
    // one delivery.
    EXPECT_EQ(2u, store.FindPasses(PassQuery{}).size());
    EXPECT_EQ(2, store.OutboxLength());
}

TEST(PostgresPassStore, AddressesShowNoPassword) {
    EXPECT_EQ("postgresql://kalvero:***@db:5432/yard", PostgresPassStore::HidePassword("postgresql://kalvero:s3@db:5432/yard"));
    // An @ inside the password, and a password among the query's words.
    EXPECT_EQ("postgres://kalvero:***@db/yard", PostgresPassStore::HidePassword("postgres://kalvero:a@b@db/yard"));
    EXPECT_EQ("postgresql://db/yard?user=k&password=***&sslmode=require",
              PostgresPassStore::HidePassword("postgresql://db/yard?user=k&password=s3&sslmode=require"));
    EXPECT_EQ("postgresql://kalvero@db/yard", PostgresPassStore::HidePassword("postgresql://kalvero@db/yard"));
}

}  // namespace
}  // namespace kalvero
