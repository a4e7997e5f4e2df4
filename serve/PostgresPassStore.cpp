#include "serve/PostgresPassStore.h"

#include <libpq-fe.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "cli/TimeOfDay.h"
#include "serve/StoreColumns.h"
#include "serve/StoreSearch.h"

namespace kalvero {
namespace {

std::string Now() { return IsoUtc(std::chrono::system_clock::now()); }

// Services that share a database take the schema's steps under this lock,
// one after the other (any constant number both agree on).
const char* const kSchemaLockKey = "7240311905";

// libpq's messages run over lines ("...failed: Connection refused\n\tIs
// the server running..."): one line for a log and an exception.
std::string OneLine(const std::string& text) {
    std::string line;
    for (const char c : text) {
        if (c == '\n' || c == '\t' || c == '\r') {
            if (!line.empty() && line.back() != ' ') line += ' ';
        } else {
            line += c;
        }
    }
    while (!line.empty() && line.back() == ' ') line.pop_back();
    return line;
}

std::string RealText(double value) {
    char text[40];
    std::snprintf(text, sizeof(text), "%.17g", value);
    return text;
}

// A bound value: text, or bytes sent as binary (a bytea).
struct Value {
    Value(std::string text) : bytes(std::move(text)) {}
    Value(const char* text) : bytes(text) {}
    Value(long long number) : bytes(std::to_string(number)) {}
    Value(int number) : bytes(std::to_string(number)) {}
    static Value Binary(const std::vector<unsigned char>& data) {
        Value value(std::string(data.begin(), data.end()));
        value.binary = true;
        return value;
    }
    std::string bytes;
    bool binary = false;
};

using Result = std::unique_ptr<PGresult, decltype(&PQclear)>;

// Why a statement failed, and whether the connection went down with it.
struct StatementFailed {
    std::string reason;
};

Result Execute(PGconn* connection, const std::string& sql, const std::vector<Value>& values) {
    std::vector<const char*> pointers;
    std::vector<int> lengths;
    std::vector<int> formats;
    for (const Value& value : values) {
        pointers.push_back(value.bytes.data());
        lengths.push_back(static_cast<int>(value.bytes.size()));
        formats.push_back(value.binary ? 1 : 0);
    }
    Result result(PQexecParams(connection, sql.c_str(), static_cast<int>(values.size()), nullptr, pointers.data(),
                               lengths.data(), formats.data(), 0),
                  &PQclear);
    const ExecStatusType status = result ? PQresultStatus(result.get()) : PGRES_FATAL_ERROR;
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
        const char* reason = result ? PQresultErrorMessage(result.get()) : "";
        throw StatementFailed{OneLine(*reason ? reason : PQerrorMessage(connection))};
    }
    return result;
}

std::string TextAt(const Result& result, int row, int column) {
    return PQgetisnull(result.get(), row, column) ? "" : PQgetvalue(result.get(), row, column);
}

long long IntegerAt(const Result& result, int row, int column) {
    return std::strtoll(PQgetvalue(result.get(), row, column), nullptr, 10);
}

// A row of PassSearch's columns (text results; the crop as bytea's hex).
StoredPass ReadPass(const Result& rows, int row, bool withCrop) {
    StoredPass pass;
    pass.id = IntegerAt(rows, row, 0);
    pass.camera = TextAt(rows, row, 1);
    pass.number = TextAt(rows, row, 2);
    pass.checkDigit = TextAt(rows, row, 3) == "t";
    pass.startTime = TextAt(rows, row, 4);
    pass.endTime = TextAt(rows, row, 5);
    pass.framesRead = static_cast<int>(IntegerAt(rows, row, 6));
    pass.direction = TextAt(rows, row, 7);
    pass.bestScore = std::strtod(PQgetvalue(rows.get(), row, 8), nullptr);
    pass.bestFrame = static_cast<int>(IntegerAt(rows, row, 9));
    pass.scores = ParseScoresColumn(TextAt(rows, row, 10));
    pass.record = TextAt(rows, row, 11);
    pass.correctedNumber = TextAt(rows, row, 12);
    pass.correctedAt = TextAt(rows, row, 13);
    if (withCrop) {
        size_t length = 0;
        unsigned char* bytes = PQunescapeBytea(
            reinterpret_cast<const unsigned char*>(PQgetvalue(rows.get(), row, kPassColumnsWithoutCrop)), &length);
        if (!bytes) throw StoreError("a stored crop could not be decoded (out of memory)");
        pass.cropPng.assign(bytes, bytes + length);
        PQfreemem(bytes);
    }
    return pass;
}

std::vector<Value> Values(const std::vector<std::string>& texts) { return {texts.begin(), texts.end()}; }

}  // namespace

