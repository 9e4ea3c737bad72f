#pragma once
#include <string>
#include <string_view>

namespace db {

// The folded form of a term as the prefix indexes store it: UTF-8 of the case-folded text.
std::string FoldKey(std::string_view utf8);

// Jet names and keywords are compared without regard to ASCII letter case.
bool EqualsNoCase(std::string_view a, std::string_view b);

// Gives every prefix condition `Engleski LIKE 'abc*'` (or Hrvatski) a range on the folded
// term that the prefix index can answer. The condition keeps its meaning exactly: it becomes
// `(Engleski LIKE 'abc*' AND vokabis_fold(Engleski) >= X'..' AND vokabis_fold(Engleski) < X'..')`.
// Anything else, quoted text included, is passed through untouched.
std::string AddPrefixRanges(std::string_view sql);

} // namespace db
