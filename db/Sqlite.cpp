#include "db/Sqlite.h"

namespace db {

void ThrowSqlite(sqlite3* db, int rc) {
    const std::string engine = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    switch (rc & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        throw EngineError(rc, "Datoteku rječnika upravo mijenja drugi program. Pokušajte ponovno za trenutak.");
    case SQLITE_READONLY:
        throw EngineError(rc, "Datoteka rječnika otvorena je samo za čitanje; promjena nije spremljena.");
    case SQLITE_FULL:
        throw EngineError(rc, "Disk je pun; promjena nije spremljena.");
    case SQLITE_IOERR:
        throw EngineError(rc, "Datoteka rječnika ne može se pročitati ili zapisati (" + engine + ").");
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        throw EngineError(rc, "Datoteka rječnika je oštećena ili nije baza podataka.");
    case SQLITE_CONSTRAINT:
        throw EngineError(rc, "Baza je odbila promjenu (" + engine + ").");
    default:
        // Our own functions (the LIKE matcher) report in Croatian already.
        throw EngineError(rc, engine);
    }
}

void ExecSql(sqlite3* db, const std::string& sql) {
    char* err = nullptr;
    const int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &err);
    sqlite3_free(err);
    if (rc != SQLITE_OK) ThrowSqlite(db, rc);
}

std::string QuoteName(const std::string& name) {
    std::string out = "\"";
    for (char c : name) out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

Statement::Statement(sqlite3* db, std::string_view sql) : db_(db) {
    const int rc = sqlite3_prepare_v2(db, sql.data(), int(sql.size()), &stmt_, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_finalize(stmt_);
        stmt_ = nullptr;
        ThrowSqlite(db, rc);
    }
}

void Statement::Bind(int index, const Value& v) {
    int rc = SQLITE_OK;
    if (IsNull(v)) rc = sqlite3_bind_null(stmt_, index);
    else if (auto* i = std::get_if<long long>(&v)) rc = sqlite3_bind_int64(stmt_, index, *i);
    else if (auto* d = std::get_if<double>(&v)) rc = sqlite3_bind_double(stmt_, index, *d);
    else {
        const auto& s = std::get<std::string>(v);
        rc = sqlite3_bind_text(stmt_, index, s.data(), int(s.size()), SQLITE_TRANSIENT);
    }
    if (rc != SQLITE_OK) ThrowSqlite(db_, rc);
}

bool Statement::Step() {
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    sqlite3_reset(stmt_);
    ThrowSqlite(db_, rc);
}

void Statement::Reset() {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
}

std::string Statement::ColumnName(int i) const {
    const char* n = sqlite3_column_name(stmt_, i);
    return n ? n : "";
}

Value Statement::Column(int i) const {
    switch (sqlite3_column_type(stmt_, i)) {
    case SQLITE_NULL: return {};
    case SQLITE_INTEGER: return sqlite3_column_int64(stmt_, i);
    case SQLITE_FLOAT: return sqlite3_column_double(stmt_, i);
    default: {
        const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, i));
        return std::string(t ? t : "", size_t(sqlite3_column_bytes(stmt_, i)));
    }
    }
}

Transaction::Transaction(sqlite3* db) : db_(db) { ExecSql(db_, "BEGIN IMMEDIATE"); }

Transaction::~Transaction() {
    if (!done_) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
}

void Transaction::Commit() {
    ExecSql(db_, "COMMIT");
    done_ = true;
}

} // namespace db
