#pragma once
#include <optional>
#include <string>

namespace db {

// A query of one table ordered by one of its columns alone. With the row id after that column
// its order is total, so the record set can read it in pieces: from either end, or on from a
// row it knows, and every piece agrees with the engine's own read of the whole list.
struct KeyOrder {
    std::string select;    // SELECT ... FROM table, as the query has it
    std::string where;     // its condition; empty when it has none
    std::string column;    // the column it is ordered by
    bool descending = false;
    std::string indexedBy; // walk this index (the column's own) whatever the condition

    // The query in its order or reversed; with `after`, only the rows after the one whose term
    // is bound as ?1 and id as ?2, in the order read.
    std::string Sql(bool reverse, bool after = false) const;
    // One row: 1 when row ?2 comes after row ?1 in this order, read forwards or reversed.
    std::string AfterSql(const std::string& table, bool reverse) const;
};

// Nothing for a query of any other shape (joins, groups, limits, several columns in the order).
std::optional<KeyOrder> KeyOrderOf(const std::string& sql);

} // namespace db
