#pragma once
#include <stdexcept>
#include <string>
#include <string_view>

namespace db {

// Raised for a pattern the engine cannot read (an unclosed "[", say).
struct PatternError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Jet LIKE: "*" any run, "?" one character, "#" one digit, "[abc]", "[a-z]", "[!a]".
// Case-insensitive by Unicode case folding, so "Č" matches "č". Both texts are UTF-8.
bool JetLike(std::string_view pattern, std::string_view text);

// The case-folded form used by the matcher and by the prefix index.
std::u32string Fold(std::string_view utf8);

} // namespace db
