#include "db/KeyOrder.h"

#include "db/JetTokens.h"
#include "db/Sqlite.h"

#include <vector>

namespace db {
namespace {

// Words and marks that make another shape: a second query, a group, a limit, a join, a chosen
// index, and parameters, whose numbers the pieces' own would take.
bool Refused(const JetToken& t) {
    static const char* const kWords[] = {"select", "from",   "where",     "order",   "group",  "having",
                                         "limit",  "offset", "union",     "join",    "except", "intersect",
                                         "indexed", "window", "distinct"};
    for (const char* k : kWords)
        if (t.Is(k)) return true;
    for (const char c : {';', '?', ':', '@', '$', '`'})
        if (t.IsSymbol(c)) return true;
    return false;
}

std::string Dir(bool descending) { return descending ? " DESC" : " ASC"; }

} // namespace

std::optional<KeyOrder> KeyOrderOf(const std::string& sql) {
    std::vector<JetToken> t;
    bool bracket = false; // a [name] not yet closed
    for (const JetToken& token : JetTokens(sql)) {
        if (token.kind == JetToken::kUnclosed) return std::nullopt;
        if (token.IsSymbol('[')) bracket = true;
        if (token.IsSymbol(']')) bracket = false;
        if (token.Solid()) t.push_back(token);
    }
    if (bracket) return std::nullopt; // not a text the engine runs
    // select ... from TABLE [where ...] order by COLUMN [asc|desc]
    size_t from = 0;
    while (from < t.size() && !t[from].Is("from")) ++from;
    if (t.size() < 7 || !t[0].Is("select") || from + 5 > t.size()) return std::nullopt;
    size_t order = t.size() - 3;
    KeyOrder k;
    if (t.back().Is("asc") || t.back().Is("desc")) {
        k.descending = t.back().Is("desc");
        --order;
    }
    if (!t[order].Is("order") || !t[order + 1].Is("by") || t[order + 2].kind != JetToken::kWord || t[order + 2].Is("rowid"))
        return std::nullopt;
    const size_t after = from + 2; // the word after the table
    if (after > order || (after < order && !t[after].Is("where"))) return std::nullopt;
    for (size_t i = 1; i < order; ++i)
        if (i != from && i != after && Refused(t[i])) return std::nullopt;
    for (size_t i = 1; i < from; ++i)
        if (t[i].IsSymbol('(')) return std::nullopt; // a function or a query among the columns
    k.select = sql.substr(0, t[from + 1].end());
    if (after < order) k.where = sql.substr(t[after].end(), t[order].at - t[after].end());
    k.column = std::string(t[order + 2].text);
    return k;
}

std::string KeyOrder::Sql(bool reverse, bool after) const {
    const bool desc = descending != reverse;
    std::string conditions;
    // The seek first, so that the engine takes its bound for the index range.
    if (after) conditions = desc ? column + " <= ?1 AND (" + column + " < ?1 OR rowid < ?2)"
                                 : column + " >= ?1 AND (" + column + " > ?1 OR rowid > ?2)";
    if (!where.empty()) conditions += (conditions.empty() ? "(" : " AND (") + where + ")";
    return select + (indexedBy.empty() ? "" : " INDEXED BY " + QuoteName(indexedBy)) +
           (conditions.empty() ? "" : " WHERE " + conditions) + " ORDER BY " + column + Dir(desc) + ", rowid" + Dir(desc);
}

std::string KeyOrder::AfterSql(const std::string& table, bool reverse) const {
    // Null sorts first; ties go by the row id in the same direction.
    const std::string x = "x." + column, y = "y." + column;
    const std::string cond = descending != reverse
                                 ? "(" + y + " IS NULL AND (" + x + " IS NOT NULL OR y.rowid < x.rowid)) OR " + y + " < " + x +
                                       " OR (" + y + " = " + x + " AND y.rowid < x.rowid)"
                                 : "(" + x + " IS NULL AND (" + y + " IS NOT NULL OR y.rowid > x.rowid)) OR " + y + " > " + x +
                                       " OR (" + y + " = " + x + " AND y.rowid > x.rowid)";
    return "SELECT coalesce(" + cond + ", 0) FROM " + QuoteName(table) + " AS x, " + QuoteName(table) +
           " AS y WHERE x.rowid = ?1 AND y.rowid = ?2";
}

} // namespace db
