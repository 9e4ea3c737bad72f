#include "db/JetSql.h"

#include "db/JetLike.h"

#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <cctype>
#include <vector>

namespace db {

std::string FoldKey(std::string_view utf8, size_t maxChars) {
    std::string out;
    out.reserve(std::min(utf8.size(), maxChars * 4));
    int32_t i = 0;
    const auto n = static_cast<int32_t>(utf8.size());
    for (size_t chars = 0; i < n && chars < maxChars; ++chars) {
        UChar32 c;
        U8_NEXT(utf8.data(), i, n, c);
        if (c < 0) c = 0xFFFD; // as Fold reads an invalid byte
        c = u_foldCase(c, U_FOLD_CASE_DEFAULT);
        uint8_t buf[4];
        int32_t len = 0;
        UBool err = false;
        U8_APPEND(buf, len, 4, c, err);
        out.append(reinterpret_cast<char*>(buf), size_t(len));
    }
    return out;
}

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
        size_t at, chars;
    };
    std::vector<Range> ranges;
    std::string firstColumn; // of the first prefix: the box being typed in, unless that is empty
    bool plainSelect = false, ordered = false;
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
        if (out.find_first_not_of(" \t\r\n") == std::string::npos) plainSelect = EqualsNoCase(column, "select");
        for (const char* clause : {"order", "group", "limit", "union", "having", "intersect", "except"})
            if (EqualsNoCase(column, clause)) ordered = true;
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
                if (prefix) {
                    const std::string col(column);
                    if (ranges.empty()) firstColumn = col;
                    const size_t chars = Fold(pattern.substr(0, pattern.size() - 1)).size();
                    const size_t head = std::min<size_t>(chars, 2);
                    ranges.push_back({out.size(), chars});
                    out += "(vokabis_initial(" + col + ", " + std::to_string(head) +
                           ") = " + Hex(FoldKey(pattern.substr(0, pattern.size() - 1), head));
                    if (chars > head) out += " AND " + col + " LIKE " + std::string(sql.substr(q, end - q));
                    out += ")";
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
            if (ranges[k].chars > ranges[best].chars) best = k;
        for (size_t k = ranges.size(); k-- > 0;)
            if (k != best) out.insert(ranges[k].at + 1, "+");
    }
    // A filter names no order; its rows come in the alphabet of the typed box's column, which
    // the index of the term's first letters gives for free. A box just emptied searches nothing,
    // so then the other box's column orders the list, and again at no cost.
    const size_t last = out.find_last_not_of(" \t\r\n");
    if (plainSelect && !ordered && !ranges.empty() && last != std::string::npos && out[last] != ';')
        out += " ORDER BY " + firstColumn;
    return out;
}

} // namespace db
