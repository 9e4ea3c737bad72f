#include "db/QueryText.h"

#include "db/Sqlite.h"

#include <cctype>
#include <string_view>

namespace db {
namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }
bool IsWordChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }
size_t SkipSpace(const std::string& s, size_t i) {
    while (i < s.size() && IsSpace(s[i])) ++i;
    return i;
}
// The keyword at i (any case), returning the index after it, or npos. A keyword ends a word.
size_t Keyword(const std::string& s, size_t i, std::string_view word) {
    if (s.size() - std::min(i, s.size()) < word.size()) return std::string::npos;
    for (size_t k = 0; k < word.size(); ++k)
        if (std::tolower(static_cast<unsigned char>(s[i + k])) != word[k]) return std::string::npos;
    i += word.size();
    return i < s.size() && IsWordChar(s[i]) ? std::string::npos : i;
}
// A name, optionally in double quotes, at i: its end, with the name itself in *name.
size_t Name(const std::string& s, size_t i, std::string* name) {
    const bool quoted = i < s.size() && s[i] == '"';
    size_t j = i + (quoted ? 1 : 0), start = j;
    while (j < s.size() && IsWordChar(s[j])) ++j;
    if (j == start) return std::string::npos;
    if (name) *name = s.substr(start, j - start);
    if (quoted && (j >= s.size() || s[j] != '"')) return std::string::npos;
    return j + (quoted ? 1 : 0);
}

} // namespace

// "select" blanks "*" blanks "from", then a word boundary: the index after "from", or npos.
size_t SelectAllFrom(const std::string& s) {
    size_t i = Keyword(s, SkipSpace(s, 0), "select");
    if (i == std::string::npos || i >= s.size() || !IsSpace(s[i])) return std::string::npos;
    i = SkipSpace(s, i);
    if (i >= s.size() || s[i] != '*') return std::string::npos;
    const size_t after = SkipSpace(s, i + 1);
    if (after == i + 1) return std::string::npos;
    return Keyword(s, after, "from");
}

std::string ViewBody(sqlite3* db, const std::string& sql) {
    constexpr size_t kLongest = 4096;
    if (sql.size() > 200) return sql;
    size_t i = SelectAllFrom(sql);
    std::string name;
    if (i == std::string::npos || i >= sql.size() || !IsSpace(sql[i])) return sql;
    i = Name(sql, SkipSpace(sql, i), &name);
    if (i == std::string::npos || SkipSpace(sql, i) != sql.size()) return sql;
    Statement s(db, "SELECT sql FROM sqlite_master WHERE type = 'view' AND name = ? COLLATE NOCASE");
    s.Bind(1, name);
    if (!s.Step()) return sql;
    const std::string text = CStr(s.Column(0));
    if (text.size() > kLongest || text.find("--") != std::string::npos || text.find("/*") != std::string::npos) return sql;
    // create view <name> as select<blank>...
    size_t j = Keyword(text, SkipSpace(text, 0), "create");
    if (j == std::string::npos || j >= text.size() || !IsSpace(text[j])) return sql;
    j = Keyword(text, SkipSpace(text, j), "view");
    if (j == std::string::npos || j >= text.size() || !IsSpace(text[j])) return sql;
    j = Name(text, SkipSpace(text, j), nullptr);
    if (j == std::string::npos || j >= text.size() || !IsSpace(text[j])) return sql;
    j = Keyword(text, SkipSpace(text, j), "as");
    if (j == std::string::npos || j >= text.size() || !IsSpace(text[j])) return sql;
    j = SkipSpace(text, j);
    const size_t body = j;
    j = Keyword(text, j, "select");
    if (j == std::string::npos || j >= text.size() || !IsSpace(text[j])) return sql;
    return text.substr(body);
}

} // namespace db
