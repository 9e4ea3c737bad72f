#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace db {

// The folded form of a term (of its first maxChars characters) as the prefix indexes store it:
// UTF-8 of the case-folded text.
std::string FoldKey(std::string_view utf8, size_t maxChars = SIZE_MAX);

// Jet names and keywords are compared without regard to ASCII letter case.
bool EqualsNoCase(std::string_view a, std::string_view b);

// Turns every prefix condition `Engleski LIKE 'abc*'` (or Hrvatski) into a lookup in the index
// of the folded first letters: `vokabis_initial(Engleski, 2) = X'6162'`, plus the LIKE itself for
// a prefix longer than two letters. The meaning is exactly the same: folding is one code point
// for one, so a text matches the prefix exactly when its folded form starts with the folded
// prefix (and Null has no first letters). When both terms have a prefix, the other one is
// marked with a unary plus, so that only the narrower prefix is looked up in its index.
// `LIKE '*'` alone, which matches every term that is not Null, becomes `IS NOT NULL`. A plain
// SELECT with a prefix condition and no ORDER BY is ordered by the column of its first prefix.
// Patterns with other wildcards, NOT LIKE, and anything inside quotes are passed through
// untouched.
std::string AddPrefixRanges(std::string_view sql);

} // namespace db
