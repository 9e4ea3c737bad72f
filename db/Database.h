#pragma once
#include <sqlcipher/sqlite3.h>

#include <stdexcept>
#include <string>

namespace db {

// An engine failure, carrying SQLite's code and message to whoever tells the user.
struct EngineError : std::runtime_error {
    int code;
    EngineError(int c, const std::string& what) : std::runtime_error(what), code(c) {}
};

// One keyed connection to a dictionary file.
class Database {
public:
    // Opens an existing file (never creates it) unless create is true.
    Database(const std::string& path, const std::string& password, bool create = false);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    void Exec(const std::string& sql);
    // Builds the tables, the stored query and a settings row 1 with defaults.
    void CreateSchema();
    void AddPair(const std::string& english, const std::string& croatian);
    long long Count(const std::string& sql);
    sqlite3* handle() const { return db_; }

private:
    sqlite3* db_ = nullptr;
};

} // namespace db
