#include "db/FileMarks.h"

#include "db/Sqlite.h"

namespace db {
namespace {

long long DataVersion(sqlite3* db) {
    Statement v(db, "PRAGMA data_version");
    v.Step();
    return v.Int(0);
}

} // namespace

FileMarks FileMarks::Take(sqlite3* db, const std::string& table) {
    Statement largest(db, "SELECT max(rowid) FROM " + QuoteName(table));
    largest.Step();
    return {DataVersion(db), sqlite3_total_changes(db), largest.Int(0)};
}

bool FileMarks::Changed(sqlite3* db) const {
    return DataVersion(db) != dataVersion || sqlite3_total_changes(db) != ownChanges;
}

} // namespace db
