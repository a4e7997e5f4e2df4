#include "StoreRawSql.h"

#include <libpq-fe.h>
#include <sqlite3.h>

#include <stdexcept>

namespace kalvero {
namespace {

bool IsPostgres(const std::string& storage) {
    return storage.rfind("postgresql://", 0) == 0 || storage.rfind("postgres://", 0) == 0;
}

std::string PostgresValue(const std::string& storage, const std::string& sql, bool wantValue) {
    PGconn* connection = PQconnectdb(storage.c_str());
    PGresult* result = PQexec(connection, sql.c_str());
    const ExecStatusType status = PQresultStatus(result);
    std::string value;
    std::string error = PQerrorMessage(connection);
    if (wantValue && status == PGRES_TUPLES_OK && PQntuples(result) > 0) value = PQgetvalue(result, 0, 0);
    PQclear(result);
    PQfinish(connection);
    if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK) throw std::runtime_error(sql + ": " + error);
    return value;
}

std::string SqliteValue(const std::string& storage, const std::string& sql, bool wantValue) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(storage.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        const std::string error = db ? sqlite3_errmsg(db) : "out of memory";
        sqlite3_close(db);
        throw std::runtime_error(storage + ": " + error);
    }
    std::string value;
    std::string error;
    if (wantValue) {
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) {
            error = sqlite3_errmsg(db);
        } else {
            const int step = sqlite3_step(statement);
            if (step == SQLITE_ROW) {
                const auto* text = sqlite3_column_text(statement, 0);
                value = text ? reinterpret_cast<const char*>(text) : "";
            } else if (step != SQLITE_DONE) {
                error = sqlite3_errmsg(db);
            }
        }
        sqlite3_finalize(statement);
    } else if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) {
        error = sqlite3_errmsg(db);
    }
    sqlite3_close(db);
    if (!error.empty()) throw std::runtime_error(sql + ": " + error);
    return value;
}

}  // namespace

std::string RawSqlValue(const std::string& storage, const std::string& sql) {
    return IsPostgres(storage) ? PostgresValue(storage, sql, true) : SqliteValue(storage, sql, true);
}

void RawSql(const std::string& storage, const std::string& sql) {
    if (IsPostgres(storage)) {
        PostgresValue(storage, sql, false);
    } else {
        SqliteValue(storage, sql, false);
    }
}

}  // namespace kalvero