// The statements of one transaction.
class PostgresPassStore::Session {
public:
    explicit Session(PGconn* connection) : connection_(connection) {}
    Result Run(const std::string& sql, const std::vector<Value>& values = {}) {
        return Execute(connection_, sql, values);
    }

private:
    PGconn* connection_;
};

PostgresPassStore::PostgresPassStore(const std::string& address, const std::vector<SchemaStep>& steps)
    : address_(address) {
    char* parseError = nullptr;
    PQconninfoOption* options = PQconninfoParse(address.c_str(), &parseError);
    if (!options) {
        const std::string reason = parseError ? OneLine(parseError) : "out of memory";
        PQfreemem(parseError);
        Fail("is not a PostgreSQL address one can connect to", reason);
    }
    for (PQconninfoOption* option = options; option->keyword; ++option) {
        if (std::string(option->keyword) == "password" && option->val) password_ = option->val;
    }
    PQconninfoFree(options);

    // A server that does not answer is given up after ten seconds unless
    // the address says otherwise; the address's own words win.
    const char* keywords[] = {"connect_timeout", "application_name", "dbname", nullptr};
    const char* values[] = {"10", "kalvero-serve", address.c_str(), nullptr};
    connection_ = PQconnectdbParams(keywords, values, 1);
    if (!connection_) Fail("cannot be reached", "out of memory");
    if (PQstatus(connection_) != CONNECTION_OK) {
        const std::string reason = OneLine(PQerrorMessage(connection_));
        PQfinish(connection_);
        connection_ = nullptr;
        Fail("cannot be reached", reason);
    }
    // "already exists, skipping" and the like are not for the log.
    PQsetNoticeProcessor(connection_, [](void*, const char*) {}, nullptr);
    try {
        Migrate(steps);
    } catch (...) {
        PQfinish(connection_);
        connection_ = nullptr;
        throw;
    }
}

PostgresPassStore::~PostgresPassStore() {
    if (connection_) PQfinish(connection_);
}

void PostgresPassStore::Fail(const std::string& what, const std::string& reason) const {
    std::string message = "the PostgreSQL database " + HidePassword(address_) + " " + what + ": " + reason;
    if (!password_.empty()) {
        for (size_t at = message.find(password_); at != std::string::npos; at = message.find(password_, at + 3)) {
            message.replace(at, password_.size(), "***");
        }
    }
    throw StoreError(message);
}

void PostgresPassStore::InTransaction(const std::function<void(Session&)>& body) {
    for (int attempt = 0;; ++attempt) {
        if (PQstatus(connection_) != CONNECTION_OK) {
            PQreset(connection_);
            if (PQstatus(connection_) != CONNECTION_OK) {
                Fail("cannot be reached", OneLine(PQerrorMessage(connection_)));
            }
        }
        Session session(connection_);
        bool committing = false;
        try {
            session.Run("BEGIN");
            body(session);
            committing = true;
            session.Run("COMMIT");
            return;
        } catch (const StatementFailed& failed) {
            if (PQstatus(connection_) != CONNECTION_OK) {
                // The server dropped the connection. Before the commit
                // went out nothing was kept: open it again and redo the
                // call once. During the commit, nobody can tell.
                if (committing) {
                    Fail("dropped the connection while committing; the write may or may not be kept",
                         failed.reason);
                }
                if (attempt == 0) continue;
                Fail("dropped the connection twice", failed.reason);
            }
            try {
                Execute(connection_, "ROLLBACK", {});
            } catch (const StatementFailed&) {
            }
            Fail("failed", failed.reason);
        } catch (...) {
            if (PQstatus(connection_) == CONNECTION_OK && PQtransactionStatus(connection_) != PQTRANS_IDLE) {
                try {
                    Execute(connection_, "ROLLBACK", {});
                } catch (const StatementFailed&) {
                }
            }
            throw;
        }
    }
}

