#include "TempDb.h"

#include "db/JetLike.h"

#include <gtest/gtest.h>

using db::JetLike;

TEST(JetLike, WildcardsAndSets) {
    EXPECT_TRUE(JetLike("ab*", "abacus"));
    EXPECT_FALSE(JetLike("ab*", "cab"));
    EXPECT_TRUE(JetLike("*", ""));
    EXPECT_TRUE(JetLike("?at", "cat"));
    EXPECT_FALSE(JetLike("?at", "at"));
    EXPECT_TRUE(JetLike("a#c", "a7c"));
    EXPECT_FALSE(JetLike("a#c", "abc"));
    EXPECT_TRUE(JetLike("[a-c]x", "bx"));
    EXPECT_FALSE(JetLike("[!a]x", "ax"));
    EXPECT_TRUE(JetLike("[!a]x", "zx"));
    EXPECT_TRUE(JetLike("o'clock*", "o'clock tower"));
    EXPECT_TRUE(JetLike("*a*b*c", "xxaxxbxxc"));
    EXPECT_FALSE(JetLike("*a*b*c", "xxaxxbxxcx"));
}

TEST(JetLike, CroatianCaseFolding) {
    EXPECT_TRUE(JetLike("Č*", "čaša"));
    EXPECT_TRUE(JetLike("đa*", "ĐAK"));
    EXPECT_TRUE(JetLike("[š-ž]*", "Žaba"));
    EXPECT_FALSE(JetLike("c*", "čaša"));
    EXPECT_EQ(db::Utf8(U"a\xD800" U"b"), "a\xEF\xBF\xBD" "b"); // no character is dropped, not even a lone surrogate
}

TEST(JetLike, MalformedPatternRaises) {
    EXPECT_THROW(JetLike("[ab*", "a"), db::PatternError);
    EXPECT_THROW(JetLike("[z-a]", "b"), db::PatternError);
}

// Patterns longer than one machine word of positions, and characters of several bytes.
TEST(JetLike, LongPatternsAndWideCharacters) {
    const std::string a70(70, 'a'), a130(130, 'a');
    std::string stars;
    for (int i = 0; i < 100; ++i) stars += "*a";
    struct Case {
        std::string pattern, text;
        bool match;
    } cases[] = {
        {std::string(70, '?'), a70, true},
        {std::string(70, '?'), a70.substr(1), false},
        {std::string(70, '?') + "*", a130, true},
        {a70.substr(6) + "b" + std::string(63, '?'), a70.substr(6) + "b" + a70.substr(7), true},
        {a70.substr(6) + "b" + std::string(63, '?'), a70.substr(6) + "c" + a70.substr(7), false},
        {"*" + a130.substr(1) + "b", a130 + "b", true},
        {"*" + a130.substr(1) + "b", a130 + "c", false},
        {stars, std::string(100, 'a'), true},
        {stars, "x" + std::string(99, 'a') + "x", false},
        {stars + "*b", std::string(200, 'a') + "b", true},
        {"??", "č", false}, // two bytes, one character
        {"?", "č", true},
        {"#[!a]*", "5Ž", true},
        {"?x", "\xFFx", true}, // an invalid byte is one character
    };
    for (const Case& c : cases) EXPECT_EQ(JetLike(c.pattern, c.text), c.match) << c.pattern << " / " << c.text;
}

// One compiled pattern answers many texts, and the answers do not depend on what came before.
TEST(JetLike, CompiledPatternIsReusable) {
    const db::LikePattern p("*Č?[a-ž]#*");
    for (int round = 0; round < 2; ++round) {
        EXPECT_TRUE(p.Matches("xčxž1"));
        EXPECT_FALSE(p.Matches("čž1"));
        EXPECT_TRUE(p.Matches("ČAB9 end"));
        EXPECT_FALSE(p.Matches(""));
    }
}

// The engine keeps a compiled pattern for a statement; a pattern that changes from row to row
// must still be read afresh for each.
TEST(JetLike, PatternFromTheRowIsNotReusedForTheNext) {
    TempDb t({{"abacus", "ab*"}, {"dog", "d?g"}, {"cat", "ab*"}, {"Abbey", "[!x]*"}});
    auto d = t.Open();
    EXPECT_EQ(d.Count("Select * From Vokabis where Engleski LIKE Hrvatski"), 3);
    EXPECT_EQ(d.Count("Select * From Vokabis where Engleski LIKE substr(Engleski, 1, 2) || '*'"), 4);
}
