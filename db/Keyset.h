#pragma once
// A list's rows as the record set walks them: the ids its query gave, read in the query's order as
// far as they are needed, the rows added since and the rows deleted; the pages of rows read
// (RowPages) and the marks that tell whether the file changed under it (FileMarks) are its parts.
#include "db/Counts.h"
#include "db/Database.h"
#include "db/DeadRows.h"
#include "db/Errors.h"
#include "db/FileMarks.h"
#include "db/KeyOrder.h"
#include "db/RowPages.h"
#include "db/Sqlite.h"

#include <atomic>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace db {

inline std::atomic<uint64_t> nextKeysetId{1};

struct Keyset {
    static constexpr size_t kPage = RowPages::kPage;
    static constexpr size_t kFirstIds = 1024; // more than a screenful, read when the query runs
    // A walk of the order's index that skips the rows the filter refuses costs a look-up per row
    // it passes, kWalkIds * rows / count of them for a piece (about a screen), so its pieces are
    // small; sorting costs about a look-up per row it finds. The engine sorts when that is less.
    static constexpr size_t kWalkIds = 32;
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
    std::vector<long long> rowids;  // the query's first ids, then all of them once read whole
    std::vector<long long> added;
    // A query in a total order (KeyOrder) is read in pieces of `piece` ids wherever they are
    // needed; each remembers whether its place was counted from the end, which a count that
    // was too high would have moved.
    struct Piece {
        std::vector<long long> ids;
        bool fromEnd = false;
    };
    std::optional<KeyOrder> order;
    size_t piece = kFirstIds;
    std::map<size_t, Piece> pieces; // by number; number 0 is in rowids
    FileMarks marks;
    std::vector<char> dead;
    DeadTree tree;
    size_t missing = 0, missingFrom = 0; // rows the count promised and the query lacked, and where they began
    RowPages rows;

    sqlite3* db() const { return conn->handle(); }
    size_t Size() const { return total + added.size(); }
    size_t Live() const { return Size() - tree.total(); }
    size_t Rank(size_t index) const { return index - tree.Prefix(index); }
    bool IsDead(size_t index) const { return index < dead.size() && dead[index] != 0; }

    // Runs the query: its first ids, and when there are more, how many, all as of one moment.
    void Start();
    // For a walk: counts first (the walk is chosen by the count) and reads the first ids, or
    // sorts instead when the walk would cost more. True when the query has more ids.
    bool StartWalk();
    void SortInstead();
    // Learns which table the rows of the query come from and its columns; returns which of them
    // is the table's row key. Throws for a query whose rows cannot be edited.
    int LearnColumns(const std::string& query);
    // Which of the query's columns is the table's row key (an alias of its row id); -1 if none.
    int KeyColumn() const;
    // An order by one column, with the row id to break its ties, is read in pieces; a letter of
    // one term (the stored counts' shape) ordered by the other may walk the order's index.
    void TakeOrder(bool letter);
    // Walks the order's own index when the condition is on another column (a letter of the other
    // term), so that the first rows come without sorting every row the condition finds.
    void WalkOrderIndex();
    bool Changed() const { return marks.Changed(db()); }
    long long Id(size_t index);
    // Reads on until at least `count` of the query's ids are known (all of them once anything
    // changed: the query then runs on the file as it is, which is done only once).
    void ReadIds(size_t count);
    void EndsShort();

    // Pieces (KeyPieces.cpp).
    long long PieceId(size_t index);
    bool ReadPiece(size_t number);
    bool InOrder(size_t number, const std::vector<long long>& ids);
    bool After(long long first, long long then);
    // Reads up to n ids of keys; a walk that passes more rows than sorting the list would read
    // stops, and the result is then nothing (the caller sorts instead).
    std::optional<std::vector<long long>> Walked(Statement& keys, size_t n);
    void ReadWhole();
    std::vector<long long> Placed(const std::vector<long long>& all);
    std::vector<long long> Filled(const std::vector<long long>& all) const;

    void Append(long long rowid);
    void Kill(size_t index);
    const std::vector<Value>& Row(size_t index) {
        return rows.Row(index, Size(), [this](size_t i) { return Id(i); });
    }
    // What this record set last read of a row is what a write of it checks against.
    void RequireUnchanged(size_t index) {
        const std::vector<Value> shown = Row(index);
        rows.RequireAsShown(shown, Id(index));
    }
};

} // namespace db
