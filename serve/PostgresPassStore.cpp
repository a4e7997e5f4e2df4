#include "serve/PostgresPassStore.h"

#include <libpq-fe.h>

#include <algorithm>

namespace kalvero {

PostgresPassStore::PostgresPassStore(const std::string& address, const std::vector<SchemaStep>&)
    : address_(address) {
    throw StoreError("PostgreSQL storage is not ready in this build: use a SQLite file (" + HidePassword(address) + ")");
}
PostgresPassStore::~PostgresPassStore() {
    if (connection_) PQfinish(connection_);
}
long long PostgresPassStore::AddPass(const StoredPass&, const std::vector<std::string>&) { return 0; }
std::vector<StoredPass> PostgresPassStore::FindPasses(const PassQuery&) { return {}; }
std::optional<StoredPass> PostgresPassStore::Pass(long long) { return std::nullopt; }
bool PostgresPassStore::Correct(long long, const std::string&, const std::string&, const std::vector<std::string>&) {
    return false;
}
long long PostgresPassStore::CountPasses(const std::string&, const std::string&) { return 0; }
std::vector<Delivery> PostgresPassStore::DueDeliveries(const std::string&, int) { return {}; }
void PostgresPassStore::Delivered(long long) {}
void PostgresPassStore::Retry(long long, int, const std::string&, const std::string&) {}
void PostgresPassStore::Drop(long long, int, const std::string&) {}
long long PostgresPassStore::OutboxLength() { return 0; }
bool PostgresPassStore::Writable(std::string&) { return false; }
int PostgresPassStore::SchemaVersion() { return 0; }
std::string PostgresPassStore::HidePassword(const std::string& address) {
    std::string hidden = address;
    const size_t scheme = hidden.find("://");
    if (scheme == std::string::npos) return hidden;
    // user:password@ in the authority (which ends at the first / ? or #).
    const size_t authority = scheme + 3;
    const size_t authorityEnd = std::min(hidden.find_first_of("/?#", authority), hidden.size());
    const size_t at = hidden.rfind('@', authorityEnd);
    if (at != std::string::npos && at >= authority) {
        const size_t colon = hidden.find(':', authority);
        if (colon != std::string::npos && colon < at) hidden.replace(colon + 1, at - colon - 1, "***");
    }
    // password=... among the query's parameters.
    const size_t query = hidden.find('?');
    if (query != std::string::npos) {
        size_t begin = query + 1;
        while (begin < hidden.size()) {
            size_t end = hidden.find('&', begin);
            if (end == std::string::npos) end = hidden.size();
            const std::string key = "password=";
            if (hidden.compare(begin, key.size(), key) == 0) {
                hidden.replace(begin + key.size(), end - begin - key.size(), "***");
                end = begin + key.size() + 3;
            }
            begin = end + 1;
        }
    }
    return hidden;
}

}  // namespace kalvero
