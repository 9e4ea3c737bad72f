#include "db/Keyset.h"

#include <algorithm>
#include <cctype>

namespace db {

void Keyset::Start() {
    // A walk is chosen by the count, which must be of the same state of the file as the ids:
    // a statement stepped once holds that state until the ids are read.
    std::optional<Statement> pin;
    bool more = false;
    if (order && !order->indexedBy.empty()) {
        pin.emplace(db(), "SELECT rowid FROM " + QuoteName(table));
        pin->Step();
        more = StartWalk();
    } else {
        auto keys = std::make_unique<Statement>(db(), keysSql);
        more = keys->Step();
        if (!apartSql.empty()) {
            // Asked while the keys' statement is open: of the same state of the file.
            Statement apart(db(), apartSql);
            if (apart.Step()) {
                order = KeyOrderOf(sortedKeysSql);
                keysSql = order ? order->Sql(false) : sortedKeysSql;
                keys = std::make_unique<Statement>(db(), keysSql);
                more = keys->Step();
            }
        }
        const size_t first = order ? piece : kFirstIds;
        for (; more && rowids.size() < first; more = keys->Step()) rowids.push_back(keys->Int(keyColumn));
        if (more) { // the id statement is still open, so this reads the same state of the file
            Statement count(db(), countSql);
            count.Step();
            total = size_t(count.Int(0));
        }
    }
    if (!more) total = rowids.size();
    if (more) {
        marks = FileMarks::Take(db(), table);
    }
    tree.Reset(total);
}

bool Keyset::StartWalk() {
    {
        Statement count(db(), countSql);
        count.Step();
        total = size_t(count.Int(0));
    }
    Statement largest(db(), "SELECT max(rowid) FROM " + QuoteName(table)); // about the rows of the table
    largest.Step();
    if (double(total) * double(total) < double(kWalkIds) * double(largest.Int(0))) SortInstead();
    if (!order->indexedBy.empty()) {
        Statement keys(db(), keysSql);
        // One id more tells whether there are more.
        if (std::optional<std::vector<long long>> ids = Walked(keys, piece + 1)) {
            const bool more = ids->size() > piece;
            rowids.assign(ids->begin(), ids->begin() + std::min(piece, ids->size()));
            return more;
        }
        SortInstead(); // the letter's rows lie far apart in the order's index
    }
    Statement keys(db(), keysSql);
    bool more = keys.Step();
    for (; more && rowids.size() < piece; more = keys.Step()) rowids.push_back(keys.Int(keyColumn));
    return more;
}

void Keyset::SortInstead() {
    order->indexedBy.clear();
    piece = kFirstIds;
    keysSql = order->Sql(false);
}

int Keyset::LearnColumns(const std::string& query) {
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
    rows.ReadFrom(db(), table, columns);
    return key;
}

int Keyset::KeyColumn() const {
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

long long Keyset::Id(size_t index) {
    if (index >= total) return added[index - total];
    if (index < rowids.size()) return rowids[index];
    if (order) return PieceId(index);
    ReadIds(index + 1);
    return rowids[index];
}

void Keyset::ReadIds(size_t count) {
    if (!Changed()) {
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
            if (id <= marks.largestId && !std::binary_search(seen.begin(), seen.end(), id)) rowids.push_back(id);
        }
        rowids.resize(total, 0); // a row gone reads as Null
        return;
    }
    rowids.resize(std::max(rowids.size(), std::min(count, total)), 0);
}

// The query ran out before its count (stored counts written past their triggers): the
// rows it does not have are not in the list, and no list trusts the counts again this run.
void Keyset::EndsShort() {
    DistrustCounts();
    const size_t found = rowids.size();
    missingFrom = Rank(found);
    const size_t before = tree.total();
    rowids.resize(total, 0);
    for (size_t i = found; i < total; ++i) Kill(i);
    missing += tree.total() - before;
}

void Keyset::Append(long long rowid) {
    added.push_back(rowid);
    tree.PushBack();
    // A page already read keeps what it showed; the new row joins it as it is now.
    rows.Joined(Size() - 1, rowid);
}

void Keyset::Kill(size_t index) {
    if (dead.size() < Size()) dead.resize(Size(), 0);
    if (!dead[index]) {
        dead[index] = 1;
        tree.Mark(index);
    }
}

} // namespace db
