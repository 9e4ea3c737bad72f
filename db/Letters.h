#pragma once
// Where the words beginning with a letter lie in each term's collation (root rules for Engleski,
// Croatian for Hrvatski), and the spellings of a letter in any case. Each is worked out once per
// collation and letter: asking the collator takes milliseconds, more than the rest of a keystroke.
#include <optional>
#include <string>
#include <utility>
#include <vector>
#include <unicode/umachine.h>

namespace db {

// From the lowest bound to past the highest, in UTF-8.
using TextRange = std::pair<std::string, std::string>;

// The collated range that holds every term starting with `letter` in any case: from the smallest
// of its forms, and of the contractions they begin (Croatian "dž", "lj", "nj"), to past the largest
// of them followed by U+FFFF, which sorts after every other character.
std::optional<TextRange> LetterRange(bool croatian, UChar32 letter);

// A letter the collation writes with several characters (Croatian "lj", "nj", "dž"): the range of
// its spellings the collation contracts, and the ranges of those it does not ("lJ" sorts as "l"
// followed by "J", among the words of "l"), which lie apart from it.
struct LetterRanges {
    TextRange contracted;
    std::vector<TextRange> apart;
};
std::optional<LetterRanges> ContractedLetterRanges(bool croatian, const std::string& prefix);

// Every spelling of a text's letters in any case, one character for one; none when one of them is
// not a letter.
std::vector<std::string> Spellings(const std::string& utf8);

// The characters that fold as `c` does, itself among them.
std::vector<std::string> CaseForms(UChar32 c);

} // namespace db
