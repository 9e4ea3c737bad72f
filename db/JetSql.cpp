#include "db/JetSql.h"

#include "db/JetLike.h"

#include <algorithm>
#include <cctype>
#include <regex>
#include <vector>
#include <map>
#include <mutex>
#include <optional>
#include <unicode/ucol.h>
#include <unicode/uchar.h>
#include <unicode/uset.h>
#include <unicode/utf16.h>
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

namespace {

std::string Utf8Of(const std::u16string& s) {
    std::string out;
    for (size_t i = 0; i < s.size();) {
        UChar32 c;
        U16_NEXT(s.data(), i, s.size(), c);
        char buf[4];
        int32_t n = 0;
        U8_APPEND_UNSAFE(buf, n, c);
        out.append(buf, size_t(n));
    }
    return out;
}

std::string Quoted(const std::string& text) {
    std::string out = "'";
    for (char c : text) out += c == '\'' ? std::string("''") : std::string(1, c);
    return out + "'";
}

// The collated range that holds every term starting with the letter `letter` in any case: from
// the smallest of its forms, and of the contractions they begin (Croatian "dž", "lj", "nj"), to
// past the largest of them followed by U+FFFF, which sorts after every other character.
std::optional<std::pair<std::string, std::string>> FindLetterRange(bool croatian, UChar32 letter) {
    static UCollator* const collators[2] = {[] {
                                                UErrorCode st = U_ZERO_ERROR;
                                                UCollator* c = ucol_open("", &st);
                                                return U_SUCCESS(st) ? c : nullptr;
                                            }(),
                                            [] {
                                                UErrorCode st = U_ZERO_ERROR;
                                                UCollator* c = ucol_open("hr", &st);
                                                return U_SUCCESS(st) ? c : nullptr;
                                            }()};
    const UCollator* coll = collators[croatian ? 1 : 0];
    if (!coll || !u_isalpha(letter)) return std::nullopt;
    const UChar32 folded = u_foldCase(letter, U_FOLD_CASE_DEFAULT);
    std::vector<std::u16string> forms;
    UErrorCode st = U_ZERO_ERROR;
    USet* set = uset_openEmpty();
    uset_add(set, folded);
    uset_closeOver(set, USET_CASE_INSENSITIVE);
    USet* contractions = uset_openEmpty();
    ucol_getContractionsAndExpansions(coll, contractions, nullptr, false, &st);
    for (USet* from : {set, contractions}) {
        const int32_t items = uset_getItemCount(from);
        for (int32_t i = 0; i < items && U_SUCCESS(st); ++i) {
            UChar32 lo, hi;
            UChar text[64];
            const int32_t len = uset_getItem(from, i, &lo, &hi, text, 64, &st);
            if (len > 0) { // a string
                UChar32 first;
                int32_t at = 0;
                U16_NEXT(text, at, len, first);
                if (u_foldCase(first, U_FOLD_CASE_DEFAULT) == folded) forms.emplace_back(text, text + len);
            } else {
                for (UChar32 c = lo; c <= hi; ++c) {
                    if (u_foldCase(c, U_FOLD_CASE_DEFAULT) != folded) continue;
                    std::u16string one;
                    if (U_IS_BMP(c)) one += char16_t(c);
                    else one += {char16_t(U16_LEAD(c)), char16_t(U16_TRAIL(c))};
                    forms.push_back(one);
                }
            }
        }
    }
    uset_close(set);
    uset_close(contractions);
    if (U_FAILURE(st) || forms.empty()) return std::nullopt;
    auto less = [&](const std::u16string& a, const std::u16string& b) {
        return ucol_strcoll(coll, a.data(), int32_t(a.size()), b.data(), int32_t(b.size())) == UCOL_LESS;
    };
    const std::u16string low = *std::min_element(forms.begin(), forms.end(), less);
    std::u16string high = *std::max_element(forms.begin(), forms.end(), less);
    high += char16_t(0xFFFF);
    return std::pair{Utf8Of(low), Utf8Of(high)};
}

// Looking through the collation's contractions takes milliseconds: once per letter is enough.
std::optional<std::pair<std::string, std::string>> LetterRange(bool croatian, UChar32 letter) {
    static std::mutex guard;
    static std::map<std::pair<bool, UChar32>, std::optional<std::pair<std::string, std::string>>> known;
    const std::lock_guard<std::mutex> lock(guard);
    auto it = known.find({croatian, letter});
    if (it == known.end()) it = known.emplace(std::pair{croatian, letter}, FindLetterRange(croatian, letter)).first;
    return it->second;
}

} // namespace

std::string InTypedOrder(const std::string& sql) {
    // A query with an order, or with a clause an ORDER BY could not simply follow, keeps its own.
    static const std::regex ordered(R"(\b(order\s+by|group\s+by|limit|union|intersect|except)\b|;)", std::regex::icase);
    static const std::regex condition(R"re((^|[^\w."+])(Engleski|Hrvatski)\s+LIKE\s+'((?:[^'*?#\[]|'')*)\*')re", std::regex::icase);
    if (std::regex_search(sql, ordered)) return sql;
    // Only conditions outside quoted text count: the quotes before one must pair up.
    std::vector<std::smatch> found;
    for (std::sregex_iterator it(sql.begin(), sql.end(), condition), end; it != end; ++it) {
        const auto at = sql.begin() + (*it).position(2);
        if (std::count(sql.begin(), at, '\'') % 2 == 0 && std::count(sql.begin(), at, '"') % 2 == 0) found.push_back(*it);
    }
    if (found.empty()) return sql;
    const std::smatch& typed = found.front();
    const std::string column = typed.str(2);
    std::string out = sql + " ORDER BY " + column;
    // One letter alone finds many rows, and sorting them by the collation costs more than the
    // rest of a keystroke: they are read from the collated index in its order instead, within the
    // range of the letter, the prefix condition still deciding which rows belong. Not when the
    // other term has a prefix of its own, which finds fewer rows.
    const std::string letter = typed.str(3);
    int32_t at = 0, length = int32_t(letter.size());
    UChar32 c = -1;
    if (length > 0) U8_NEXT(letter.data(), at, length, c);
    const bool otherPrefix = std::any_of(found.begin() + 1, found.end(), [](const std::smatch& m) { return m.length(3) > 0; });
    if (c < 0 || at != length || otherPrefix) return out;
    if (auto range = LetterRange(EqualsNoCase(column, "Hrvatski"), c)) {
        const size_t from = size_t(typed.position(2));
        const size_t to = size_t(typed.position(0) + typed.length(0));
        out = sql.substr(0, from) + "(" + column + " >= " + Quoted(range->first) + " AND " + column + " < " +
              Quoted(range->second) + " AND +" + sql.substr(from, to - from) + ")" + out.substr(to);
    }
    return out;
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
