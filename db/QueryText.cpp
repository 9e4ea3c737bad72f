#include "db/QueryText.h"

#include "db/JetTokens.h"
#include "db/Sqlite.h"

#include <optional>
#include <string_view>

namespace db {
namespace {

// A name, plain or in double quotes, made of letters, digits and "_" alone.
std::optional<std::string> NameOf(const JetToken& t) {
    if (t.kind == JetToken::kWord || t.kind == JetToken::kNumber) return std::string(t.text);
    if (t.kind != JetToken::kName || t.text.size() < 3) return std::nullopt;
    const std::string_view name = t.text.substr(1, t.text.size() - 2);
    for (char c : name)
        if (!IsJetWordChar(c)) return std::nullopt;
    return std::string(name);
}

// The saved query a text reads whole, `select * from NAME` and nothing after it.
std::optional<std::string> SavedQueryName(const std::string& sql) {
    const size_t from = SelectAllFrom(sql);
    if (from == std::string::npos) return std::nullopt;
    JetLexer lexer(std::string_view(sql).substr(from));
    if (lexer.Next().kind != JetToken::kSpace) return std::nullopt;
    std::optional<std::string> name = NameOf(lexer.Next());
    if (lexer.NextSolid().kind != JetToken::kEnd) return std::nullopt;
    return name;
}

// Where the select of `create view NAME as select<blank>...` starts, or npos.
size_t ViewSelect(std::string_view text) {
    JetLexer lexer(text);
    auto blank = [&] { return lexer.Next().kind == JetToken::kSpace; };
    if (!lexer.NextSolid().Is("create") || !blank() || !lexer.Next().Is("view") || !blank() || !NameOf(lexer.Next()) ||
        !blank() || !lexer.Next().Is("as") || !blank())
        return std::string_view::npos;
    const JetToken select = lexer.Next();
    return select.Is("select") && blank() ? select.at : std::string_view::npos;
}

} // namespace

size_t SelectAllFrom(const std::string& s) {
    JetLexer lexer(s);
    if (!lexer.NextSolid().Is("select") || lexer.Next().kind != JetToken::kSpace || !lexer.Next().IsSymbol('*') ||
        lexer.Next().kind != JetToken::kSpace)
        return std::string::npos;
    const JetToken from = lexer.Next();
    return from.Is("from") ? from.end() : std::string::npos;
}

std::string ViewBody(sqlite3* db, const std::string& sql) {
    constexpr size_t kLongest = 4096;
    if (sql.size() > 200) return sql;
    const std::optional<std::string> name = SavedQueryName(sql);
    if (!name) return sql;
    Statement s(db, "SELECT sql FROM sqlite_master WHERE type = 'view' AND name = ? COLLATE NOCASE");
    s.Bind(1, *name);
    if (!s.Step()) return sql;
    const std::string text = CStr(s.Column(0));
    // A comment anywhere, even quoted, and the text runs through the view itself.
    if (text.size() > kLongest || text.find("--") != std::string::npos || text.find("/*") != std::string::npos) return sql;
    const size_t body = ViewSelect(text);
    return body == std::string::npos ? sql : text.substr(body);
}

} // namespace db
