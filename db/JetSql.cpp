#include "db/JetSql.h"

#include "db/JetLike.h"

#include <algorithm>
#include <cctype>
#include <vector>
#include <map>
#include <mutex>
#include <optional>
#include <unicode/ucol.h>
#include <unicode/uchar.h>
#include <unicode/uset.h>
#include <unicode/ustring.h>
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

// The pieces of a Jet text the prefix rewrite looks at: a name standing alone, a closed '...'
// literal, a run of white space; anything else (punctuation, qualified names, "..." names,
// an unclosed literal) is copied as it is.
struct SqlToken {
    enum Kind { kName, kLiteral, kSpace, kOther } kind;
    std::string_view text;
    std::string content; // a literal's text, its doubled quotes made single
};

std::vector<SqlToken> Tokenize(std::string_view sql) {
    std::vector<SqlToken> tokens;
    size_t i = 0;
    while (i < sql.size()) {
        const char c = sql[i];
        SqlToken t{SqlToken::kOther, {}, {}};
        size_t end = i + 1;
        if (c == '\'') {
            end = ReadLiteral(sql, i, &t.content);
            if (end == std::string_view::npos) end = sql.size(); // unclosed: the rest of the text
            else t.kind = SqlToken::kLiteral;
        } else if (c == '"') {
            end = sql.find('"', i + 1);
            end = end == std::string_view::npos ? sql.size() : end + 1;
        } else if (std::isspace(static_cast<unsigned char>(c))) {
            end = SkipSpace(sql, i);
            t.kind = SqlToken::kSpace;
        } else if (IsWordChar(c)) {
            while (end < sql.size() && IsWordChar(sql[end])) ++end;
            // A name after a dot belongs to a table or an alias: not one of the terms.
            if (i == 0 || sql[i - 1] != '.') t.kind = SqlToken::kName;
        }
        t.text = sql.substr(i, end - i);
        tokens.push_back(std::move(t));
        i = end;
    }
    return tokens;
}

// The literal of `Engleski LIKE 'pattern'` (or Hrvatski) when tokens[at] starts one, else nullptr;
// *last is then the literal's index.
const SqlToken* PrefixLiteral(const std::vector<SqlToken>& tokens, size_t at, size_t* last) {
    if (tokens[at].kind != SqlToken::kName) return nullptr;
    if (!EqualsNoCase(tokens[at].text, "Engleski") && !EqualsNoCase(tokens[at].text, "Hrvatski")) return nullptr;
    size_t k = at + 1;
    auto skipSpace = [&] { if (k < tokens.size() && tokens[k].kind == SqlToken::kSpace) ++k; };
    skipSpace();
    if (k >= tokens.size() || tokens[k].kind != SqlToken::kName || !EqualsNoCase(tokens[k].text, "LIKE")) return nullptr;
    ++k;
    skipSpace();
    if (k >= tokens.size() || tokens[k].kind != SqlToken::kLiteral) return nullptr;
    *last = k;
    return &tokens[k];
}

struct PrefixRange {
    size_t at, prefixBytes; // where it starts in the rewritten text, and the folded prefix's length
};

// With conditions on both terms, only the longer prefix, the narrower one, is to be taken
// from its index; a unary plus keeps the engine from choosing the other.
void KeepNarrowestRange(std::string& out, const std::vector<PrefixRange>& ranges) {
    if (ranges.size() < 2) return;
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

} // namespace

