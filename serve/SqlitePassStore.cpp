#include "serve/SqlitePassStore.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>

#include "cli/TimeOfDay.h"
#include "serve/StoreColumns.h"
#include "serve/StoreSearch.h"

namespace kalvero {
namespace {

std::string Now() { return IsoUtc(std::chrono::system_clock::now()); }

// One prepared statement, finalised when it goes out of scope. Every
// failure throws StoreError naming the database and SQLite's reason.
class Statement {
public:
    Statement(sqlite3* db, const std::string& sql, const std::string& path) : db_(db), path_(path) {
        if (sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &statement_, nullptr) != SQLITE_OK) {
            Fail();
        }
    }
    ~Statement() { sqlite3_finalize(statement_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    Statement& Text(int index, const std::string& value) {
        Check(sqlite3_bind_text(statement_, index, value.data(), static_cast<int>(value.size()), SQLITE_TRANSIENT));
        return *this;
    }
    Statement& Integer(int index, long long value) {
        Check(sqlite3_bind_int64(statement_, index, value));
        return *this;
    }
    Statement& Real(int index, double value) {
        Check(sqlite3_bind_double(statement_, index, value));
        return *this;
    }
    Statement& Blob(int index, const std::vector<unsigned char>& value) {
        // An empty blob is bound as a zero-length blob, not as NULL.
        Check(value.empty() ? sqlite3_bind_zeroblob(statement_, index, 0)
                            : sqlite3_bind_blob(statement_, index, value.data(), static_cast<int>(value.size()),
                                                SQLITE_TRANSIENT));
        return *this;
    }
    Statement& Texts(const std::vector<std::string>& values) {
        for (size_t i = 0; i < values.size(); ++i) Text(static_cast<int>(i) + 1, values[i]);
        return *this;
    }

    // True when a row came, false when the statement is done.
    bool Step() {
        const int result = sqlite3_step(statement_);
        if (result == SQLITE_ROW) return true;
        if (result == SQLITE_DONE) return false;
        Fail();
        return false;
    }
    void Run() {
        while (Step()) {
        }
    }

    long long IntegerAt(int column) const { return sqlite3_column_int64(statement_, column); }
    double RealAt(int column) const { return sqlite3_column_double(statement_, column); }
    std::string TextAt(int column) const {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement_, column));
        return text ? std::string(text, static_cast<size_t>(sqlite3_column_bytes(statement_, column))) : "";
    }
    std::vector<unsigned char> BlobAt(int column) const {
        const auto* bytes = static_cast<const unsigned char*>(sqlite3_column_blob(statement_, column));
        return bytes ? std::vector<unsigned char>(bytes, bytes + sqlite3_column_bytes(statement_, column))
                     : std::vector<unsigned char>();
    }

private:
    void Check(int result) {
        if (result != SQLITE_OK) Fail();
    }
    [[noreturn]] void Fail() {
        // SQLite says "disk I/O error"; the system's word says which.
        std::string reason = sqlite3_errmsg(db_);
        if (const int error = sqlite3_system_errno(db_)) reason += std::string(" (") + std::strerror(error) + ")";
        throw StoreError("the SQLite database " + path_ + " failed: " + reason);
    }

