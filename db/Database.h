#pragma once
#include "db/Errors.h"
#include "db/Value.h"

#include <sqlcipher/sqlite3.h>

#include <memory>
#include <string>

namespace db {

class Recordset;
class TableRecordset;

// One keyed SQLite connection with the dictionary's functions and collations registered.
// Record sets share it, so it lives until the last of them lets go.
class Connection {
public:
    struct Options {
        bool create = false;
        bool readOnly = false;
        bool exclusive = false;
    };
    Connection(const std::string& path, const std::string& password, Options options);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    sqlite3* handle() const; // throws once closed
    bool IsOpen() const { return db_ != nullptr; }
    void Close();
    const std::string& path() const { return path_; }

private:
    bool Open(const std::string& path, const std::string& password, const Options& o); // false: the path changed
    void RemoveCopy();
    sqlite3* db_ = nullptr;
    std::string path_;
    std::shared_ptr<void> copy_; // a private copy read in place of the file, when there is one
};

// The password every dictionary file is keyed with.
inline constexpr const char* kPassword = "KamenPlavetni";

// Record-set options, as the callers pass them.
enum : int { kReadOnly = 4 };

class Database {
public:
    // Opens an existing file; a missing file is never created unless options.create is set.
    Database(const std::string& path, const std::string& password, Connection::Options options = {});
    Database(const std::string& path, const std::string& password, bool create)
        : Database(path, password, Connection::Options{create, false, false}) {}

    void Exec(const std::string& sql);
    // Builds the tables, the indexes, the stored query and a settings row 1 with defaults.
    void CreateSchema();
    // The search and ordering indexes and the stored counts; a bulk load drops them first and
    // builds them once after.
    void CreateIndexes();
    void DropIndexes();
    void AddPair(const std::string& english, const std::string& croatian);
    long long Count(const std::string& sql); // rows the query returns
    // A keyset record set over the rows of a query, a stored query or a table name.
    std::unique_ptr<Recordset> OpenRecordset(const std::string& source);
    // A table-type record set (Index, Seek); options may hold kReadOnly.
    std::unique_ptr<TableRecordset> OpenTable(const std::string& table, int options = 0);
    void Close();
    bool IsOpen() const { return conn_->IsOpen(); }
    const std::string& path() const { return conn_->path(); }
    sqlite3* handle() const { return conn_->handle(); }
    const std::shared_ptr<Connection>& connection() const { return conn_; }

private:
    std::shared_ptr<Connection> conn_;
};

// Gives a connection the program's SQL functions (like, vokabis_fold) and collations (ROOT, HR);
// throws when the engine refuses one.
void RegisterFunctions(sqlite3* db);

// True when the disk holding file has no room left for the engine's working files.
bool DiskFullAt(const std::string& file);

// The SQL a record source stands for: a bare table or stored-query name selects all of it.
std::string SourceSql(const std::string& source);

} // namespace db
