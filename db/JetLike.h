#pragma once
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace db {

// Raised for a pattern the engine cannot read (an unclosed "[", say).
struct PatternError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// A Jet LIKE pattern read once, to be matched against many texts (a statement's rows).
// "*" any run, "?" one character, "#" one digit, "[abc]", "[a-z]", "[!a]"; case-insensitive
// by Unicode case folding, so "Č" matches "č". Both texts are UTF-8.
// Matching costs one pass over the text whatever the pattern holds: the pattern's positions are
// followed all at once as a bit set, never by backtracking. Not for use from two threads at once.
class LikePattern {
public:
    explicit LikePattern(std::string_view pattern); // throws PatternError
    bool Matches(std::string_view text) const;

private:
    struct Item {
        enum Kind { Literal, Any, Digit, Set } kind;
        char32_t ch = 0;
        bool negated = false;
        std::vector<std::pair<char32_t, char32_t>> ranges{};
        bool Accepts(char32_t c) const;
    };
    const uint64_t* Mask(char32_t c) const;

    std::vector<Item> items_;    // the one-character items, without the runs
    std::vector<uint64_t> runs_; // bit i: a "*" stands before item i (bit size(): at the end)
    size_t words_ = 0;
    // Per folded character, the items it satisfies; filled as characters turn up.
    mutable std::vector<uint64_t> masks_;
    mutable std::unordered_map<char32_t, size_t> maskAt_;
    mutable std::vector<uint64_t> state_, next_;
};

bool JetLike(std::string_view pattern, std::string_view text);

// The case-folded form used by the matcher and by the prefix index.
std::u32string Fold(std::string_view utf8);
// Code points back to UTF-8.
std::string Utf8(const std::u32string& text);

} // namespace db