void PostgresPassStore::Migrate(const std::vector<SchemaStep>& steps) {
    InTransaction([&](Session& session) {
        session.Run(std::string("SELECT pg_advisory_xact_lock(") + kSchemaLockKey + ")");
        session.Run("CREATE TABLE IF NOT EXISTS schema_version (version INTEGER PRIMARY KEY, applied TEXT NOT NULL)");
        const Result current = session.Run("SELECT COALESCE(MAX(version), 0) FROM schema_version");
        for (const SchemaStep& step : StepsToTake(static_cast<int>(IntegerAt(current, 0, 0)), steps)) {
            for (const std::string& sql : step.postgresql) session.Run(sql);
            session.Run("INSERT INTO schema_version (version, applied) VALUES ($1::integer, $2::text)",
                        {step.version, Now()});
        }
    });
}

long long PostgresPassStore::AddPass(const StoredPass& pass, const std::vector<std::string>& webhooks) {
    std::lock_guard<std::mutex> lock(mutex_);
    long long id = 0;
    InTransaction([&](Session& session) {
        const Result inserted = session.Run(
            "INSERT INTO passes (camera, number, check_digit, start_time, end_time, frames_read, direction,"
            " best_score, best_frame, scores, record, crop, corrected_number, corrected_at)"
            " VALUES ($1, $2, $3, $4, $5, $6, $7, $8, $9, $10, $11, $12, $13, $14) RETURNING id",
            {pass.camera, pass.number, pass.checkDigit ? "true" : "false", pass.startTime, pass.endTime,
             pass.framesRead, pass.direction, RealText(pass.bestScore), pass.bestFrame, ScoresColumn(pass.scores),
             pass.record, Value::Binary(pass.cropPng), pass.correctedNumber, pass.correctedAt});
        id = IntegerAt(inserted, 0, 0);
        const std::string created = Now();
        for (const std::string& url : webhooks) {
            session.Run(
                "INSERT INTO deliveries (pass_id, kind, url, attempts, next_attempt, last_error, created)"
                " VALUES ($1, $2, $3, 0, '', '', $4)",
                {id, KindColumn(DeliveryKind::Pass), url, created});
        }
    });
    return id;
}

std::vector<StoredPass> PostgresPassStore::FindPasses(const PassQuery& query) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<StoredPass> passes;
    InTransaction([&](Session& session) {
        passes.clear();
        const StoreSearch search = PassSearch(query, '$');
        const Result rows = session.Run(search.sql, Values(search.parameters));
        for (int row = 0; row < PQntuples(rows.get()); ++row) passes.push_back(ReadPass(rows, row, query.withCrops));
    });
    return passes;
}

std::optional<StoredPass> PostgresPassStore::Pass(long long id) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::optional<StoredPass> pass;
    InTransaction([&](Session& session) {
        const StoreSearch search = PassByIdSearch(id, '$');
        const Result rows = session.Run(search.sql, Values(search.parameters));
        pass = PQntuples(rows.get()) > 0 ? std::optional<StoredPass>(ReadPass(rows, 0, true)) : std::nullopt;
    });
    return pass;
}

bool PostgresPassStore::Correct(long long id, const std::string& number, const std::string& at,
                                const std::vector<std::string>& webhooks) {
    std::lock_guard<std::mutex> lock(mutex_);
    bool found = false;
    InTransaction([&](Session& session) {
        const Result updated =
            session.Run("UPDATE passes SET corrected_number = $2, corrected_at = $3 WHERE id = $1", {id, number, at});
        found = std::string(PQcmdTuples(updated.get())) != "0";
        if (!found) return;
        const std::string created = Now();
        for (const std::string& url : webhooks) {
            session.Run(
                "INSERT INTO deliveries (pass_id, kind, url, attempts, next_attempt, last_error, created)"
                " VALUES ($1, $2, $3, 0, '', '', $4)",
                {id, KindColumn(DeliveryKind::Correction), url, created});
        }
    });
    return found;
}

long long PostgresPassStore::CountPasses(const std::string& camera, const std::string& from) {
    std::lock_guard<std::mutex> lock(mutex_);
    long long count = 0;
    InTransaction([&](Session& session) {
        const Result rows =
            session.Run("SELECT COUNT(*) FROM passes WHERE camera = $1 AND start_time >= $2", {camera, from});
        count = IntegerAt(rows, 0, 0);
    });
    return count;
}