std::string AddPrefixRanges(std::string_view sql) {
    const std::vector<SqlToken> tokens = Tokenize(sql);
    std::string out;
    std::vector<PrefixRange> ranges;
    for (size_t t = 0; t < tokens.size(); ++t) {
        size_t last = t;
        const SqlToken* literal = PrefixLiteral(tokens, t, &last);
        if (!literal) {
            out.append(tokens[t].text);
            continue;
        }
        const std::string col(tokens[t].text);
        const std::string& pattern = literal->content;
        if (pattern == "*") { // every term there is: an index answers it
            out += "(" + col + " IS NOT NULL)";
            t = last;
            continue;
        }
        const bool prefix = pattern.size() > 1 && pattern.back() == '*' && pattern.find_first_of("*?#[", 0) == pattern.size() - 1;
        const std::string lo = prefix ? FoldKey(pattern.substr(0, pattern.size() - 1)) : std::string();
        if (lo.empty()) {
            out.append(col);
            continue;
        }
        std::string hi = lo;
        hi.back() = char(static_cast<unsigned char>(hi.back()) + 1); // UTF-8 never holds 0xFF
        ranges.push_back({out.size(), lo.size()});
        out += "(vokabis_fold(" + col + ") >= " + Hex(lo) + " AND vokabis_fold(" + col + ") < " + Hex(hi) + ")";
        t = last;
    }
    KeepNarrowestRange(out, ranges);
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

// Every string the collation contracts, read once: asking the collator takes milliseconds, more
// than the rest of a keystroke.
struct Collation {
    UCollator* coll = nullptr;
    std::vector<std::u16string> contractions;
};

Collation LoadCollation(const char* locale) {
    Collation c;
    UErrorCode st = U_ZERO_ERROR;
    c.coll = ucol_open(locale, &st);
    if (U_FAILURE(st)) return {};
    USet* set = uset_openEmpty();
    ucol_getContractionsAndExpansions(c.coll, set, nullptr, false, &st);
    const int32_t items = uset_getItemCount(set);
    for (int32_t i = 0; i < items && U_SUCCESS(st); ++i) {
        UChar32 lo, hi;
        UChar text[64];
        const int32_t len = uset_getItem(set, i, &lo, &hi, text, 64, &st);
        if (len > 0) c.contractions.emplace_back(text, text + len);
    }
    uset_close(set);
    if (U_FAILURE(st)) c.contractions.clear();
    return c;
}

const Collation& CollationOf(bool croatian) {
    if (croatian) {
        static const Collation hr = LoadCollation("hr");
        return hr;
    }
    static const Collation root = LoadCollation("");
    return root;
}

void AppendPoint(std::u16string& s, UChar32 c) {
    if (U_IS_BMP(c)) s += char16_t(c);
    else s += {char16_t(U16_LEAD(c)), char16_t(U16_TRAIL(c))};
}

UChar32 FirstOf(const std::u16string& s) {
    UChar32 c;
    int32_t at = 0;
    U16_NEXT(s.data(), at, int32_t(s.size()), c);
    return c;
}

// The collated range that holds every term starting with the letter `letter` in any case: from
// the smallest of its forms, and of the contractions they begin (Croatian "dž", "lj", "nj"), to
// past the largest of them followed by U+FFFF, which sorts after every other character.
std::optional<std::pair<std::string, std::string>> FindLetterRange(bool croatian, UChar32 letter) {
    const Collation& collation = CollationOf(croatian);
    const UCollator* coll = collation.coll;
    if (!coll || !u_isalpha(letter)) return std::nullopt;
    const UChar32 folded = u_foldCase(letter, U_FOLD_CASE_DEFAULT);
    std::vector<std::u16string> forms;
    UErrorCode st = U_ZERO_ERROR;
    USet* set = uset_openEmpty();
    uset_add(set, folded);
    uset_closeOver(set, USET_CASE_INSENSITIVE);
    const int32_t items = uset_getItemCount(set);
    for (int32_t i = 0; i < items && U_SUCCESS(st); ++i) {
        UChar32 lo, hi;
        UChar text[64];
        const int32_t len = uset_getItem(set, i, &lo, &hi, text, 64, &st);
        if (len > 0) { // a string
            std::u16string form(text, text + len);
            if (u_foldCase(FirstOf(form), U_FOLD_CASE_DEFAULT) == folded) forms.push_back(std::move(form));
        } else {
            for (UChar32 c = lo; c <= hi; ++c) {
                if (u_foldCase(c, U_FOLD_CASE_DEFAULT) != folded) continue;
                std::u16string one;
                AppendPoint(one, c);
                forms.push_back(one);
            }
        }
    }
    uset_close(set);
    for (const std::u16string& c : collation.contractions)
        if (u_foldCase(FirstOf(c), U_FOLD_CASE_DEFAULT) == folded) forms.push_back(c);
    if (U_FAILURE(st) || forms.empty()) return std::nullopt;
    auto less = [&](const std::u16string& a, const std::u16string& b) {
        return ucol_strcoll(coll, a.data(), int32_t(a.size()), b.data(), int32_t(b.size())) == UCOL_LESS;
    };
    const std::u16string low = *std::min_element(forms.begin(), forms.end(), less);
    std::u16string high = *std::max_element(forms.begin(), forms.end(), less);
    high += char16_t(0xFFFF);
    return std::pair{Utf8Of(low), Utf8Of(high)};
}

std::u16string Utf16Of(std::string_view utf8) {
    std::u16string out;
    for (int32_t i = 0, n = int32_t(utf8.size()); i < n;) {
        UChar32 c;
        U8_NEXT(utf8.data(), i, n, c);
        if (c < 0) return {};
        AppendPoint(out, c);
    }
    return out;
}

std::u16string FoldOf(const std::u16string& s) {
    std::u16string out;
    for (size_t i = 0; i < s.size();) {
        UChar32 c;
        U16_NEXT(s.data(), i, s.size(), c);
        AppendPoint(out, u_foldCase(c, U_FOLD_CASE_DEFAULT));
    }
    return out;
}

// The characters that fold to `folded`, itself among them.
std::vector<UChar32> CaseFormsOf(UChar32 folded) {
    std::vector<UChar32> forms;
    USet* set = uset_openEmpty();
    uset_add(set, folded);
    uset_closeOver(set, USET_CASE_INSENSITIVE);
    for (int32_t k = 0, n = uset_size(set); k < n; ++k) {
        const UChar32 form = uset_charAt(set, k);
        if (form >= 0 && u_foldCase(form, U_FOLD_CASE_DEFAULT) == folded) forms.push_back(form);
    }
    uset_close(set);
    return forms;
}

// Every spelling of folded letters in any case, one character for one; none when one of them
// is not a letter.
std::vector<std::u16string> SpellingsOf(const std::u16string& folded) {
    std::vector<std::u16string> spellings = {u""};
    for (size_t i = 0; i < folded.size();) {
        UChar32 c;
        U16_NEXT(folded.data(), i, folded.size(), c);
        if (!u_isalpha(c)) return {};
        std::vector<std::u16string> longer;
        for (const UChar32 form : CaseFormsOf(c)) {
            for (const std::u16string& s : spellings) {
                longer.push_back(s);
                AppendPoint(longer.back(), form);
            }
        }
        spellings = std::move(longer);
    }
    return spellings;
}

// A letter the collation writes with several characters (Croatian "lj", "nj", "dž"): the range of
// its spellings the collation contracts, and the ranges of those it does not ("lJ" sorts as "l"
// followed by "J", among the words of "l"), which lie apart from it.
struct LetterRanges {
    std::pair<std::string, std::string> contracted;
    std::vector<std::pair<std::string, std::string>> apart;
};

std::optional<LetterRanges> FindContractedLetterRanges(bool croatian, const std::string& prefix) {
    const Collation& collation = CollationOf(croatian);
    const std::u16string typed = Utf16Of(prefix);
    const int32_t points = u_countChar32(typed.data(), int32_t(typed.size()));
    if (!collation.coll || points < 2 || points > 3) return std::nullopt;
    const std::u16string folded = FoldOf(typed);
    const auto& all = collation.contractions;
    if (std::none_of(all.begin(), all.end(), [&](const std::u16string& c) { return FoldOf(c) == folded; }))
        return std::nullopt;
    const std::vector<std::u16string> spellings = SpellingsOf(folded);
    if (spellings.empty()) return std::nullopt;
    auto less = [&](const std::u16string& a, const std::u16string& b) {
        return ucol_strcoll(collation.coll, a.data(), int32_t(a.size()), b.data(), int32_t(b.size())) == UCOL_LESS;
    };
    // A term starting with a spelling lies from it to past it followed by U+FFFF, unless its end
    // begins a contraction with what follows: those contractions bound the range as well.
    auto range = [&](const std::vector<std::u16string>& group) {
        std::vector<std::u16string> bounds;
        for (const std::u16string& s : group) {
            bounds.push_back(s);
            for (size_t k = 1; k <= s.size(); ++k) {
                if (U16_IS_TRAIL(s[s.size() - k])) continue;
                const std::u16string_view tail = std::u16string_view(s).substr(s.size() - k);
                for (const std::u16string& c : all)
                    if (c.size() > k && c.starts_with(tail)) bounds.push_back(s.substr(0, s.size() - k) + c);
            }
        }
        std::u16string high = *std::max_element(bounds.begin(), bounds.end(), less);
        high += char16_t(0xFFFF);
        return std::pair{Utf8Of(*std::min_element(bounds.begin(), bounds.end(), less)), Utf8Of(high)};
    };
    std::vector<std::u16string> contracted;
    LetterRanges ranges;
    for (const std::u16string& s : spellings) {
        if (std::find(all.begin(), all.end(), s) != all.end()) contracted.push_back(s);
        else ranges.apart.push_back(range({s}));
    }
    if (contracted.empty()) return std::nullopt;
    ranges.contracted = range(contracted);
    return ranges;
}

std::optional<LetterRanges> ContractedLetterRanges(bool croatian, const std::string& prefix) {
    static std::mutex guard;
    static std::map<std::pair<bool, std::string>, std::optional<LetterRanges>> known;
    const std::lock_guard<std::mutex> lock(guard);
    auto it = known.find({croatian, prefix});
    if (it == known.end()) it = known.emplace(std::pair{croatian, prefix}, FindContractedLetterRanges(croatian, prefix)).first;
    return it->second;
}

// Once per letter is enough.
std::optional<std::pair<std::string, std::string>> LetterRange(bool croatian, UChar32 letter) {
    static std::mutex guard;
    static std::map<std::pair<bool, UChar32>, std::optional<std::pair<std::string, std::string>>> known;
    const std::lock_guard<std::mutex> lock(guard);
    auto it = known.find({croatian, letter});
    if (it == known.end()) it = known.emplace(std::pair{croatian, letter}, FindLetterRange(croatian, letter)).first;
    return it->second;
}

} // namespace

