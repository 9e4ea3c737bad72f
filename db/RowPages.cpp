#include "db/RowPages.h"

#include "db/Errors.h"

#include <algorithm>

namespace db {

void RowPages::ReadFrom(sqlite3* db, std::string table, std::vector<std::string> columns) {
    db_ = db;
    table_ = std::move(table);
    columns_ = std::move(columns);
    pages_.clear();
    fetch_.reset();
}

const std::vector<Value>& RowPages::Row(size_t index, size_t size, const std::function<long long(size_t)>& idOf) {
    auto it = pages_.find(index / kPage);
    if (it == pages_.end()) {
        if (pages_.size() > 512) pages_.clear(); // bounded memory on long scrolls
        std::vector<std::vector<Value>> page;
        const size_t first = index / kPage * kPage;
        for (size_t i = first; i < std::min(first + kPage, size); ++i) page.push_back(Read(idOf(i)).value_or(Nulls()));
        it = pages_.emplace(index / kPage, std::move(page)).first;
    }
    return it->second[index % kPage];
}

void RowPages::Store(size_t index, std::vector<Value> row) {
    if (auto it = pages_.find(index / kPage); it != pages_.end()) it->second[index % kPage] = std::move(row);
}

void RowPages::Joined(size_t index, long long rowid) {
    if (auto it = pages_.find(index / kPage); it != pages_.end()) it->second.push_back(Read(rowid).value_or(Nulls()));
}

std::optional<std::vector<Value>> RowPages::Read(long long rowid) {
    if (!fetch_) {
        std::string sql = "SELECT ";
        for (size_t i = 0; i < columns_.size(); ++i) sql += (i ? ", " : "") + QuoteName(columns_[i]);
        fetch_ = std::make_unique<Statement>(db_, sql + " FROM " + QuoteName(table_) + " WHERE rowid = ?");
    }
    fetch_->Reset();
    fetch_->Bind(1, rowid);
    std::optional<std::vector<Value>> row;
    if (fetch_->Step()) {
        row.emplace(columns_.size());
        for (size_t c = 0; c < columns_.size(); ++c) (*row)[c] = fetch_->Column(int(c));
    }
    fetch_->Reset();
    return row;
}

void RowPages::RequireAsShown(const std::vector<Value>& shown, long long rowid) {
    if (Read(rowid) != shown)
        throw EngineError(kRowChanged, "Drugi program je u međuvremenu promijenio ili izbrisao ovaj par riječi; "
                                       "ništa nije spremljeno. Popis sada pokazuje stanje u datoteci.");
}

} // namespace db