std::vector<Delivery> PostgresPassStore::DueDeliveries(const std::string& now, int limit) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<Delivery> due;
    if (limit <= 0) return due;
    InTransaction([&](Session& session) {
        due.clear();
        const Result rows = session.Run(
            "SELECT id, pass_id, kind, url, attempts, next_attempt, last_error FROM deliveries"
            " WHERE next_attempt <= $1 ORDER BY id LIMIT $2",
            {now, limit});
        for (int row = 0; row < PQntuples(rows.get()); ++row) {
            Delivery delivery;
            delivery.id = IntegerAt(rows, row, 0);
            delivery.passId = IntegerAt(rows, row, 1);
            delivery.kind = ParseKindColumn(TextAt(rows, row, 2));
            delivery.url = TextAt(rows, row, 3);
            delivery.attempts = static_cast<int>(IntegerAt(rows, row, 4));
            delivery.nextAttempt = TextAt(rows, row, 5);
            delivery.lastError = TextAt(rows, row, 6);
            due.push_back(delivery);
        }
    });
    return due;
}

void PostgresPassStore::Delivered(long long deliveryId) {
    std::lock_guard<std::mutex> lock(mutex_);
    InTransaction([&](Session& session) { session.Run("DELETE FROM deliveries WHERE id = $1", {deliveryId}); });
}

bool PostgresPassStore::Claim(long long deliveryId, const std::string& due, const std::string& until) {
    std::lock_guard<std::mutex> lock(mutex_);
    bool taken = false;
    InTransaction([&](Session& session) {
        // Of two services updating the row at once, the second waits for
        // the first's commit, then finds next_attempt changed.
        const Result updated = session.Run(
            "UPDATE deliveries SET next_attempt = $3 WHERE id = $1 AND next_attempt = $2", {deliveryId, due, until});
        taken = std::string(PQcmdTuples(updated.get())) == "1";
    });
    return taken;
}

void PostgresPassStore::Retry(long long deliveryId, int attempts, const std::string& nextAttempt,
                              const std::string& error) {
    std::lock_guard<std::mutex> lock(mutex_);
    InTransaction([&](Session& session) {
        session.Run("UPDATE deliveries SET attempts = $2, next_attempt = $3, last_error = $4 WHERE id = $1",
                    {deliveryId, attempts, nextAttempt, error});
    });
}

void PostgresPassStore::Drop(long long deliveryId, int attempts, const std::string& error) {
    std::lock_guard<std::mutex> lock(mutex_);
    InTransaction([&](Session& session) {
        session.Run(
            "INSERT INTO dropped_deliveries (id, pass_id, kind, url, attempts, last_error, created, dropped)"
            " SELECT id, pass_id, kind, url, $2::integer, $3::text, created, $4::text FROM deliveries"
            " WHERE id = $1::bigint",
            {deliveryId, attempts, error, Now()});
        session.Run("DELETE FROM deliveries WHERE id = $1", {deliveryId});
    });
}

long long PostgresPassStore::OutboxLength() {
    std::lock_guard<std::mutex> lock(mutex_);
    long long length = 0;
    InTransaction([&](Session& session) {
        length = IntegerAt(session.Run("SELECT COUNT(*) FROM deliveries"), 0, 0);
    });
    return length;
}

bool PostgresPassStore::Writable(std::string& reason) {
    std::lock_guard<std::mutex> lock(mutex_);
    try {
        InTransaction([&](Session& session) {
            session.Run(
                "INSERT INTO health_probe (id, written) VALUES (1, $1)"
                " ON CONFLICT (id) DO UPDATE SET written = excluded.written",
                {Now()});
        });
        return true;
    } catch (const StoreError& error) {
        reason = error.what();
        return false;
    }
}

int PostgresPassStore::SchemaVersion() {
    std::lock_guard<std::mutex> lock(mutex_);
    int version = 0;
    InTransaction([&](Session& session) {
        version = static_cast<int>(IntegerAt(session.Run("SELECT COALESCE(MAX(version), 0) FROM schema_version"), 0, 0));
    });
    return version;
}

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