namespace {

// The words of a query outside its quoted texts, in lower case, with where each starts; a
// semicolon outside quotes counts as a word of its own. Plain scanning, as the texts a user
// types can be long.
struct Word {
    std::string text;
    size_t at, end;
};
std::vector<Word> WordsOf(std::string_view sql) {
    std::vector<Word> words;
    for (size_t i = 0; i < sql.size();) {
        const char c = sql[i];
        if (c == '\'' || c == '"') {
            const size_t close = c == '\'' ? ReadLiteral(sql, i, nullptr) : sql.find('"', i + 1);
            if (close == std::string_view::npos) break;
            i = c == '"' ? close + 1 : close;
        } else if (IsWordChar(c)) {
            size_t w = i;
            std::string text;
            while (w < sql.size() && IsWordChar(sql[w])) text += char(std::tolower(static_cast<unsigned char>(sql[w++])));
            words.push_back({std::move(text), i, w});
            i = w;
        } else {
            if (c == ';') words.push_back({";", i, i + 1});
            ++i;
        }
    }
    return words;
}

// The prefix conditions: a term, LIKE, and a quoted pattern whose only wildcard is its last "*".
struct Condition {
    std::string column, prefix;
    size_t at, end;
};
std::vector<Condition> PrefixConditions(const std::string& sql, const std::vector<Word>& words) {
    std::vector<Condition> found;
    for (size_t i = 0; i + 1 < words.size(); ++i) {
        const Word& w = words[i];
        if ((w.text != "engleski" && w.text != "hrvatski") || words[i + 1].text != "like") continue;
        if (w.at > 0 && (sql[w.at - 1] == '.' || sql[w.at - 1] == '+' || sql[w.at - 1] == '"')) continue;
        size_t q = words[i + 1].end;
        while (q < sql.size() && std::isspace(static_cast<unsigned char>(sql[q]))) ++q;
        std::string pattern;
        const size_t end = q < sql.size() && sql[q] == '\'' ? ReadLiteral(sql, q, &pattern) : std::string::npos;
        if (end == std::string::npos || pattern.empty() || pattern.back() != '*' ||
            pattern.find_first_of("*?#[") != pattern.size() - 1)
            continue;
        found.push_back({sql.substr(w.at, w.end - w.at), pattern.substr(0, pattern.size() - 1), w.at, end});
    }
    return found;
}

} // namespace

