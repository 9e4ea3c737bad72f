#include "db/JetSql.h"

#include "db/JetLike.h"

#include <algorithm>
#include <cctype>
#include <regex>
#include <vector>
#include <unicode/utf8.h>

namespace db {

std::string FoldKey(std::string_view utf8) { return Utf8(Fold(utf8)); }

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
    return true;
}

namespace {

bool IsWordChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

// Reads a quoted literal starting at sql[i] == '\''; returns the index after it, or npos.
size_t ReadLiteral(std::string_view sql, size_t i, std::string* content) {
    for (size_t j = i + 1; j < sql.size(); ++j) {
        if (sql[j] != '\'') {
            if (content) *content += sql[j];
        } else if (j + 1 < sql.size() && sql[j + 1] == '\'') {
            if (content) *content += '\'';
            ++j;
        } else {
            return j + 1;
        }
    }
    return std::string_view::npos;
}

std::string Hex(const std::string& bytes) {
    static const char* digits = "0123456789ABCDEF";
    std::string out = "X'";
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out + "'";
}

size_t SkipSpace(std::string_view s, size_t i) {
    while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i]))) ++i;
    return i;
}

} // namespace

std::string AddPrefixRanges(std::string_view sql) {
    std::string out;
    struct Range {
        size_t at, prefixBytes;
    };
    std::vector<Range> ranges;
    size_t i = 0;
    while (i < sql.size()) {
        const char c = sql[i];
        if (c == '\'' || c == '"') {
            size_t end = c == '\'' ? ReadLiteral(sql, i, nullptr) : sql.find('"', i + 1);
            end = end == std::string_view::npos ? sql.size() : (c == '"' ? end + 1 : end);
            out.append(sql.substr(i, end - i));
            i = end;
            continue;
        }
        if (!IsWordChar(c) || (i > 0 && (IsWordChar(sql[i - 1]) || sql[i - 1] == '.'))) {
            out += c;
            ++i;
            continue;
        }
        size_t w = i;
        while (w < sql.size() && IsWordChar(sql[w])) ++w;
        const std::string_view column = sql.substr(i, w - i);
        if (EqualsNoCase(column, "Engleski") || EqualsNoCase(column, "Hrvatski")) {
            size_t k = SkipSpace(sql, w);
            size_t like = k;
            while (like < sql.size() && IsWordChar(sql[like])) ++like;
            if (like > k && EqualsNoCase(sql.substr(k, like - k), "LIKE")) {
                const size_t q = SkipSpace(sql, like);
                std::string pattern;
                const size_t end = q < sql.size() && sql[q] == '\'' ? ReadLiteral(sql, q, &pattern) : std::string_view::npos;
                const bool prefix = end != std::string_view::npos && pattern.size() > 1 && pattern.back() == '*' &&
                                    pattern.find_first_of("*?#[", 0) == pattern.size() - 1;
                if (end != std::string_view::npos && pattern == "*") { // every term there is: an index answers it
                    out += "(" + std::string(column) + " IS NOT NULL)";
                    i = end;
                    continue;
                }
                const std::string lo = prefix ? FoldKey(pattern.substr(0, pattern.size() - 1)) : std::string();
                if (!lo.empty()) {
                    std::string hi = lo;
                    hi.back() = char(static_cast<unsigned char>(hi.back()) + 1); // UTF-8 never holds 0xFF
                    const std::string col(column);
                    ranges.push_back({out.size(), lo.size()});
                    out += "(vokabis_fold(" + col + ") >= " + Hex(lo) + " AND vokabis_fold(" + col + ") < " + Hex(hi) + ")";
                    i = end;
                    continue;
                }
            }
        }
        out.append(column);
        i = w;
    }
    // With conditions on both terms, only the longer prefix, the narrower one, is to be taken
    // from its index; a unary plus keeps the engine from choosing the other.
    if (ranges.size() > 1) {
        size_t best = 0;
        for (size_t k = 1; k < ranges.size(); ++k)
            if (ranges[k].prefixBytes > ranges[best].prefixBytes) best = k;
        for (size_t k = ranges.size(); k-- > 0;) {
            if (k == best) continue;
            const size_t second = out.find(" AND vokabis_fold(", ranges[k].at);
            out.insert(second + 5, "+");
            out.insert(ranges[k].at + 1, "+");
        }
    }
    return out;
}

std::string InTypedOrder(const std::string& sql) {
    static const std::regex ordered(R"(\border\s+by\b)", std::regex::icase);
    static const std::regex condition(R"re((^|[^\w."])(Engleski|Hrvatski)\s+LIKE\s+'((?:[^'*?#\[]|'')*)\*')re", std::regex::icase);
    if (std::regex_search(sql, ordered)) return sql;
    // Only a condition outside quoted text counts: the quotes before it must pair up.
    for (std::sregex_iterator it(sql.begin(), sql.end(), condition), end; it != end; ++it) {
        const auto at = sql.begin() + (*it).position(2);
        if (std::count(sql.begin(), at, '\'') % 2 != 0 || std::count(sql.begin(), at, '"') % 2 != 0) continue;
        return sql + " ORDER BY " + (*it).str(2);
    }
    return sql;
}

std::string CountSql(const std::string& sql) {
    using std::regex;
    static const regex order(R"(^([\s\S]*)\border\s+by\s+[A-Za-z0-9_"\s,]*$)", regex::icase);
    static const regex limit(R"(\blimit\b)", regex::icase);
    static const regex whole(R"(^\s*select\s+\S+\s+from\s+("?)(\w+)\1\s*$)", regex::icase);
    static const regex notNull(R"(^\s*select\s+\S+\s+from\s+("?)(\w+)\1\s+where\s+\((\w+) IS NOT NULL\)\s*$)", regex::icase);
    std::string base = sql;
    std::smatch m;
    if (std::regex_match(sql, m, order) && !std::regex_search(sql.substr(size_t(m.length(1))), limit)) base = m.str(1);
    if (std::regex_match(base, m, whole)) return "SELECT count(*) FROM \"" + m.str(2) + "\"";
    if (std::regex_match(base, m, notNull))
        return "SELECT (SELECT count(*) FROM \"" + m.str(2) + "\") - (SELECT count(*) FROM \"" + m.str(2) + "\" WHERE " +
               m.str(3) + " IS NULL)";
    return "SELECT count(*) FROM (" + base + ")";
}

} // namespace db
