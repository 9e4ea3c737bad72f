#pragma once
// Thin RAII layer over the SQLite C API: every failure becomes an EngineError.
#include "db/Errors.h"
#include "db/Value.h"

#include <sqlcipher/sqlite3.h>

#include <string>
#include <string_view>

namespace db {

// Turns an SQLite result code into an EngineError with a message in plain Croatian.
[[noreturn]] void ThrowSqlite(sqlite3* db, int rc);

class Statement {
public:
    Statement(sqlite3* db, std::string_view sql);
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    Statement(Statement&& other) noexcept;
    Statement& operator=(Statement&& other) noexcept;

    void Bind(int index, const Value& v); // 1-based
    void BindBlob(int index, std::string_view bytes);
    // True while a row is ready. Once the rows have run out it stays false until Reset(): the
    // engine itself would start the query over and give its rows again.
    bool Step();
    bool Finished() const { return finished_; }
    void Reset();
    int ColumnCount() const { return sqlite3_column_count(stmt_); }
    std::string ColumnName(int i) const;
    Value Column(int i) const;
    long long Int(int i) const { return sqlite3_column_int64(stmt_, i); }
    sqlite3_stmt* get() const { return stmt_; }

private:
    sqlite3* db_;
    sqlite3_stmt* stmt_ = nullptr;
    bool finished_ = false;
};

// Rolls back unless Commit() was reached, so no half-written change survives an error. Inside
// another transaction it is a savepoint: its work is taken back alone, or kept for the outer one.
class Transaction {
public:
    explicit Transaction(sqlite3* db);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    void Commit();

private:
    sqlite3* db_;
    std::string savepoint_; // empty for the outermost
    bool done_ = false;
};

void ExecSql(sqlite3* db, const std::string& sql);

// A table or column name as an SQL identifier.
std::string QuoteName(const std::string& name);

} // namespace db
