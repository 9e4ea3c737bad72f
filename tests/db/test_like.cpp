#include "common/TempFiles.h"

#include "db/JetLike.h"

#include <gtest/gtest.h>

using db::JetLike;

// Wildcards, sets, Croatian case folding, patterns longer than one machine word of positions,
// and characters of several bytes.
TEST(JetLike, MatchesAsTheDictionaryPatternsMean) {
    const std::string a70(70, 'a'), a130(130, 'a'), q70(70, '?');
    std::string stars;
    for (int i = 0; i < 100; ++i) stars += "*a";
    const struct {
        std::string pattern, text;
        bool match;
    } cases[] = {
        {"ab*", "abacus", true}, {"ab*", "cab", false}, {"*", "", true}, {"?at", "cat", true}, {"?at", "at", false},
        {"a#c", "a7c", true}, {"a#c", "abc", false}, {"[a-c]x", "bx", true}, {"[!a]x", "ax", false}, {"[!a]x", "zx", true},
        {"o'clock*", "o'clock tower", true}, {"*a*b*c", "xxaxxbxxc", true}, {"*a*b*c", "xxaxxbxxcx", false},
        {"Č*", "čaša", true}, {"đa*", "ĐAK", true}, {"[š-ž]*", "Žaba", true}, {"c*", "čaša", false},
        {q70, a70, true}, {q70, a70.substr(1), false}, {q70 + "*", a130, true},
        {a70.substr(6) + "b" + std::string(63, '?'), a70.substr(6) + "b" + a70.substr(7), true},
        {a70.substr(6) + "b" + std::string(63, '?'), a70.substr(6) + "c" + a70.substr(7), false},
        {"*" + a130.substr(1) + "b", a130 + "b", true}, {"*" + a130.substr(1) + "b", a130 + "c", false},
        {stars, std::string(100, 'a'), true}, {stars, "x" + std::string(99, 'a') + "x", false},
        {stars + "*b", std::string(200, 'a') + "b", true},
        {"??", "č", false}, {"?", "č", true}, {"#[!a]*", "5Ž", true}, // one character of two bytes
        {"?x", "\xFFx", true}, // an invalid byte is one character
    };
    for (const auto& c : cases) EXPECT_EQ(JetLike(c.pattern, c.text), c.match) << c.pattern << " / " << c.text;
    EXPECT_THROW(JetLike("[ab*", "a"), db::PatternError);
    EXPECT_THROW(JetLike("[z-a]", "b"), db::PatternError);
    EXPECT_EQ(db::Utf8(U"a\xD800" U"b"), "a\xEF\xBF\xBD" "b"); // no character is dropped, not even a lone surrogate
}

// One compiled pattern answers many texts, and the answers do not depend on what came before.
TEST(JetLike, CompiledPatternIsReusable) {
    const db::LikePattern p("*Č?[a-ž]#*");
    for (int round = 0; round < 2; ++round)
        for (auto [text, match] : {std::pair{"xčxž1", true}, {"čž1", false}, {"ČAB9 end", true}, {"", false}})
            EXPECT_EQ(p.Matches(text), match) << text;
}

// The engine keeps a compiled pattern for a statement; a pattern that changes from row to row
// must still be read afresh for each.
TEST(JetLike, PatternFromTheRowIsNotReusedForTheNext) {
    TempDb t({{"abacus", "ab*"}, {"dog", "d?g"}, {"cat", "ab*"}, {"Abbey", "[!x]*"}});
    auto d = t.Open();
    EXPECT_EQ(d.Count("Select * From Vokabis where Engleski LIKE Hrvatski"), 3);
    EXPECT_EQ(d.Count("Select * From Vokabis where Engleski LIKE substr(Engleski, 1, 2) || '*'"), 4);
}