    sqlite3* db_;
    const std::string& path_;
    sqlite3_stmt* statement_ = nullptr;
};

// A row of PassSearch's columns.
StoredPass ReadPass(const Statement& row, bool withCrop) {
    StoredPass pass;
    pass.id = row.IntegerAt(0);
    pass.camera = row.TextAt(1);
    pass.number = row.TextAt(2);
    pass.checkDigit = row.IntegerAt(3) != 0;
    pass.startTime = row.TextAt(4);
    pass.endTime = row.TextAt(5);
    pass.framesRead = static_cast<int>(row.IntegerAt(6));
    pass.direction = row.TextAt(7);
    pass.bestScore = row.RealAt(8);
    pass.bestFrame = static_cast<int>(row.IntegerAt(9));
    pass.scores = ParseScoresColumn(row.TextAt(10));
    pass.record = row.TextAt(11);
    pass.correctedNumber = row.TextAt(12);
    pass.correctedAt = row.TextAt(13);
    if (withCrop) pass.cropPng = row.BlobAt(kPassColumnsWithoutCrop);
    return pass;
}

// Creates the database file readable by its owner only (SQLite gives its
// WAL and shared-memory files the same mode), with a clear word when its
// folder is missing.
void CreateDatabaseFile(const std::string& path) {
    namespace fs = std::filesystem;
    std::error_code error;
    if (fs::is_directory(path, error)) throw StoreError("the SQLite database " + path + " is a folder, not a file");
    if (fs::exists(path, error)) return;
    const fs::path folder = fs::path(path).parent_path();
    if (!folder.empty() && !fs::is_directory(folder, error)) {
        throw StoreError("cannot create the SQLite database " + path + ": its folder " + folder.string() +
                         " does not exist");
    }
    const int file = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (file < 0) throw StoreError("cannot create the SQLite database " + path + ": " + std::strerror(errno));
    ::close(file);
}

}  // namespace

SqlitePassStore::SqlitePassStore(const std::string& path, const std::vector<SchemaStep>& steps) : path_(path) {
    if (path.empty()) throw StoreError("no storage given: name a SQLite file or a postgresql:// address");
    CreateDatabaseFile(path);
    const int opened =
        sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_FULLMUTEX, nullptr);
    if (opened != SQLITE_OK) {
        const std::string reason = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(opened);
        sqlite3_close(db_);
        db_ = nullptr;
        throw StoreError("cannot open the SQLite database " + path + ": " + reason);
    }
    try {
        sqlite3_busy_timeout(db_, 10000);
        std::string journalMode;
        {
            Statement journal(db_, "PRAGMA journal_mode = WAL", path_);
            if (journal.Step()) journalMode = journal.TextAt(0);
        }
        if (journalMode != "wal") {
            throw StoreError("the SQLite database " + path + " cannot be written ahead (WAL): its journal mode stays " +
                             journalMode);
        }
        Statement(db_, "PRAGMA synchronous = FULL", path_).Run();
        Statement(db_, "PRAGMA foreign_keys = ON", path_).Run();
        Migrate(steps);
    } catch (const StoreError& error) {
        sqlite3_close(db_);
        db_ = nullptr;
        // SQLite's "file is not a database" says it plainly enough; the
        // path and the word open make it an operator's sentence.
        throw StoreError(std::string("cannot open the store: ") + error.what());
    }
}

SqlitePassStore::~SqlitePassStore() { sqlite3_close(db_); }

