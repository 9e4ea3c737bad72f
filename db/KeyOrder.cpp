#include "db/KeyOrder.h"

#include "db/JetSql.h"
#include "db/Sqlite.h"

#include <cctype>
#include <string_view>
#include <vector>

namespace db {
namespace {

bool IsNameChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

// The words and marks of a query outside its quoted texts; a quoted name is one word.
struct Token {
    std::string text; // lower case for words
    size_t at, end;
};
std::vector<Token> TokensOf(std::string_view sql) {
    std::vector<Token> out;
    for (size_t i = 0; i < sql.size();) {
        const char c = sql[i];
        if (std::isspace(static_cast<unsigned char>(c))) {
            ++i;
        } else if (c == '\'' || c == '"' || c == '[' || c == '`') {
            const char close = c == '[' ? ']' : c;
            size_t e = i + 1;
            for (;; ++e) {
                if (e >= sql.size()) return {}; // unclosed: not a shape read in pieces
                if (sql[e] != close) continue;
                if (close == ']' || e + 1 == sql.size() || sql[e + 1] != close) break;
                ++e; // a doubled quote stands for itself
            }
            std::string name(sql.substr(i + 1, e - i - 1));
            for (char& ch : name) ch = char(std::tolower(static_cast<unsigned char>(ch)));
            out.push_back({c == '\'' ? "'" : name, i, e + 1});
            i = e + 1;
        } else if (IsNameChar(c)) {
            size_t e = i;
            std::string word;
            while (e < sql.size() && IsNameChar(sql[e])) word += char(std::tolower(static_cast<unsigned char>(sql[e++])));
            out.push_back({std::move(word), i, e});
            i = e;
        } else {
            out.push_back({std::string(1, c), i, i + 1});
            ++i;
        }
    }
    return out;
}

// Words that make another shape: a second query, a group, a limit, a join, a chosen index, and
// parameters, whose numbers the pieces' own would take.
bool Refused(const std::string& w) {
    static const char* const kWords[] = {"select", "from",      "where",   "order",  "group",    "having", "limit",
                                         "offset", "union",     "join",    "except", "intersect", "indexed", "window",
                                         "distinct", ";", "?", ":", "@", "$"};
    for (const char* k : kWords)
        if (w == k) return true;
    return false;
}

std::string Dir(bool descending) { return descending ? " DESC" : " ASC"; }

} // namespace

std::optional<KeyOrder> KeyOrderOf(const std::string& sql) {
    const std::vector<Token> t = TokensOf(sql);
    // select ... from TABLE [where ...] order by COLUMN [asc|desc]
    size_t from = 0;
    while (from < t.size() && t[from].text != "from") ++from;
    if (t.size() < 7 || t[0].text != "select" || from + 5 > t.size()) return std::nullopt;
    size_t order = t.size() - 3;
    KeyOrder k;
    if (t.back().text == "asc" || t.back().text == "desc") {
        k.descending = t.back().text == "desc";
        --order;
    }
    if (t[order].text != "order" || t[order + 1].text != "by" || !IsNameChar(sql[t[order + 2].at]) ||
        t[order + 2].text == "rowid" || std::isdigit(static_cast<unsigned char>(t[order + 2].text[0])))
        return std::nullopt;
    const size_t after = from + 2; // the word after the table
    if (after > order || (after < order && t[after].text != "where")) return std::nullopt;
    for (size_t i = 1; i < order; ++i)
        if (i != from && i != after && Refused(t[i].text)) return std::nullopt;
    for (size_t i = 1; i < from; ++i)
        if (t[i].text == "(") return std::nullopt; // a function or a query among the columns
    k.select = sql.substr(0, t[from + 1].end);
    if (after < order) k.where = sql.substr(t[after].end, t[order].at - t[after].end);
    k.column = sql.substr(t[order + 2].at, t[order + 2].end - t[order + 2].at);
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
