#include "db/JetSql.h"

#include "db/JetLike.h"
#include "db/JetTokens.h"
#include "db/Letters.h"

#include <algorithm>
#include <cctype>
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

using Tokens = std::vector<JetToken>;

std::string Hex(const std::string& bytes) {
    static const char* digits = "0123456789ABCDEF";
    std::string out = "X'";
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out + "'";
}

std::string Quoted(const std::string& text) {
    std::string out = "'";
    for (char c : text) out += c == '\'' ? std::string("''") : std::string(1, c);
    return out + "'";
}

// A term's name standing alone: after a dot it belongs to a table or an alias.
bool IsTerm(std::string_view sql, const JetToken& t) {
    return (t.Is("Engleski") || t.Is("Hrvatski")) && (t.at == 0 || sql[t.at - 1] != '.');
}

// The index of the literal of `Engleski LIKE 'pattern'` (or Hrvatski) that tokens[at] starts, or 0.
size_t PrefixLiteral(std::string_view sql, const Tokens& tokens, size_t at) {
    if (!IsTerm(sql, tokens[at])) return 0;
    size_t k = at + 1;
    auto skipSpace = [&] { if (k < tokens.size() && tokens[k].kind == JetToken::kSpace) ++k; };
    skipSpace();
    if (k >= tokens.size() || !tokens[k].Is("LIKE")) return 0;
    ++k;
    skipSpace();
    return k < tokens.size() && tokens[k].kind == JetToken::kString ? k : 0;
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
    // Built again in one pass: a text with many conditions must not cost one copy of it each.
    std::vector<size_t> plus;
    for (size_t k = 0; k < ranges.size(); ++k) {
        if (k == best) continue;
        plus.push_back(ranges[k].at + 1);
        plus.push_back(out.find(" AND vokabis_fold(", ranges[k].at) + 5);
    }
    std::sort(plus.begin(), plus.end());
    std::string marked;
    marked.reserve(out.size() + plus.size());
    size_t from = 0;
    for (const size_t at : plus) {
        marked.append(out, from, at - from).push_back('+');
        from = at;
    }
    out = marked.append(out, from, std::string::npos);
}

} // namespace

