#pragma once
// The one reading of Jet SQL text that every rewrite and recogniser works on. The text may come
// from the file, so reading it is one pass, never recursive, and each token is found in time
// proportional to its own length.
#include <string>
#include <string_view>
#include <vector>

namespace db {

struct JetToken {
    enum Kind {
        kSpace,    // a run of ASCII white space
        kWord,     // a run of ASCII letters, digits and "_" that starts with no digit
        kNumber,   // the same starting with a digit; its point and fraction are tokens of their own
        kString,   // '...' with '' inside
        kName,     // "..." with "" inside
        kUnclosed, // a quote never closed: the rest of the text
        kSymbol,   // an operator (<> <= >= != ||) or any other one character
        kEnd,      // past the last token: what a lexer gives once the text is read
    };
    Kind kind;
    size_t at;             // its first byte in the text
    std::string_view text; // its bytes, quotes and all

    size_t end() const { return at + text.size(); }
    bool Solid() const { return kind != kSpace && kind != kEnd; }
    // A keyword or plain name, without regard to ASCII letter case.
    bool Is(std::string_view word) const;
    bool IsSymbol(char c) const { return kind == kSymbol && text.size() == 1 && text[0] == c; }
    // A string's or quoted name's text, its doubled quotes made single.
    std::string Unquoted() const;
};

// Hands out the tokens of a text one at a time, for a recogniser that reads only its start.
// "[", "]", "--" and "/*" are plain symbols: the words between them are read as any others, as the
// rewrites have always read them.
class JetLexer {
public:
    explicit JetLexer(std::string_view text) : text_(text) {}
    bool AtEnd() const { return at_ >= text_.size(); }
    JetToken Next();
    // The next token that is not white space (kEnd when there is none).
    JetToken NextSolid();

private:
    std::string_view text_;
    size_t at_ = 0;
};

std::vector<JetToken> JetTokens(std::string_view text);

// The index of the first token at or after i that is not white space, or tokens.size().
size_t NextSolid(const std::vector<JetToken>& tokens, size_t i);

bool IsJetSpace(char c);
bool IsJetWordChar(char c);

} // namespace db
