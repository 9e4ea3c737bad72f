#include "db/JetTokens.h"

#include "db/JetSql.h"

namespace db {

// ASCII only, whatever the locale: a byte of a UTF-8 character is never a letter or a blank.
bool IsJetSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

bool IsJetWordChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

bool JetToken::Is(std::string_view word) const { return kind == kWord && EqualsNoCase(text, word); }

std::string JetToken::Unquoted() const {
    std::string out;
    if (text.size() < 2) return out;
    const char quote = text[0];
    for (size_t i = 1; i + 1 < text.size(); ++i) {
        out += text[i];
        if (text[i] == quote) ++i; // the second of a doubled pair
    }
    return out;
}

namespace {

// The end of the quoted piece starting at text[at], or npos when it is never closed.
size_t QuoteEnd(std::string_view text, size_t at) {
    const char quote = text[at];
    for (size_t i = at + 1; i < text.size(); ++i) {
        if (text[i] != quote) continue;
        if (i + 1 < text.size() && text[i + 1] == quote) ++i;
        else return i + 1;
    }
    return std::string_view::npos;
}

bool IsOperator(std::string_view two) {
    return two == "<>" || two == "<=" || two == ">=" || two == "!=" || two == "||";
}

} // namespace

JetToken JetLexer::Next() {
    const size_t at = at_;
    if (at >= text_.size()) return {JetToken::kEnd, at, {}};
    const char c = text_[at];
    JetToken::Kind kind = JetToken::kSymbol;
    size_t end = at + 1;
    if (c == '\'' || c == '"') {
        end = QuoteEnd(text_, at);
        if (end == std::string_view::npos) {
            kind = JetToken::kUnclosed;
            end = text_.size();
        } else {
            kind = c == '\'' ? JetToken::kString : JetToken::kName;
        }
    } else if (IsJetSpace(c)) {
        kind = JetToken::kSpace;
        while (end < text_.size() && IsJetSpace(text_[end])) ++end;
    } else if (IsJetWordChar(c)) {
        kind = c >= '0' && c <= '9' ? JetToken::kNumber : JetToken::kWord;
        while (end < text_.size() && IsJetWordChar(text_[end])) ++end;
    } else if (IsOperator(text_.substr(at, 2))) {
        end = at + 2;
    } else if (static_cast<unsigned char>(c) >= 0xC0) { // a UTF-8 character stays whole
        while (end < text_.size() && (static_cast<unsigned char>(text_[end]) & 0xC0) == 0x80 && end - at < 4) ++end;
    }
    at_ = end;
    return {kind, at, text_.substr(at, end - at)};
}

JetToken JetLexer::NextSolid() {
    JetToken t = Next();
    return t.kind == JetToken::kSpace ? Next() : t;
}

std::vector<JetToken> JetTokens(std::string_view text) {
    std::vector<JetToken> tokens;
    for (JetLexer lexer(text); !lexer.AtEnd();) tokens.push_back(lexer.Next());
    return tokens;
}

size_t NextSolid(const std::vector<JetToken>& tokens, size_t i) {
    while (i < tokens.size() && !tokens[i].Solid()) ++i;
    return i;
}

} // namespace db
