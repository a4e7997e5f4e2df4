#pragma once
#include <mutex>
#include <string>
#include <vector>

#include "serve/PassStore.h"
#include "serve/StoreSchema.h"

struct sqlite3;

namespace kalvero {

// The passes and the outbox in a SQLite file: the store that needs no
// set-up. The file is created (mode 0600) when absent, written ahead
// (WAL) and synced at every commit, so a pass AddPass returned survives
// kill -9 and a power cut. One connection, one call at a time.
class SqlitePassStore : public PassStore {
public:
    // Opens or creates the database at `path` and takes the steps of
    // `steps` it has not taken yet. Throws StoreError.
    explicit SqlitePassStore(const std::string& path,
                             const std::vector<SchemaStep>& steps = StoreSchemaSteps());
    ~SqlitePassStore() override;
    SqlitePassStore(const SqlitePassStore&) = delete;
    SqlitePassStore& operator=(const SqlitePassStore&) = delete;

    long long AddPass(const StoredPass& pass, const std::vector<std::string>& webhooks) override;
    std::vector<StoredPass> FindPasses(const PassQuery& query) override;
    std::optional<StoredPass> Pass(long long id) override;
    bool Correct(long long id, const std::string& number, const std::string& at,
                 const std::vector<std::string>& webhooks) override;
    long long CountPasses(const std::string& camera, const std::string& from) override;
    std::vector<Delivery> DueDeliveries(const std::string& now, int limit) override;
    bool Claim(long long deliveryId, const std::string& due, const std::string& until) override;
    void Delivered(long long deliveryId) override;
    void Retry(long long deliveryId, int attempts, const std::string& nextAttempt,
               const std::string& error) override;
    void Drop(long long deliveryId, int attempts, const std::string& error) override;
    long long OutboxLength() override;
    // Besides a write going through, the disk holding the database has at
    // least `minimumFreeBytes` free (on a nearly full disk a small probe
    // still fits where a pass with its crop does not).
    bool Writable(std::string& reason) override;
    int SchemaVersion() override;

    // 4 MB unless set.
    void SetMinimumFreeBytes(unsigned long long bytes);

private:
    void Migrate(const std::vector<SchemaStep>& steps);
    void Queue(long long passId, DeliveryKind kind, const std::vector<std::string>& webhooks);
    // Runs `body` between BEGIN IMMEDIATE and COMMIT; rolls back and
    // rethrows when anything in it throws.
    template <typename Body>
    auto InTransaction(Body&& body) -> decltype(body());

    std::string path_;
    sqlite3* db_ = nullptr;
    unsigned long long minimumFreeBytes_ = 4ull << 20;
    std::mutex mutex_;
};

}  // namespace kalvero