std::string AddPrefixRanges(std::string_view sql) {
    const Tokens tokens = JetTokens(sql);
    std::string out;
    std::vector<PrefixRange> ranges;
    for (size_t t = 0; t < tokens.size(); ++t) {
        const size_t last = PrefixLiteral(sql, tokens, t);
        if (!last) {
            out.append(tokens[t].text);
            continue;
        }
        const std::string col(tokens[t].text);
        const std::string pattern = tokens[last].Unquoted();
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

// The words of a query outside its quoted pieces, a semicolon counting as one: the indexes of its
// word, number and ";" tokens.
std::vector<size_t> WordsOf(const Tokens& tokens) {
    std::vector<size_t> words;
    for (size_t i = 0; i < tokens.size(); ++i) {
        const JetToken::Kind k = tokens[i].kind;
        if (k == JetToken::kWord || k == JetToken::kNumber || tokens[i].IsSymbol(';')) words.push_back(i);
    }
    return words;
}

// The prefix conditions: a term, LIKE, and a quoted pattern whose only wildcard is its last "*".
struct Condition {
    std::string column, prefix;
    size_t at, end;  // the condition's bytes
    size_t literal; // the pattern's token
};
std::vector<Condition> PrefixConditions(std::string_view sql, const Tokens& tokens, const std::vector<size_t>& words) {
    std::vector<Condition> found;
    for (size_t i = 0; i + 1 < words.size(); ++i) {
        const JetToken& w = tokens[words[i]];
        if ((!w.Is("engleski") && !w.Is("hrvatski")) || !tokens[words[i + 1]].Is("like")) continue;
        if (w.at > 0 && (sql[w.at - 1] == '.' || sql[w.at - 1] == '+' || sql[w.at - 1] == '"')) continue;
        size_t k = words[i + 1] + 1;
        if (k < tokens.size() && tokens[k].kind == JetToken::kSpace) ++k;
        if (k >= tokens.size() || tokens[k].kind != JetToken::kString) continue;
        const std::string pattern = tokens[k].Unquoted();
        if (pattern.empty() || pattern.back() != '*' || pattern.find_first_of("*?#[") != pattern.size() - 1) continue;
        found.push_back({std::string(w.text), pattern.substr(0, pattern.size() - 1), w.at, tokens[k].end(), k});
    }
    return found;
}

// What plain names are made of.
const std::string kNameChars = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_";

// Nothing from tokens[from] on, or an ORDER BY of plain names: an order that does not change
// which rows there are.
bool OnlyAnOrder(std::string_view sql, const Tokens& tokens, size_t from) {
    size_t k = NextSolid(tokens, from);
    if (k == tokens.size()) return true;
    if (!tokens[k].Is("order") || (k = NextSolid(tokens, k + 1)) == tokens.size() || !tokens[k].Is("by")) return false;
    for (size_t i = from; i < tokens.size(); ++i)
        if (tokens[i].Is("limit")) return false;
    return sql.find_first_not_of(kNameChars + "\" \t\r\n,", tokens[k].end()) == std::string_view::npos;
}

// The term a query's own order ends it with, `ORDER BY term [ASC|DESC]` and nothing else; empty
// when its order is any other.
std::string_view OrderedTerm(std::string_view sql, const Tokens& tokens, const std::vector<size_t>& words, size_t order) {
    const size_t n = words.size() - order;
    const JetToken& last = tokens[words.back()];
    if ((n != 3 && n != 4) || (n == 4 && !last.Is("asc") && !last.Is("desc"))) return {};
    if (sql.find_first_not_of(kNameChars + " \t\r\n", tokens[words[order]].at) != std::string_view::npos) return {};
    return tokens[words[order + 2]].text;
}

// Whether an ORDER BY may follow the query: not after an order of its own, nor after a clause it
// could not simply follow; an order by one term alone may stay, and *ordered is then that term.
bool TakesAnOrder(std::string_view sql, const Tokens& tokens, const std::vector<size_t>& words, std::string_view* ordered) {
    for (size_t i = 0; i < words.size(); ++i) {
        const JetToken& w = tokens[words[i]];
        const bool by = i + 1 < words.size() && tokens[words[i + 1]].Is("by");
        if (w.Is("order") && by && !(*ordered = OrderedTerm(sql, tokens, words, i)).empty()) return true;
        if (((w.Is("order") || w.Is("group")) && by) || w.Is("limit") || w.Is("union") || w.Is("intersect") ||
            w.Is("except") || w.IsSymbol(';'))
            return false;
    }
    return true;
}

// One letter alone finds many rows, and sorting them by the collation costs more than the rest of
// a keystroke: they are read from the collated index in its order instead, within the range of the
// letter, the prefix condition still deciding which rows belong.
std::string InLetterRange(const std::string& sql, const Condition& typed, std::string out, std::string* apart,
                          std::string* counted) {
    int32_t at = 0, length = int32_t(typed.prefix.size());
    UChar32 c = -1;
    if (length > 0) U8_NEXT(typed.prefix.data(), at, length, c);
    if (c < 0) return out;
    const bool croatian = EqualsNoCase(typed.column, "Hrvatski");
    const std::string like = sql.substr(typed.at, typed.end - typed.at);
    auto within = [&](const TextRange& r) {
        return typed.column + " >= " + Quoted(r.first) + " AND " + typed.column + " < " + Quoted(r.second);
    };
    std::optional<TextRange> range;
    if (at == length) {
        range = LetterRange(croatian, c);
        if (range && counted) { // a term starts with the letter exactly when its first character folds to it
            std::string forms;
            for (const std::string& form : Spellings(typed.prefix)) forms += (forms.empty() ? "" : ", ") + Quoted(form);
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

} // namespace

std::string InTypedOrder(const std::string& sql, std::string* apart, std::string* counted) {
    // A query with an order, or with a clause an ORDER BY could not simply follow, keeps its own;
    // an order by the typed term alone is read from its collated index as the typed order is.
    const Tokens tokens = JetTokens(sql);
    const std::vector<size_t> words = WordsOf(tokens);
    std::string_view ordered;
    if (!TakesAnOrder(sql, tokens, words, &ordered)) return sql;
    const std::vector<Condition> found = PrefixConditions(sql, tokens, words);
    if (found.empty()) return sql;
    const Condition& typed = found.front();
    if (!ordered.empty() && !EqualsNoCase(ordered, typed.column)) return sql;
    std::string out = !ordered.empty() ? sql : sql + " ORDER BY " + typed.column;
    // Not when the other term has a prefix of its own, which finds fewer rows.
    if (std::any_of(found.begin() + 1, found.end(), [](const Condition& k) { return !k.prefix.empty(); })) return out;
    return InLetterRange(sql, typed, std::move(out), apart, counted);
}

namespace {

// The first pieces of a text between blanks, quotes and all: the shapes a count knows are told by
// them alone.
std::vector<std::string> Pieces(const std::string& text, size_t most) {
    std::vector<std::string> pieces;
    for (size_t i = 0; i < text.size() && pieces.size() < most;) {
        while (i < text.size() && IsJetSpace(text[i])) ++i;
        size_t e = i;
        while (e < text.size() && !IsJetSpace(text[e])) ++e;
        if (e > i) pieces.push_back(text.substr(i, e - i));
        i = e;
    }
    return pieces;
}

} // namespace

std::string CountSql(const std::string& sql) {
    // An order at the end, with no limit after it, does not change the count.
    std::string base = sql;
    const Tokens tokens = JetTokens(sql);
    const std::vector<size_t> words = WordsOf(tokens);
    for (size_t i = words.size(); i-- > 1;) {
        if (!tokens[words[i - 1]].Is("order") || !tokens[words[i]].Is("by")) continue;
        if (OnlyAnOrder(sql, tokens, words[i - 1])) base = sql.substr(0, tokens[words[i - 1]].at);
        break;
    }
    // select KEY from TABLE [where (TERM IS NOT NULL)]
    const std::vector<std::string> t = Pieces(base, 10);
    auto table = [](std::string name) {
        if (name.size() > 1 && name.front() == '"' && name.back() == '"') name = name.substr(1, name.size() - 2);
        for (char c : name)
            if (!IsJetWordChar(c)) return std::string();
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

namespace {

// The index of the token after `select * from Vokabis` (the table plain or quoted, in any case),
// or 0 when the query starts otherwise.
size_t AfterAllOfVokabis(const Tokens& tokens) {
    const JetToken* t[4];
    size_t k = 0;
    for (const JetToken*& p : t) {
        if ((k = NextSolid(tokens, k)) == tokens.size()) return 0;
        p = &tokens[k++];
    }
    const bool table = t[3]->Is("Vokabis") || (t[3]->kind == JetToken::kName && EqualsNoCase(t[3]->text, "\"Vokabis\""));
    return t[0]->Is("select") && t[1]->IsSymbol('*') && t[2]->Is("from") && table ? k : 0;
}

} // namespace

std::string StoredCountSql(const std::string& sql) {
    // select * from Vokabis [where TERM LIKE 'p*'] [order by ...], and nothing else.
    const Tokens tokens = JetTokens(sql);
    const size_t head = AfterAllOfVokabis(tokens);
    if (!head) return {};
    const std::string every = "(SELECT Broj FROM VokabisBrojevi WHERE Polje = '' AND Znak = '')";
    const std::vector<Condition> found = PrefixConditions(sql, tokens, WordsOf(tokens));
    if (found.empty()) return OnlyAnOrder(sql, tokens, head) ? "SELECT " + every : std::string();
    const Condition& c = found.front();
    const size_t where = NextSolid(tokens, head), term = NextSolid(tokens, where + 1);
    if (where == tokens.size() || !tokens[where].Is("where") || term == tokens.size() || tokens[term].at != c.at ||
        !OnlyAnOrder(sql, tokens, c.literal + 1))
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
    for (const std::string& form : CaseForms(first)) forms += (forms.empty() ? "" : ", ") + Quoted(form);
    return "SELECT coalesce(sum(Broj), 0) FROM VokabisBrojevi WHERE Polje = '" + field + "' AND Znak IN (" + forms + ")";
}

} // namespace db