template <typename Body>
auto SqlitePassStore::InTransaction(Body&& body) -> decltype(body()) {
    Statement(db_, "BEGIN IMMEDIATE", path_).Run();
    try {
        if constexpr (std::is_void_v<decltype(body())>) {
            body();
            Statement(db_, "COMMIT", path_).Run();
        } else {
            auto result = body();
            Statement(db_, "COMMIT", path_).Run();
            return result;
        }
    } catch (...) {
        // A failed COMMIT may have ended the transaction itself (a full
        // disk does); otherwise nothing of it is kept.
        if (!sqlite3_get_autocommit(db_)) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

void SqlitePassStore::Migrate(const std::vector<SchemaStep>& steps) {
    InTransaction([&] {
        Statement(db_, "CREATE TABLE IF NOT EXISTS schema_version (version INTEGER PRIMARY KEY, applied TEXT NOT NULL)",
                  path_)
            .Run();
        int version = 0;
        {
            Statement current(db_, "SELECT COALESCE(MAX(version), 0) FROM schema_version", path_);
            current.Step();
            version = static_cast<int>(current.IntegerAt(0));
        }
        for (const SchemaStep& step : StepsToTake(version, steps)) {
            for (const std::string& sql : step.sqlite) Statement(db_, sql, path_).Run();
            Statement(db_, "INSERT INTO schema_version (version, applied) VALUES (?1, ?2)", path_)
                .Integer(1, step.version)
                .Text(2, Now())
                .Run();
        }
    });
}

void SqlitePassStore::Queue(long long passId, DeliveryKind kind, const std::vector<std::string>& webhooks) {
    // Due at once: an empty time sorts before every moment.
    const std::string created = Now();
    for (const std::string& url : webhooks) {
        Statement(db_,
                  "INSERT INTO deliveries (pass_id, kind, url, attempts, next_attempt, last_error, created)"
                  " VALUES (?1, ?2, ?3, 0, '', '', ?4)",
                  path_)
            .Integer(1, passId)
            .Text(2, KindColumn(kind))
            .Text(3, url)
            .Text(4, created)
            .Run();
    }
}

long long SqlitePassStore::AddPass(const StoredPass& pass, const std::vector<std::string>& webhooks) {
    std::lock_guard<std::mutex> lock(mutex_);
    return InTransaction([&] {
        Statement(db_,
                  "INSERT INTO passes (camera, number, check_digit, start_time, end_time, frames_read, direction,"
                  " best_score, best_frame, scores, record, crop, corrected_number, corrected_at)"
                  " VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14)",
                  path_)
            .Text(1, pass.camera)
            .Text(2, pass.number)
            .Integer(3, pass.checkDigit ? 1 : 0)
            .Text(4, pass.startTime)
            .Text(5, pass.endTime)
            .Integer(6, pass.framesRead)
            .Text(7, pass.direction)
            .Real(8, pass.bestScore)
            .Integer(9, pass.bestFrame)
            .Text(10, ScoresColumn(pass.scores))
            .Text(11, pass.record)
            .Blob(12, pass.cropPng)
            .Text(13, pass.correctedNumber)
            .Text(14, pass.correctedAt)
            .Run();
        const long long id = sqlite3_last_insert_rowid(db_);
        Queue(id, DeliveryKind::Pass, webhooks);
        return id;
    });
}

std::vector<StoredPass> SqlitePassStore::FindPasses(const PassQuery& query) {
    std::lock_guard<std::mutex> lock(mutex_);
    const StoreSearch search = PassSearch(query, '?');
    Statement rows(db_, search.sql, path_);
    rows.Texts(search.parameters);
    std::vector<StoredPass> passes;
    while (rows.Step()) passes.push_back(ReadPass(rows, query.withCrops));
    return passes;
}

std::optional<StoredPass> SqlitePassStore::Pass(long long id) {
    std::lock_guard<std::mutex> lock(mutex_);
    const StoreSearch search = PassByIdSearch(id, '?');
    Statement row(db_, search.sql, path_);
    row.Texts(search.parameters);
    if (!row.Step()) return std::nullopt;
    return ReadPass(row, true);
}

bool SqlitePassStore::Correct(long long id, const std::string& number, const std::string& at,
                              const std::vector<std::string>& webhooks) {
    std::lock_guard<std::mutex> lock(mutex_);
    return InTransaction([&] {
        Statement(db_, "UPDATE passes SET corrected_number = ?2, corrected_at = ?3 WHERE id = ?1", path_)
            .Integer(1, id)
            .Text(2, number)
            .Text(3, at)
            .Run();
        if (sqlite3_changes(db_) == 0) return false;
        Queue(id, DeliveryKind::Correction, webhooks);
        return true;
    });
}

long long SqlitePassStore::CountPasses(const std::string& camera, const std::string& from) {
    std::lock_guard<std::mutex> lock(mutex_);
    Statement count(db_, "SELECT COUNT(*) FROM passes WHERE camera = ?1 AND start_time >= ?2", path_);
    count.Text(1, camera).Text(2, from).Step();
    return count.IntegerAt(0);
}

std::vector<Delivery> SqlitePassStore::DueDeliveries(const std::string& now, int limit) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<Delivery> due;
    if (limit <= 0) return due;
    Statement rows(db_,
                   "SELECT id, pass_id, kind, url, attempts, next_attempt, last_error FROM deliveries"
                   " WHERE next_attempt <= ?1 ORDER BY id LIMIT ?2",
                   path_);
    rows.Text(1, now).Integer(2, limit);
    while (rows.Step()) {
        Delivery delivery;
        delivery.id = rows.IntegerAt(0);
        delivery.passId = rows.IntegerAt(1);
        delivery.kind = ParseKindColumn(rows.TextAt(2));
        delivery.url = rows.TextAt(3);
        delivery.attempts = static_cast<int>(rows.IntegerAt(4));
        delivery.nextAttempt = rows.TextAt(5);
        delivery.lastError = rows.TextAt(6);
        due.push_back(delivery);
    }
    return due;
}

void SqlitePassStore::Delivered(long long deliveryId) {
    std::lock_guard<std::mutex> lock(mutex_);
    InTransaction([&] { Statement(db_, "DELETE FROM deliveries WHERE id = ?1", path_).Integer(1, deliveryId).Run(); });
}

bool SqlitePassStore::Claim(long long deliveryId, const std::string& due, const std::string& until) {
    std::lock_guard<std::mutex> lock(mutex_);
    bool taken = false;
    InTransaction([&] {
        Statement(db_, "UPDATE deliveries SET next_attempt = ?3 WHERE id = ?1 AND next_attempt = ?2", path_)
            .Integer(1, deliveryId)
            .Text(2, due)
            .Text(3, until)
            .Run();
        taken = sqlite3_changes(db_) == 1;
    });
    return taken;
}

void SqlitePassStore::Retry(long long deliveryId, int attempts, const std::string& nextAttempt,
                            const std::string& error) {
    std::lock_guard<std::mutex> lock(mutex_);
    InTransaction([&] {
        Statement(db_, "UPDATE deliveries SET attempts = ?2, next_attempt = ?3, last_error = ?4 WHERE id = ?1", path_)
            .Integer(1, deliveryId)
            .Integer(2, attempts)
            .Text(3, nextAttempt)
            .Text(4, error)
            .Run();
    });
}

void SqlitePassStore::Drop(long long deliveryId, int attempts, const std::string& error) {
    std::lock_guard<std::mutex> lock(mutex_);
    InTransaction([&] {
        Statement(db_,
                  "INSERT INTO dropped_deliveries (id, pass_id, kind, url, attempts, last_error, created, dropped)"
                  " SELECT id, pass_id, kind, url, ?2, ?3, created, ?4 FROM deliveries WHERE id = ?1",
                  path_)
            .Integer(1, deliveryId)
            .Integer(2, attempts)
            .Text(3, error)
            .Text(4, Now())
            .Run();
        Statement(db_, "DELETE FROM deliveries WHERE id = ?1", path_).Integer(1, deliveryId).Run();
    });
}

long long SqlitePassStore::OutboxLength() {
    std::lock_guard<std::mutex> lock(mutex_);
    Statement count(db_, "SELECT COUNT(*) FROM deliveries", path_);
    count.Step();
    return count.IntegerAt(0);
}

void SqlitePassStore::SetMinimumFreeBytes(unsigned long long bytes) {
    std::lock_guard<std::mutex> lock(mutex_);
    minimumFreeBytes_ = bytes;
}

bool SqlitePassStore::Writable(std::string& reason) {
    std::lock_guard<std::mutex> lock(mutex_);
    struct statvfs disk {};
    if (statvfs(path_.c_str(), &disk) == 0) {
        const unsigned long long free = static_cast<unsigned long long>(disk.f_bavail) * disk.f_frsize;
        if (free < minimumFreeBytes_) {
            reason = "the disk holding the SQLite database " + path_ + " is full: " + std::to_string(free / 1024) +
                     " KB free, " + std::to_string(minimumFreeBytes_ / 1024) + " KB wanted";
            return false;
        }
    }
    try {
        InTransaction([&] {
            Statement(db_,
                      "INSERT INTO health_probe (id, written) VALUES (1, ?1)"
                      " ON CONFLICT (id) DO UPDATE SET written = excluded.written",
                      path_)
                .Text(1, Now())
                .Run();
        });
        return true;
    } catch (const StoreError& error) {
        reason = error.what();
        return false;
    }
}

int SqlitePassStore::SchemaVersion() {
    std::lock_guard<std::mutex> lock(mutex_);
    Statement version(db_, "SELECT COALESCE(MAX(version), 0) FROM schema_version", path_);
    version.Step();
    return static_cast<int>(version.IntegerAt(0));
}

}  // namespace kalvero