namespace {

// What plain names are made of.
const char* const kNameChars = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_";

// Reads the fixed words of a query one by one, skipping the spaces between them.
struct Cursor {
    std::string_view sql;
    size_t at = 0;
    void Skip() {
        while (at < sql.size() && std::isspace(static_cast<unsigned char>(sql[at]))) ++at;
    }
    bool Take(std::string_view word) { // a keyword or name, not the start of a longer one
        Skip();
        if (!EqualsNoCase(sql.substr(at, word.size()), word)) return false;
        const size_t end = at + word.size();
        if (IsWordChar(word.back()) && end < sql.size() && IsWordChar(sql[end])) return false;
        at = end;
        return true;
    }
    bool TakeTable() {
        Skip();
        if (at >= sql.size() || sql[at] != '"') return Take("Vokabis");
        if (!EqualsNoCase(sql.substr(at, 9), "\"Vokabis\"")) return false;
        at += 9;
        return true;
    }
    bool AtEnd() {
        Skip();
        return at == sql.size();
    }
};

// Nothing, or an ORDER BY of plain names: an order that does not change which rows there are.
bool OnlyAnOrder(std::string_view tail) {
    Cursor c{tail};
    if (c.AtEnd()) return true;
    if (!c.Take("order") || !c.Take("by")) return false;
    for (const Word& w : WordsOf(tail))
        if (w.text == "limit") return false;
    return tail.find_first_not_of(std::string(kNameChars) + "\" \t\r\n,", c.at) == std::string_view::npos;
}

// The term a query's own order ends it with, `ORDER BY term [ASC|DESC]` and nothing else; empty
// when its order is any other.
std::string OrderedTerm(const std::string& sql, const std::vector<Word>& words, size_t order) {
    const size_t n = words.size() - order;
    if ((n != 3 && n != 4) || (n == 4 && words.back().text != "asc" && words.back().text != "desc")) return {};
    const size_t from = words[order].at;
    if (sql.find_first_not_of(std::string(kNameChars) + " \t\r\n", from) != std::string::npos) return {};
    return words[order + 2].text;
}

} // namespace

