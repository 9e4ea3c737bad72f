#pragma once
// Jet texts made of the pieces the rewrites look at, at random: conditions, orders, clauses they
// must leave alone, quotes doubled and unclosed, brackets, comments, letters of several bytes and
// texts cut anywhere.
#include <random>
#include <string>

namespace testing_jet {

inline std::string RandomJet(std::mt19937& rng) {
    static const char* const kPieces[] = {
        "Select * from Vokabis where ", "select Id From \"Vokabis\" WHERE ", "SELECT * FROM vokabis", "select *from Vokabis ",
        "Engleski LIKE 'a*'", "Hrvatski like 'Lj*'", "hrvatski Like 'dž*'", "Engleski LIKE '*'", "Engleski LIKE 'ab*'",
        "Hrvatski LIKE 'č*'", "Engleski LIKE 'it''s*'", "Engleski LIKE 'a?*'", "Engleski LIKE '[a]*'", "Hrvatski LIKE 'nJ*'",
        "Engleski LIKE 'ǅ*'", "Hrvatski LIKE 'ß*'", "Engleski LIKE 'İ*'", "Hrvatski LIKE '\xC3*'", "(Engleski IS NOT NULL)",
        "Order By Engleski", "order by Hrvatski Desc", " asc", "ORDER BY Id, \"Engleski\"", "group by", "limit 5", "union",
        "intersect", "except", ";", "and", "And", "or", "not", "Engleski", "Hrvatski", "LIKE", "'", "''", "'x y'", "\"",
        "\"a b\"", "[", "]", "[Engleski]", "(", ")", ".", "v.", "+", ",", "*", "--", "/*", "*/", "\n", "\t", "1", "1.5",
        "<>", ">=", "=", "create view v as select", "x", "Id"};
    // The raw numbers alone, which every standard library gives alike (its distributions differ).
    std::string text;
    for (size_t n = 1 + rng() % 12; n-- > 0;) text += std::string(rng() % 4 == 0 ? 0 : 1, ' ') + kPieces[rng() % std::size(kPieces)];
    if (rng() % 8 == 0) text.resize(rng() % (text.size() + 1));
    return text;
}

} // namespace testing_jet
