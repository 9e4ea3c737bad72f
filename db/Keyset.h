#pragma once
// A list's rows as the record set walks them: the ids its query gave, read in the query's order as
// far as they are needed, the rows added since, the rows deleted, the pages of rows read, and the
// markers that tell whether the file changed under it.
#include "db/Counts.h"
#include "db/Database.h"
#include "db/DeadRows.h"
#include "db/Errors.h"
#include "db/Sqlite.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace db {

inline std::atomic<uint64_t> nextKeysetId{1};

struct Keyset {
    static constexpr size_t kPage = 16; // a screenful of the grid as the window opens: read before it paints
    static constexpr size_t kFirstIds = 1024; // more than a screenful, read when the query runs
    std::shared_ptr<Connection> conn;
    uint64_t id = nextKeysetId++;
    std::string table;
    std::vector<std::string> fields;  // as the query names them
    std::vector<std::string> columns; // the table's columns behind them
    // The query's ids are read in its order as far as they are needed; how many it gave is
    // counted when it runs. The ids after the query's own are the rows added since.
    std::string keysSql, countSql;
    // When keysSql reads a letter's range that leaves some spellings out: the query that finds
    // rows spelled so, and the keys in the order of a sort, to read instead if there are any.
    std::string apartSql, sortedKeysSql;
    int keyColumn = 0;
    size_t total = 0;               // rows the query gave
    std::vector<long long> rowids;  // the query's ids read so far
    std::vector<long long> added;
    // The file as the query saw it: while it is unchanged, running the query again gives
    // the same ids in the same order, so the rest can be read on without a statement held open.
    long long dataVersion = 0, ownChanges = 0, largestId = 0;
    std::vector<char> dead;
    DeadTree tree;
    size_t missing = 0, missingFrom = 0; // rows the count promised and the query lacked, and where they began
    std::unordered_map<size_t, std::vector<std::vector<Value>>> pages;
    std::unique_ptr<Statement> fetch;

    sqlite3* db() const { return conn->handle(); }
    size_t Size() const { return total + added.size(); }
    size_t Live() const { return Size() - tree.total(); }
    size_t Rank(size_t index) const { return index - tree.Prefix(index); }
    bool IsDead(size_t index) const { return index < dead.size() && dead[index] != 0; }

    // Runs the query: its first ids, and when there are more, how many, all as of one moment.
    void Start() {
        auto keys = std::make_unique<Statement>(db(), keysSql);
        bool more = keys->Step();
        if (!apartSql.empty()) {
            // Asked while the keys' statement is open: of the same state of the file.
            Statement apart(db(), apartSql);
            if (apart.Step()) {
                keysSql = sortedKeysSql;
                keys = std::make_unique<Statement>(db(), keysSql);
                more = keys->Step();
            }
        }
        for (; more && rowids.size() < kFirstIds; more = keys->Step()) rowids.push_back(keys->Int(keyColumn));
        total = rowids.size();
        if (more) {
            // The id statement is still open, so these read the same state of the file.
            Statement count(db(), countSql);
            count.Step();
            total = size_t(count.Int(0));
            Statement largest(db(), "SELECT max(rowid) FROM " + QuoteName(table));
            largest.Step();
            largestId = largest.Int(0);
            dataVersion = DataVersion();
            ownChanges = sqlite3_total_changes(db());
        }
        tree.Reset(total);
    }
    // Learns which table the rows of the query come from and its columns; returns which of them
    // is the table's row key. Throws for a query whose rows cannot be edited.
    int LearnColumns(const std::string& query) {
        Statement probe(db(), query);
        for (int i = 0; i < probe.ColumnCount(); ++i) {
            const char* from = sqlite3_column_table_name(probe.get(), i);
            const char* origin = sqlite3_column_origin_name(probe.get(), i);
            if (!from || !origin || (!table.empty() && table != from))
                throw EngineError(kNotUpdatable, "Upit ne daje zapise jedne tablice pa se ne može uređivati.");
            table = from;
            fields.push_back(probe.ColumnName(i));
            columns.push_back(origin);
        }
        if (table.empty()) throw EngineError(kNotUpdatable, "Upit ne daje nijedno polje.");
        const int key = KeyColumn();
        if (key < 0) throw EngineError(kNotUpdatable, "Upit ne daje ključ zapisa tablice " + table + " pa se ne može uređivati.");
        return key;
    }
    // Which of the query's columns is the table's row key (an alias of its row id); -1 if none.
    int KeyColumn() const {
        Statement info(db(), "PRAGMA table_info(" + QuoteName(table) + ")");
        std::string key;
        int keys = 0;
        while (info.Step()) {
            if (info.Int(5) > 0) {
                ++keys;
                key = std::get<std::string>(info.Column(1));
                const Value type = info.Column(2);
                if (IsNull(type) || std::get<std::string>(type).empty() ||
                    std::toupper(static_cast<unsigned char>(std::get<std::string>(type)[0])) != 'I')
                    keys = 2; // not a row-id alias
            }
        }
        for (size_t i = 0; keys == 1 && i < columns.size(); ++i)
            if (columns[i] == key) return int(i);
        return -1;
    }
    long long DataVersion() const {
        Statement v(db(), "PRAGMA data_version");
        v.Step();
        return v.Int(0);
    }
    long long Id(size_t index) {
        if (index >= total) return added[index - total];
        if (index >= rowids.size()) ReadIds(index + 1);
        return rowids[index];
    }
    // Reads on until at least `count` of the query's ids are known (all of them once anything
    // changed: the query then runs on the file as it is, which is done only once).
    void ReadIds(size_t count) {
        if (DataVersion() == dataVersion && sqlite3_total_changes(db()) == ownChanges) {
            const size_t want = std::min(total, std::max(count + kPage, rowids.size() * 2));
            Statement keys(db(), keysSql);
            for (size_t skip = rowids.size(); skip > 0 && keys.Step();) --skip;
            while (rowids.size() < want && keys.Step()) rowids.push_back(keys.Int(keyColumn));
            if (keys.Finished() && rowids.size() < total) EndsShort();
        } else {
            // Rows the query did not give then are left out: those already read, and those
            // added since (ids only grow). Rows gone since read as empty, at the end.
            std::vector<long long> seen(rowids);
            std::sort(seen.begin(), seen.end());
            Statement keys(db(), keysSql);
            while (rowids.size() < total && keys.Step()) {
                const long long id = keys.Int(keyColumn);
                if (id <= largestId && !std::binary_search(seen.begin(), seen.end(), id)) rowids.push_back(id);
            }
            rowids.resize(total, 0); // a row gone reads as Null
            return;
        }
        rowids.resize(std::max(rowids.size(), std::min(count, total)), 0);
    }

