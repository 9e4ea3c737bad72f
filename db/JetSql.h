#pragma once
#include <string>
#include <string_view>

namespace db {

// The folded form of a term as the prefix indexes store it: UTF-8 of the case-folded text.
std::string FoldKey(std::string_view utf8);

// Jet names and keywords are compared without regard to ASCII letter case.
bool EqualsNoCase(std::string_view a, std::string_view b);

// Turns every prefix condition `Engleski LIKE 'abc*'` (or Hrvatski) into a range on the folded
// term, which the prefix index answers without reading the rows. The meaning is exactly the
// same: folding is one code point for one, so a text matches the prefix exactly when its folded
// form starts with the folded prefix (and Null is in no range). When both terms have a prefix,
// the shorter one is marked with a unary plus, so that only the narrower prefix is looked up in
// its index. `LIKE '*'` alone, which matches every term that is not Null, becomes
// `IS NOT NULL`. Patterns with other wildcards, NOT LIKE, and anything inside quotes are passed
// through untouched.
std::string AddPrefixRanges(std::string_view sql);

// A list filtered by term prefixes and not ordered by itself comes in the alphabetical order of
// the first term with a condition (`Engleski LIKE 'abc*'` or `LIKE '*'`), the one being typed:
// an ORDER BY that term, by its column's collation, is added to the Jet text.
// With `apart`, a letter the collation writes with several characters ("lj") is read from the
// collated index too, in the range of its spellings the collation contracts; *apart is then the
// condition that finds the rows spelled otherwise ("lJ..."), which that range leaves out: when
// there are any, the text without `apart` is the one to run.
// With `counted`, a one-letter prefix also gives *counted: the same rows, found within the letter's
// collated range by their first character. Counting them there reads the collated index, whose
// entries are smaller and which the list's other reads (and the count of a whole list) keep in
// memory more often, and calls no function of ours for each row.
std::string InTypedOrder(const std::string& sql, std::string* apart = nullptr, std::string* counted = nullptr);

// A query that counts the rows of `sql` (a query of row keys) without reading them one by one
// where it can: an order does not change a count, and a whole table, or its rows whose term is
// not Null, are counted from the b-tree and from the index of Nulls alone.
std::string CountSql(const std::string& sql);

// The count of a list from the stored counts (db/Counts.h), when they answer it: every pair, the
// pairs whose term is not Null (`LIKE '*'`), or those whose term begins with one given character
// in any case. Empty for any other query.
std::string StoredCountSql(const std::string& sql);

} // namespace db
