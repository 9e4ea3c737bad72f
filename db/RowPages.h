#pragma once
// The rows a list has shown, read by id a screen of the grid at a time and kept as they were
// read: what the user saw of a row is what a write of it checks the file against (the
// optimistic lock), inside the write's transaction, so nobody can change the row in between.
#include "db/Sqlite.h"
#include "db/Value.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace db {

class RowPages {
public:
    static constexpr size_t kPage = 16; // a screenful of the grid as the window opens: read before it paints

    // Where the rows are read from: the table and the columns of the list's fields.
    void ReadFrom(sqlite3* db, std::string table, std::vector<std::string> columns);
    // Row `index` of a list of `size` rows; a page not kept is read by the ids `idOf` gives,
    // a row gone from the table reading as Nulls.
    const std::vector<Value>& Row(size_t index, size_t size, const std::function<long long(size_t)>& idOf);
    bool Kept(size_t index) const { return pages_.count(index / kPage) != 0; }
    void Store(size_t index, std::vector<Value> row);
    // A row added at `index` joins its page when that is kept, as the row is now.
    void Joined(size_t index, long long rowid);
    // The row as the table holds it now; nothing when it is gone.
    std::optional<std::vector<Value>> Read(long long rowid);
    // Throws kRowChanged unless the row is in the file as `shown`.
    void RequireAsShown(const std::vector<Value>& shown, long long rowid);
    std::vector<Value> Nulls() const { return std::vector<Value>(columns_.size()); }

private:
    sqlite3* db_ = nullptr;
    std::string table_;
    std::vector<std::string> columns_;
    std::unordered_map<size_t, std::vector<std::vector<Value>>> pages_;
    std::unique_ptr<Statement> fetch_;
};

} // namespace db