std::string InTypedOrder(const std::string& sql, std::string* apart, std::string* counted) {
    // A query with an order, or with a clause an ORDER BY could not simply follow, keeps its own;
    // an order by the typed term alone is read from its collated index as the typed order is.
    const std::vector<Word> words = WordsOf(sql);
    std::string ordered;
    for (size_t i = 0; i < words.size(); ++i) {
        const std::string& w = words[i].text;
        const bool by = i + 1 < words.size() && words[i + 1].text == "by";
        if (w == "order" && by && !(ordered = OrderedTerm(sql, words, i)).empty()) break;
        if (((w == "order" || w == "group") && by) || w == "limit" || w == "union" || w == "intersect" || w == "except" ||
            w == ";")
            return sql;
    }
    const std::vector<Condition> found = PrefixConditions(sql, words);
    if (found.empty()) return sql;
    const Condition& typed = found.front();
    if (!ordered.empty() && !EqualsNoCase(ordered, typed.column)) return sql;
    std::string out = !ordered.empty() ? sql : sql + " ORDER BY " + typed.column;
    // One letter alone finds many rows, and sorting them by the collation costs more than the
    // rest of a keystroke: they are read from the collated index in its order instead, within the
    // range of the letter, the prefix condition still deciding which rows belong. Not when the
    // other term has a prefix of its own, which finds fewer rows.
    int32_t at = 0, length = int32_t(typed.prefix.size());
    UChar32 c = -1;
    if (length > 0) U8_NEXT(typed.prefix.data(), at, length, c);
    const bool otherPrefix = std::any_of(found.begin() + 1, found.end(), [](const Condition& k) { return !k.prefix.empty(); });
    if (c < 0 || otherPrefix) return out;
    const bool croatian = EqualsNoCase(typed.column, "Hrvatski");
    const std::string like = sql.substr(typed.at, typed.end - typed.at);
    auto within = [&](const std::pair<std::string, std::string>& r) {
        return typed.column + " >= " + Quoted(r.first) + " AND " + typed.column + " < " + Quoted(r.second);
    };
    std::optional<std::pair<std::string, std::string>> range;
    if (at == length) {
        range = LetterRange(croatian, c);
        if (range && counted) { // a term starts with the letter exactly when its first character folds to it
            std::string forms;
            for (const std::u16string& form : SpellingsOf(FoldOf(Utf16Of(typed.prefix))))
                forms += (forms.empty() ? "" : ", ") + Quoted(Utf8Of(form));
            *counted = sql.substr(0, typed.at) + "(" + within(*range) + " AND substr(" + typed.column + ", 1, 1) IN (" +
                       forms + "))" + sql.substr(typed.end);
        }
    } else if (apart) { // a letter of several characters, as many rows as one of one character
        const auto ranges = ContractedLetterRanges(croatian, typed.prefix);
        if (!ranges) return out;
        range = ranges->contracted;
        for (const auto& r : ranges->apart) *apart += (apart->empty() ? "(" : " OR ") + within(r);
        if (!apart->empty()) *apart += ") AND +" + like;
    }
    if (range) out = sql.substr(0, typed.at) + "(" + within(*range) + " AND +" + like + ")" + out.substr(typed.end);
    return out;
}