    // The query ran out before its count (stored counts written past their triggers): the
    // rows it does not have are not in the list, and no list trusts the counts again this run.
    void EndsShort() {
        DistrustCounts();
        const size_t found = rowids.size();
        missingFrom = Rank(found);
        const size_t before = tree.total();
        rowids.resize(total, 0);
        for (size_t i = found; i < total; ++i) Kill(i);
        missing += tree.total() - before;
    }

    void Append(long long rowid) {
        added.push_back(rowid);
        tree.PushBack();
        // A page already read keeps what it showed; the new row joins it as it is now.
        const size_t index = Size() - 1;
        if (auto it = pages.find(index / kPage); it != pages.end()) it->second.push_back(Read(rowid).value_or(Nulls()));
    }
    void Kill(size_t index) {
        if (dead.size() < Size()) dead.resize(Size(), 0);
        if (!dead[index]) {
            dead[index] = 1;
            tree.Mark(index);
        }
    }
    const std::vector<Value>& Row(size_t index) {
        auto it = pages.find(index / kPage);
        if (it == pages.end()) {
            if (pages.size() > 512) pages.clear(); // bounded memory on long scrolls
            std::vector<std::vector<Value>> page;
            const size_t first = index / kPage * kPage;
            for (size_t i = first; i < std::min(first + kPage, Size()); ++i)
                page.push_back(Read(Id(i)).value_or(Nulls())); // a row gone from the table reads as Null
            it = pages.emplace(index / kPage, std::move(page)).first;
        }
        return it->second[index % kPage];
    }
    std::vector<Value> Nulls() const { return std::vector<Value>(columns.size()); }
    // The row as the table holds it now; nothing when it is gone.
    std::optional<std::vector<Value>> Read(long long rowid) {
        if (!fetch) {
            std::string sql = "SELECT ";
            for (size_t i = 0; i < columns.size(); ++i) sql += (i ? ", " : "") + QuoteName(columns[i]);
            fetch = std::make_unique<Statement>(db(), sql + " FROM " + QuoteName(table) + " WHERE rowid = ?");
        }
        fetch->Reset();
        fetch->Bind(1, rowid);
        std::optional<std::vector<Value>> row;
        if (fetch->Step()) {
            row.emplace(columns.size());
            for (size_t c = 0; c < columns.size(); ++c) (*row)[c] = fetch->Column(int(c));
        }
        fetch->Reset();
        return row;
    }
    // What this record set last read of a row: the optimistic lock a write checks against.
    // Called inside the write's transaction, so nobody can change the row in between.
    void RequireUnchanged(size_t index) {
        const std::vector<Value> seen = Row(index);
        if (Read(Id(index)) != seen)
            throw EngineError(kRowChanged, "Drugi program je u međuvremenu promijenio ili izbrisao ovaj par riječi; "
                                           "ništa nije spremljeno. Popis sada pokazuje stanje u datoteci.");
    }
    void Store(size_t index, std::vector<Value> row) {
        if (auto it = pages.find(index / kPage); it != pages.end()) it->second[index % kPage] = std::move(row);
    }
};

} // namespace db