std::string CountSql(const std::string& sql) {
    // An order at the end, with no limit after it, does not change the count.
    std::string base = sql;
    const std::vector<Word> words = WordsOf(sql);
    for (size_t i = words.size(); i-- > 1;) {
        if (words[i - 1].text != "order" || words[i].text != "by") continue;
        if (OnlyAnOrder(std::string_view(sql).substr(words[i - 1].at))) base = sql.substr(0, words[i - 1].at);
        break;
    }
    // select KEY from TABLE [where (TERM IS NOT NULL)]
    std::vector<std::string> t;
    for (size_t i = 0; i < base.size() && t.size() < 10;) {
        while (i < base.size() && std::isspace(static_cast<unsigned char>(base[i]))) ++i;
        size_t e = i;
        while (e < base.size() && !std::isspace(static_cast<unsigned char>(base[e]))) ++e;
        if (e > i) t.push_back(base.substr(i, e - i));
        i = e;
    }
    auto table = [](std::string name) {
        if (name.size() > 1 && name.front() == '"' && name.back() == '"') name = name.substr(1, name.size() - 2);
        for (char c : name)
            if (!IsWordChar(c)) return std::string();
        return name;
    };
    if (t.size() >= 4 && EqualsNoCase(t[0], "select") && EqualsNoCase(t[2], "from") && !table(t[3]).empty()) {
        const std::string name = "\"" + table(t[3]) + "\"";
        if (t.size() == 4) return "SELECT count(*) FROM " + name;
        if (t.size() == 9 && EqualsNoCase(t[4], "where") && t[5].size() > 1 && t[5][0] == '(' &&
            !table(t[5].substr(1)).empty() && t[6] == "IS" && t[7] == "NOT" && t[8] == "NULL)")
            return "SELECT (SELECT count(*) FROM " + name + ") - (SELECT count(*) FROM " + name + " WHERE " + t[5].substr(1) +
                   " IS NULL)";
    }
    return "SELECT count(*) FROM (" + base + ")";
}

std::string StoredCountSql(const std::string& sql) {
    // select * from Vokabis [where TERM LIKE 'p*'] [order by ...], and nothing else.
    Cursor head{sql};
    if (!head.Take("select") || !head.Take("*") || !head.Take("from") || !head.TakeTable()) return {};
    const std::string every = "(SELECT Broj FROM VokabisBrojevi WHERE Polje = '' AND Znak = '')";
    const std::vector<Condition> found = PrefixConditions(sql, WordsOf(sql));
    if (found.empty()) return OnlyAnOrder(std::string_view(sql).substr(head.at)) ? "SELECT " + every : std::string();
    const Condition& c = found.front();
    if (!head.Take("where") || (head.Skip(), head.at != c.at) ||
        !OnlyAnOrder(std::string_view(sql).substr(c.end)))
        return {};
    const std::string field = EqualsNoCase(c.column, "Engleski") ? "Engleski" : "Hrvatski";
    if (c.prefix.empty()) return "SELECT " + every + " - (SELECT count(*) FROM Vokabis WHERE " + field + " IS NULL)";
    // One character: the terms that begin with any character folding as it does.
    int32_t at = 0;
    const int32_t length = int32_t(c.prefix.size());
    UChar32 first;
    U8_NEXT(c.prefix.data(), at, length, first);
    if (first < 0 || at != length) return {};
    std::string forms;
    for (const UChar32 form : CaseFormsOf(u_foldCase(first, U_FOLD_CASE_DEFAULT))) {
        std::u16string text;
        AppendPoint(text, form);
        forms += (forms.empty() ? "" : ", ") + Quoted(Utf8Of(text));
    }
    return "SELECT coalesce(sum(Broj), 0) FROM VokabisBrojevi WHERE Polje = '" + field + "' AND Znak IN (" + forms + ")";
}

} // namespace db
